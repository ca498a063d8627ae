// The creation handler: the nineteen controls with their texts, ids, colours, pictures and states.
#include "res/strings.h"
#include "ui/main_window.h"
#include "ui/pages.h"
#include "ui/running_installer.h"
#include "ui/yellow_buttons.h"

namespace {

constexpr DWORD kVisibleOwnerDrawStatic = 0x5000000D;
constexpr DWORD kHiddenOwnerDrawStatic = 0x4000000D;
constexpr DWORD kHiddenSimpleStatic = 0x4000000B;
constexpr DWORD kHiddenPlainStatic = 0x40000000;
constexpr DWORD kVisibleOwnerDrawButton = 0x5000000B;
constexpr DWORD kHiddenOwnerDrawButton = 0x4000000B;
constexpr DWORD kHiddenFlatOwnerDrawButton = 0x4000800B;
constexpr DWORD kVisibleEdit = 0x50001084;

// The link blue #279AFF in the Windows form.
constexpr COLORREF kLinkBlue = 0xFF9A27;
constexpr COLORREF kPathBackground = 0xEBEBEB;
constexpr COLORREF kProgressTrack = 0xFFFFFF;
constexpr COLORREF kProgressBorder = 0xDCDCDC;

template <class Control>
void Make(Control& control, HWND parent, ControlRole role, DWORD style, const std::wstring& text) {
    control.Create(parent, RECT{}, text.c_str(), style, 0, UINT(ControlId(role)));
}

template <class Control>
void Make(Control& control, HWND parent, ControlRole role, DWORD style,
          StringId text = StringId(0)) {
    Make(control, parent, role, style, text ? LoadLocalizedString(text) : std::wstring());
}

// The check box has a creation operation of its own, which makes it hidden.
void Make(CCheckBox& box, HWND parent, ControlRole role, StringId text) {
    box.Create(parent, RECT{}, LoadLocalizedString(text).c_str(), UINT(ControlId(role)));
}

template <class... Controls>
void SetFocusCueColor(COLORREF color, Controls&... controls) {
    (controls.SetFocusCueColor(color), ...);
}

}  // namespace

LRESULT CMainWindow::OnCreate(UINT, WPARAM, LPARAM, BOOL&) {
    m_workerTarget = m_hWnd;
    MarkInstallerWindow(m_hWnd, m_product.uninstallKey);
    // Recomputing the frame sends WM_NCCALCSIZE, which takes the caption and border away.
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    // A command-line installation starts before the controls are built, so that extraction runs
    // while the window builds itself; its page is shown once the controls exist.
    const bool started = m_installAtOnce && !m_pendingResult.page && StartWorker(*m_installAtOnce);
    CreateControls();
    if (!m_desktopShortcut) m_shortcutCheck.SetChecked(false);
    m_controlsMade = true;
    LayoutControls();
    if (m_pendingResult.page) {
        ShowResult(m_pendingResult.page, m_pendingResult.installed);
    } else if (!m_installAtOnce) {
        ShowPage(PageWelcome);
    } else if (started) {
        ShowPage(PageUpdating);
        // Both result pages show the logo: decode it while the worker runs, not after it ends.
        Picture(m_logoImage, IDP_LOGO);
    }
    return 0;
}

void CMainWindow::CreateControls() {
    const HWND self = m_hWnd;
    const SkinColors& colors = m_product.colors;
    Make(m_banner, self, ControlRole::Banner, kVisibleOwnerDrawStatic);

    Make(m_title, self, ControlRole::Title, kVisibleOwnerDrawStatic, IDS_TITLE);
    m_title.SetTextColor(colors.buttonText);

    m_closeButton.SetImages(m_closeNormal, m_closeHover, m_closePressed);
    // It draws no text: its text is its name for screen readers.
    Make(m_closeButton, self, ControlRole::CloseButton, kVisibleOwnerDrawButton,
         IDS_CLOSE_BUTTON_NAME);

    Make(m_installButton, self, ControlRole::InstallButton, kHiddenFlatOwnerDrawButton,
         IDS_INSTALL);
    MakeYellow(m_installButton, colors);

    Make(m_agreeCheck, self, ControlRole::AgreeCheck, IDS_AGREE);
    m_agreeCheck.SetChecked(true);

    Make(m_licenceLink, self, ControlRole::LicenceLink, kHiddenOwnerDrawButton, IDS_LICENCE);
    m_licenceLink.SetTextColor(kLinkBlue);

    Make(m_customToggle, self, ControlRole::CustomToggle, kHiddenOwnerDrawButton,
         IDS_CUSTOM_INSTALL);
    m_customToggle.SetTextColor(kLinkBlue);

    Make(m_locationLabel, self, ControlRole::LocationLabel, kHiddenSimpleStatic, IDS_LOCATION);

    Make(m_pathEdit, self, ControlRole::PathEdit, kVisibleEdit, m_product.defaultFolder);
    m_pathEdit.SetColors(RGB(0, 0, 0), kPathBackground);
    // Its text is its value; its name is the caption beside it.
    m_pathEdit.SetAccessibleName(m_locationLabel.GetWindowText().c_str());

    Make(m_browseButton, self, ControlRole::BrowseButton, kHiddenOwnerDrawButton, IDS_BROWSE);
    MakeYellow(m_browseButton, colors);

    Make(m_statusLabel, self, ControlRole::StatusLabel, kHiddenSimpleStatic, IDS_INSTALLING);
    Make(m_progressBar, self, ControlRole::ProgressBar, kHiddenPlainStatic);
    m_progressBar.SetColors(kProgressBorder, kProgressTrack, colors.progress);
    Make(m_resultImage, self, ControlRole::ResultImage, kHiddenOwnerDrawStatic);

    Make(m_resultTitle, self, ControlRole::ResultTitle, kHiddenOwnerDrawStatic);
    m_resultTitle.SetAlignment(LabelAlignment::Centre);
    Make(m_resultText, self, ControlRole::ResultText, kHiddenOwnerDrawStatic);
    m_resultText.SetAlignment(LabelAlignment::Centre);

    Make(m_finishButton, self, ControlRole::FinishButton, kHiddenOwnerDrawButton, IDS_FINISH);

    Make(m_shortcutCheck, self, ControlRole::ShortcutCheck, IDS_DESKTOP_SHORTCUT);
    Make(m_launchCheck, self, ControlRole::LaunchCheck, IDS_LAUNCH_NOW);
    for (CCheckBox* box : {&m_shortcutCheck, &m_launchCheck}) {
        box->SetChecked(true);
        box->SetTextColor(kLinkBlue);
    }

    Make(m_contactButton, self, ControlRole::ContactButton, kHiddenOwnerDrawButton, IDS_CONTACT);
    m_contactButton.SetIcon(m_contactIcon);

    SetFocusCueColor(colors.titleDone, m_closeButton, m_installButton, m_agreeCheck, m_licenceLink,
                     m_customToggle, m_browseButton, m_finishButton, m_shortcutCheck, m_launchCheck,
                     m_contactButton);
}
