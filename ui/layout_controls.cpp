// Placing the window and its controls at the window's DPI.
#include "res/dpi.h"
#include "ui/layout.h"
#include "ui/main_window.h"

void CMainWindow::LayoutControls(const RECT* rect) {
    const int dpi = int(GetWindowDpi(m_hWnd));
    RemakeFonts(dpi);
    const MeasuredSizes measured = MeasureControls();
    const RECT window = PlaceWindow(rect, dpi);
    const ControlRects placed = LayoutControlRects(ClientReference(window), dpi, m_page, measured);
    for (ControlRole role : kMemberOrder)
        ControlWindow(role).SetWindowPos(nullptr, placed[RoleIndex(role)], SWP_NOZORDER);
    // The title and close button are drawn transparently over the banner: repaint the window as
    // one, so that the banner (above them in z-order) is painted first and they follow.
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void CMainWindow::RemakeFonts(int dpi) {
    // Every control gets its new font before the old ones go, so none paints with a deleted font.
    FontHandle smallFont = CreateUiFont(m_fontFace.c_str(), kSmallFontUnits, UINT(dpi));
    FontHandle largeFont = CreateUiFont(m_fontFace.c_str(), kLargeFontUnits, UINT(dpi));
    for (ControlRole role : kMemberOrder) {
        const LayoutFont font = FontFor(role);
        if (font == LayoutFont::None) continue;
        ControlWindow(role).SetFont(font == LayoutFont::Large ? largeFont.Get() : smallFont.Get(),
                                    TRUE);
    }
    m_smallFont = std::move(smallFont);
    m_largeFont = std::move(largeFont);
}

MeasuredSizes CMainWindow::MeasureControls() const {
    MeasuredSizes measured{};
    measured[RoleIndex(ControlRole::AgreeCheck)] = m_agreeCheck.GetIdealSize();
    measured[RoleIndex(ControlRole::LicenceLink)] = m_licenceLink.GetLinkSize();
    measured[RoleIndex(ControlRole::CustomToggle)] = m_customToggle.GetIdealSize();
    measured[RoleIndex(ControlRole::LocationLabel)] = m_locationLabel.GetTextSize();
    measured[RoleIndex(ControlRole::ShortcutCheck)] = m_shortcutCheck.GetIdealSize();
    measured[RoleIndex(ControlRole::LaunchCheck)] = m_launchCheck.GetIdealSize();
    return measured;
}

RECT CMainWindow::CentredOnDesktop(int dpi, int page, bool customExpanded) {
    RECT desktop;
    ::GetClientRect(::GetDesktopWindow(), &desktop);
    return WindowRect(desktop, dpi, page, customExpanded);
}

RECT CMainWindow::PlaceWindow(const RECT* rect, int dpi) {
    if (rect) return *rect;
    const RECT window = CentredOnDesktop(dpi, m_page, m_customToggle.IsExpanded());
    SetWindowPos(nullptr, window, SWP_NOZORDER);
    return window;
}
