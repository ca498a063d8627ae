// The worker's reports. They arrive on the worker thread. Progress is left in a mailbox and the
// window is told with a posted message, so extraction never waits for the window (it may still be
// building its controls). Page switches are sent to the window's thread and done there while the
// worker waits, so they happen in the order of the events; after the window is gone every report
// fails at once.
#include "install/registration.h"
#include "ui/main_window.h"
#include "ui/pages.h"

void CMainWindow::PostProgress(ProgressUpdate update) {
    if (m_progressMailbox.Put(std::move(update)) &&
        !::PostMessageW(m_workerTarget, WM_APP_PROGRESS, 0, 0))
        m_progressMailbox.Undeliverable();
}

void CMainWindow::OnExtractBegin(CExtractor&, int32_t, int32_t) {
    PostProgress(ProgressUpdate{std::nullopt, 0.0f});
}

void CMainWindow::OnExtractProgress(CExtractor&, const std::wstring& name, float fraction) {
    PostProgress(ProgressUpdate{name, fraction});
}

void CMainWindow::OnExtractFailed(CExtractor&) {
    ::SendMessageW(m_workerTarget, WM_APP_SHOW_RESULT, PageFailed, FALSE);
}

void CMainWindow::OnExtractDone(CExtractor& extractor) {
    ::SendMessageW(m_workerTarget, WM_APP_SHOW_RESULT, PageSucceeded, TRUE);
    RegisterProduct(m_product, extractor.InstallFolder());
}

void CMainWindow::OnExtractCancelled(CExtractor&) {}

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
    ShowPage(page);
    m_installed = installed;
}

LRESULT CMainWindow::OnProgress(UINT, WPARAM, LPARAM, BOOL&) {
    const ProgressUpdate update = m_progressMailbox.Take();
    if (update.name) m_statusLabel.SetWindowText(update.name->c_str());
    m_progressBar.SetProgress(update.fraction);
    return 0;
}
