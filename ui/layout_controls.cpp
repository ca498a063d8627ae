// Placing the window and its controls at the window's DPI.
#include "res/colors.h"
#include "res/dpi.h"
#include "res/strings.h"
#include "ui/layout.h"
#include "ui/main_window.h"

namespace {

constexpr COLORREF kProgressTrack = 0xFFFFFF;
constexpr COLORREF kProgressBorder = 0xDCDCDC;

}  // namespace

void CMainWindow::LayoutControls(const RECT* rect) {
    const int dpi = int(GetWindowDpi(m_hWnd));

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

    MeasuredSizes measured{};
    measured[RoleIndex(ControlRole::AgreeCheck)] = m_agreeCheck.GetIdealSize();
    measured[RoleIndex(ControlRole::LicenceLink)] = m_licenceLink.GetLinkSize();
    measured[RoleIndex(ControlRole::CustomToggle)] = m_customToggle.GetIdealSize();
    measured[RoleIndex(ControlRole::LocationLabel)] = m_locationLabel.GetTextSize();
    measured[RoleIndex(ControlRole::ShortcutCheck)] = m_shortcutCheck.GetIdealSize();
    measured[RoleIndex(ControlRole::LaunchCheck)] = m_launchCheck.GetIdealSize();

    RECT window;
    if (rect) {
        window = *rect;
    } else {
        RECT desktop;
        ::GetClientRect(::GetDesktopWindow(), &desktop);
        window = WindowRect(desktop, dpi, m_page, (m_customToggle.m_bExpanded & 1) != 0);
        SetWindowPos(nullptr, window, SWP_NOZORDER);
    }

    const ControlRects placed =
        LayoutControlRects(ClientReference(window), dpi, m_page, measured);
    for (ControlRole role : kMemberOrder) {
        ControlWindow(role).SetWindowPos(nullptr, placed[RoleIndex(role)],
                                         SWP_NOZORDER);
        if (role == ControlRole::ProgressBar) {
            m_progressBar.m_clrTrack = kProgressTrack;
            m_progressBar.m_clrBorder = kProgressBorder;
            m_progressBar.m_clrBar = ParseHexColor(LoadLocalizedString(IDS_PROGRESS_COLOR));
        }
    }
    // The title and close button are drawn transparently over the banner: repaint the window as
    // one, so that the banner (above them in z-order) is painted first and they follow.
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}
