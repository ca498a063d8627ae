// The ten commands of the controls, the start of an installation and the window's end.
#include <windows.h>
#include <shellapi.h>
#include <shobjidl.h>

#include "platform/com_ptr.h"
#include "res/dpi.h"
#include "system/finish.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/pages.h"
#include "ui/running_installer.h"

namespace {

// The folder the user picks, or nothing when the dialog cannot be made or is cancelled.
std::wstring PickFolder(HWND owner) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(::CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_ALL, IID_IFileOpenDialog,
                                  dialog.PutVoid())))
        return {};
    dialog->SetOptions(FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->Show(owner);
    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.Put())) || !item) return {};
    CCoTaskMemory<PWSTR> path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Put())) || !path) return {};
    return path.Get();
}

}  // namespace

bool CMainWindow::StartWorker(const std::wstring& folder) {
    m_extractor.SetDelegate(this);
    m_extractor.SetProductKey(m_product.uninstallKey);
    m_extractor.SetLog(&m_log);
    // Without a thread the failure has been reported, and its page shown, already.
    return m_extractor.Start(folder) != StartResult::ThreadNotCreated;
}

void CMainWindow::StartInstall(const std::wstring& folder, int page) {
    if (StartWorker(folder)) ShowPage(page);
}

LRESULT CMainWindow::OnCloseCommand(WORD, WORD, HWND, BOOL&) {
    if (!IsInstallingPage(m_page)) DestroyWindow();
    return 0;
}

LRESULT CMainWindow::OnInstall(WORD, WORD, HWND, BOOL&) {
    StartInstall(m_pathEdit.GetWindowText(), PageInstalling);
    return 0;
}

// The agreement, desktop-shortcut and launch boxes: a click raises the command, the window keeps
// the state.
LRESULT CMainWindow::OnToggleBox(WORD, WORD id, HWND, BOOL&) {
    if (CCheckBox* box = CCheckBox::FromHandle(GetDlgItem(id))) box->Toggle();
    return 0;
}

LRESULT CMainWindow::OnLicenceLink(WORD, WORD, HWND, BOOL&) {
    ::ShellExecuteW(nullptr, L"open", m_product.licenceUrl.c_str(), nullptr, nullptr,
                    SW_SHOWNORMAL);
    return 0;
}

LRESULT CMainWindow::OnCustomInstall(WORD, WORD, HWND, BOOL&) {
    RECT window;
    GetWindowRect(&window);
    const bool wasExpanded = m_customToggle.IsExpanded();
    m_customToggle.Toggle();
    const RECT resized = ToggleCustomSection(window, wasExpanded, int(GetWindowDpi(m_hWnd)));
    SetWindowPos(nullptr, 0, 0, resized.right - resized.left, resized.bottom - resized.top,
                 SWP_NOMOVE | SWP_NOZORDER);
    return 0;
}

LRESULT CMainWindow::OnBrowse(WORD, WORD, HWND, BOOL&) {
    const std::wstring folder = PickFolder(m_hWnd);
    if (!folder.empty()) m_pathEdit.SetWindowText(folder.c_str());
    return 0;
}

LRESULT CMainWindow::OnFinish(WORD, WORD, HWND, BOOL&) {
    DestroyWindow();
    return 0;
}

LRESULT CMainWindow::OnContact(WORD, WORD, HWND, BOOL&) {
    return 0;
}

LRESULT CMainWindow::OnDestroy(UINT, WPARAM, LPARAM, BOOL&) {
    UnmarkInstallerWindow(m_hWnd, m_product.uninstallKey);
    FinishChoices choices;
    choices.installed = m_installed;
    choices.desktopShortcut = m_shortcutCheck.IsChecked();
    choices.launch = m_launchCheck.IsChecked();
    choices.installFolder = m_extractor.InstallFolder();
    try {
        RunFinishStep(m_product, choices, m_log);
    } catch (...) {
        // Nothing may leave the window procedure; the run still ends, as a failure.
        m_log.Failure(L"the finish step: out of memory, or an unexpected fault");
        m_outcome->store(InstallOutcome::Failed);
        PostQuitMessage(0);
    }
    return 0;
}
