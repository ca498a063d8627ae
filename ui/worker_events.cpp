// The worker's reports. They arrive on the worker thread. Progress is left in a mailbox and the
// window is told with a posted message, so extraction never waits for the window (it may still be
// building its controls); the window shows the newest entry and fraction at most once a frame, so
// its cost follows the time the installation takes, not its number of files. Page switches are
// sent to the window's thread and done there while the worker waits, so they happen in the order
// of the events, each after the last progress; after the window is gone every report fails at once.
#include "system/registration.h"
#include "ui/main_window.h"
#include "ui/pages.h"

void CMainWindow::PostProgress(ProgressUpdate update) {
    if (m_progressMailbox.Put(std::move(update)) &&
        !::PostMessageW(m_workerTarget, WM_APP_PROGRESS, 0, 0))
        m_progressMailbox.Undeliverable();
}

void CMainWindow::OnExtractBegin(CExtractor&, int32_t, int32_t totalSize) {
    m_installedBytes = totalSize > 0 ? uint64_t(totalSize) : 0;
    PostProgress(ProgressUpdate{std::nullopt, 0.0f});
}

void CMainWindow::OnExtractProgress(CExtractor&, const std::wstring& name, float fraction) {
    PostProgress(ProgressUpdate{name, fraction});
}

void CMainWindow::OnExtractFailed(CExtractor&) {
    m_outcome->store(InstallOutcome::Failed);
    ::SendMessageW(m_workerTarget, WM_APP_SHOW_RESULT, PageFailed, FALSE);
}

// The success page, and with it Finish, comes once registration has ended: the product must not
// start before its Uninstall entry exists, nor a moved product's old shortcuts go after the new
// desktop shortcut is made.
void CMainWindow::OnExtractDone(CExtractor& extractor) {
    RegisterProduct(m_product, extractor.InstallFolder(), m_installedBytes, m_log,
                    extractor.MadeAbove());
    m_outcome->store(InstallOutcome::Succeeded);
    ::SendMessageW(m_workerTarget, WM_APP_SHOW_RESULT, PageSucceeded, TRUE);
}

void CMainWindow::OnExtractCancelled(CExtractor&) {
    m_outcome->store(InstallOutcome::Cancelled);
}

void CMainWindow::FailBeforeStart() {
    m_outcome->store(InstallOutcome::Failed);
    m_pendingResult = {PageFailed, false};
}

void CMainWindow::InstallAtOnce(std::wstring folder) {
    m_installAtOnce = std::move(folder);
}

void CMainWindow::DeclineDesktopShortcut() {
    m_desktopShortcut = false;
}

LRESULT CMainWindow::OnShowResult(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    ShowResult(int(wParam), lParam != 0);
    return 0;
}

void CMainWindow::ShowResult(int page, bool installed) {
    // A worker that could not even start reports while the controls are still being made.
    if (!m_controlsMade) {
        m_pendingResult = {page, installed};
        return;
    }
    // The last entry and fraction are shown before the page leaves them.
    if (const auto update = m_progressMailbox.TakeUnshown()) ShowProgress(*update);
    ::KillTimer(m_hWnd, kProgressRestTimer);
    ShowPage(page);
    m_installed = installed;
}

LRESULT CMainWindow::OnProgress(UINT, WPARAM, LPARAM, BOOL&) {
    ShowProgress(m_progressMailbox.Take());
    if (!::SetTimer(m_hWnd, kProgressRestTimer, ProgressMailbox::kRestMilliseconds, nullptr))
        m_progressMailbox.Undeliverable();
    return 0;
}

LRESULT CMainWindow::OnTimer(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
    if (wParam != kProgressRestTimer) {
        handled = FALSE;
        return 0;
    }
    if (const auto update = m_progressMailbox.RestOver())
        ShowProgress(*update);
    else
        ::KillTimer(m_hWnd, kProgressRestTimer);
    return 0;
}

void CMainWindow::ShowProgress(const ProgressUpdate& update) {
    if (update.name) m_statusLabel.SetWindowText(update.name->c_str());
    m_progressBar.SetProgress(update.fraction);
}
