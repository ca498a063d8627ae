#pragma once
// The installer's only top-level window: it owns the skinned controls, the skin pictures, the
// fonts and the extraction worker, and moves through the pages as the installation goes on.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "controls/button_ex.h"
#include "controls/check_box.h"
#include "controls/expand_button.h"
#include "controls/image_button.h"
#include "controls/image_view.h"
#include "controls/label.h"
#include "controls/link_button.h"
#include "controls/progress_bar.h"
#include "controls/round_button.h"
#include "controls/single_line_edit.h"
#include "extraction/extractor.h"
#include "extraction/install_outcome.h"
#include "log/run_log.h"
#include "res/fonts.h"
#include "res/images.h"
#include "res/product_identity.h"
#include "ui/control_ids.h"
#include "ui/layout.h"
#include "ui/pages.h"
#include "ui/progress_mailbox.h"
#include "windowing/ui_state.h"
#include "windowing/window_impl.h"

// Borderless: the non-client handling takes the caption and border of the overlapped window away.
using CMainWinTraits = CWinTraits<WS_OVERLAPPED | WS_VISIBLE | WS_CLIPCHILDREN, 0>;

// The worker's reports, carried out on the window's thread. Result (sent, in the order of the
// events): wParam is the page, lParam the installed flag that goes with it. Progress (posted):
// the newest update waits in the window's progress mailbox.
constexpr UINT WM_APP_SHOW_RESULT = WM_APP + 1;
constexpr UINT WM_APP_PROGRESS = WM_APP + 2;
// Ticks while the window rests between two progress updates.
constexpr UINT_PTR kProgressRestTimer = 1;

class CMainWindow : public CWindowImpl<CMainWindow, CWindow, CMainWinTraits>,
                    public CExtractorDelegate,
                    public CUiStateRoot<CMainWindow> {
public:
    // The run's steps and outcome go to `log`, which outlives the window.
    explicit CMainWindow(ProductIdentity product, CRunLog& log = NoRunLog());

    BEGIN_MSG_MAP(CMainWindow)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
        MESSAGE_HANDLER(WM_NCCALCSIZE, OnNcCalcSize)
        MESSAGE_HANDLER(WM_NCHITTEST, OnNcHitTest)
        MESSAGE_HANDLER(WM_ACTIVATE, OnActivate)
        MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
        CHAIN_MSG_MAP(CUiStateRoot<CMainWindow>)
        COMMAND_ID_HANDLER(IDC_CLOSE, OnCloseCommand)
        COMMAND_ID_HANDLER(IDC_INSTALL, OnInstall)
        COMMAND_ID_HANDLER(IDC_AGREE, OnToggleBox)
        COMMAND_ID_HANDLER(IDC_LICENCE_LINK, OnLicenceLink)
        COMMAND_ID_HANDLER(IDC_CUSTOM_INSTALL, OnCustomInstall)
        COMMAND_ID_HANDLER(IDC_BROWSE, OnBrowse)
        COMMAND_ID_HANDLER(IDC_FINISH, OnFinish)
        COMMAND_ID_HANDLER(IDC_CONTACT, OnContact)
        COMMAND_ID_HANDLER(IDC_DESKTOP_SHORTCUT, OnToggleBox)
        COMMAND_ID_HANDLER(IDC_LAUNCH_NOW, OnToggleBox)
        MESSAGE_HANDLER(WM_DPICHANGED, OnDpiChanged)
        MESSAGE_HANDLER(WM_APP_SHOW_RESULT, OnShowResult)
        MESSAGE_HANDLER(WM_APP_PROGRESS, OnProgress)
        MESSAGE_HANDLER(WM_TIMER, OnTimer)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()

    // Creates the window centred on the desktop for its first page; null when it cannot.
    HWND CreateCentred();

    // Keys for the window and its controls, before they are translated and dispatched: Tab and
    // Shift+Tab move the focus, Enter uses the focused control, Esc does what the close button
    // does. True when the key was used here.
    bool PreTranslateMessage(const MSG& msg);

    void ShowPage(int page);
    void StartInstall(const std::wstring& folder, int page);
    // Before the window is created: the run has failed before any installation could begin, so the
    // window opens on the failure page and starts nothing.
    void FailBeforeStart();
    // Before the window is created: it installs into `folder` at once, as the command line's
    // two-argument form asks, instead of opening on the welcome page.
    void InstallAtOnce(std::wstring folder);
    // Before the window is created: the desktop shortcut box starts cleared.
    void DeclineDesktopShortcut();

    int Page() const { return m_page; }
    bool IsInstalled() const { return m_installed; }
    // What became of the installation; read it once this object, which ends the worker, is gone.
    std::shared_ptr<const std::atomic<InstallOutcome>> Outcome() const { return m_outcome; }
    // The window of a control; its object is reached with the control class's FromHandle.
    HWND ControlHandle(ControlRole role) const;

    // Worker reports, on the worker thread.
    void OnExtractBegin(CExtractor& extractor, int32_t entryCount, int32_t totalSize) override;
    void OnExtractProgress(CExtractor& extractor, const std::wstring& name,
                           float fraction) override;
    void OnExtractFailed(CExtractor& extractor) override;
    void OnExtractDone(CExtractor& extractor) override;
    void OnExtractCancelled(CExtractor& extractor) override;

private:
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnNcCalcSize(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnDpiChanged(UINT, WPARAM, LPARAM lParam, BOOL&);
    LRESULT OnActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled);
    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnShowResult(UINT, WPARAM wParam, LPARAM lParam, BOOL&);
    LRESULT OnProgress(UINT, WPARAM, LPARAM, BOOL&);
    LRESULT OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled);

    LRESULT OnCloseCommand(WORD, WORD, HWND, BOOL&);
    LRESULT OnInstall(WORD, WORD, HWND, BOOL&);
    LRESULT OnToggleBox(WORD, WORD id, HWND, BOOL&);
    LRESULT OnLicenceLink(WORD, WORD, HWND, BOOL&);
    LRESULT OnCustomInstall(WORD, WORD, HWND, BOOL&);
    LRESULT OnBrowse(WORD, WORD, HWND, BOOL&);
    LRESULT OnFinish(WORD, WORD, HWND, BOOL&);
    LRESULT OnContact(WORD, WORD, HWND, BOOL&);

    void OnTabKey(bool backward);
    void OnReturnKey();
    void OnEscapeKey();

    void CreateControls();
    // Without a rectangle the window is centred for its page; with one (a DPI change) it is that.
    void LayoutControls(const RECT* rect = nullptr);
    void RemakeFonts(int dpi);
    MeasuredSizes MeasureControls() const;
    RECT PlaceWindow(const RECT* rect, int dpi);
    // The window's rectangle for `page`, centred on the desktop.
    static RECT CentredOnDesktop(int dpi, int page, bool customExpanded);
    void ShowBanner(BannerPicture banner);

    // The picture in `picture`, decoded from PNG resource `id` the first time it is asked for.
    const ImagePtr& Picture(ImagePtr& picture, ImageId id);
    CWindow& ControlWindow(ControlRole role);
    // The controls the keyboard reaches on the page as it now stands, in order.
    std::vector<ControlRole> TabStops() const;
    std::optional<ControlRole> RoleOf(HWND window) const;
    bool IsTabStop(HWND window) const;
    void FocusControl(ControlRole role);
    // The page's first control takes the focus, or the window itself where there is none.
    void FocusPageStart();

    bool StartWorker(const std::wstring& folder);
    void PostProgress(ProgressUpdate update);
    void ShowProgress(const ProgressUpdate& update);
    void ShowResult(int page, bool installed);

    const ProductIdentity m_product;
    CRunLog& m_log;
    int m_page = 0;
    bool m_installed = false;
    CLabel m_title;
    CImageButton m_closeButton;
    CImageView m_banner;
    CRoundButton m_installButton;
    CCheckBox m_agreeCheck;
    CLinkButton m_licenceLink;
    CExpandButton m_customToggle;
    CLabel m_locationLabel;
    CSingleLineEdit m_pathEdit;
    CButtonEx m_browseButton;
    CLabel m_statusLabel;
    CProgressBar m_progressBar;
    CImageView m_resultImage;
    CLabel m_resultTitle;
    CLabel m_resultText;
    CRoundButton m_finishButton;
    CCheckBox m_shortcutCheck;
    CCheckBox m_launchCheck;
    CButtonEx m_contactButton;
    ImagePtr m_welcomeBanner;
    ImagePtr m_progressBanner1;
    ImagePtr m_progressBanner2;
    ImagePtr m_progressBanner3;
    ImagePtr m_logoImage;
    ImagePtr m_closeNormal;
    ImagePtr m_closeHover;
    ImagePtr m_closePressed;
    ImagePtr m_contactIcon;
    ImagePtr m_commandLineBanner;
    FontHandle m_smallFont;
    FontHandle m_largeFont;
    std::wstring m_fontFace;
    // The control that had the focus when the window was last deactivated.
    HWND m_focusToRestore = nullptr;

    // What the worker's reports reach, declared before the worker so that they outlive it. The
    // window is fixed at creation, before any worker exists, and never cleared, so a report after
    // the window is gone fails at once.
    HWND m_workerTarget = nullptr;
    ProgressMailbox m_progressMailbox;
    bool m_controlsMade = false;
    std::optional<std::wstring> m_installAtOnce;
    bool m_desktopShortcut = true;
    const SharedInstallOutcome m_outcome =
        std::make_shared<std::atomic<InstallOutcome>>(InstallOutcome::NotStarted);
    struct {
        int page = 0;
        bool installed = false;
    } m_pendingResult;
    // The payload's size, from the worker's first report, for the Uninstall entry.
    uint64_t m_installedBytes = 0;

    // Last, so that it is destroyed first: the worker is stopped before anything it uses goes.
    CExtractor m_extractor;
};
