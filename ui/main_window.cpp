#include "ui/main_window.h"

#include <utility>

#include "res/dpi.h"
#include "ui/hit_test.h"

CMainWindow::CMainWindow(ProductIdentity product, CRunLog& log)
    : m_product(std::move(product)), m_log(log), m_extractor(m_product.processName) {
    // The close button and the contact icon are needed as the controls are made. The banners and
    // the logo (several megabytes each once decoded) are decoded when a page first shows them:
    // start-up and memory stay small.
    m_closeNormal = LoadPngResource(IDP_CLOSE_NORMAL);
    m_closeHover = LoadPngResource(IDP_CLOSE_HOVER);
    m_closePressed = LoadPngResource(IDP_CLOSE_PRESSED);
    m_contactIcon = LoadPngResource(IDP_CONTACT);
    m_fontFace = ChooseFontFace(GetSystemDefaultLangID());
}

HWND CMainWindow::CreateCentred() {
    const RECT rect = CentredOnDesktop(int(GetWindowDpi(::GetDesktopWindow())), 0, false);
    return Create(nullptr, rect, L"");
}

const ImagePtr& CMainWindow::Picture(ImagePtr& picture, ImageId id) {
    if (!picture) picture = LoadPngResource(id);
    return picture;
}

LRESULT CMainWindow::OnNcCalcSize(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    // The whole window is client area but its last row, so no caption or border is drawn.
    if (wParam && lParam) {
        auto* params = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam);
        params->rgrc[0] = ProposedClientRect(params->rgrc[0], true);
    }
    return 0;
}

LRESULT CMainWindow::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL&) {
    POINT point = PointFromLParam(lParam);
    ::ScreenToClient(m_hWnd, &point);
    return HitTestCode(point);
}

LRESULT CMainWindow::OnDpiChanged(UINT, WPARAM, LPARAM lParam, BOOL&) {
    if (!lParam) return 0;
    const RECT suggested = *reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(nullptr, suggested, SWP_NOZORDER | SWP_NOACTIVATE);
    LayoutControls(&suggested);
    return 0;
}

HWND CMainWindow::ControlHandle(ControlRole role) const {
    return const_cast<CMainWindow*>(this)->ControlWindow(role);
}

CWindow& CMainWindow::ControlWindow(ControlRole role) {
    switch (role) {
        case ControlRole::Title:
            return m_title;
        case ControlRole::CloseButton:
            return m_closeButton;
        case ControlRole::Banner:
            return m_banner;
        case ControlRole::InstallButton:
            return m_installButton;
        case ControlRole::AgreeCheck:
            return m_agreeCheck;
        case ControlRole::LicenceLink:
            return m_licenceLink;
        case ControlRole::CustomToggle:
            return m_customToggle;
        case ControlRole::LocationLabel:
            return m_locationLabel;
        case ControlRole::PathEdit:
            return m_pathEdit;
        case ControlRole::BrowseButton:
            return m_browseButton;
        case ControlRole::StatusLabel:
            return m_statusLabel;
        case ControlRole::ProgressBar:
            return m_progressBar;
        case ControlRole::ResultImage:
            return m_resultImage;
        case ControlRole::ResultTitle:
            return m_resultTitle;
        case ControlRole::ResultText:
            return m_resultText;
        case ControlRole::FinishButton:
            return m_finishButton;
        case ControlRole::ShortcutCheck:
            return m_shortcutCheck;
        case ControlRole::LaunchCheck:
            return m_launchCheck;
        case ControlRole::ContactButton:
            return m_contactButton;
    }
    return m_title;
}
