// The worker's reports. They arrive on the worker thread; everything that touches the windows is
// sent to the window's thread and done there while the worker waits, so page switches happen in
// the order of the events, and a report that comes after the window is gone fails at once.
#include "install/registration.h"
#include "ui/main_window.h"
#include "ui/pages.h"

namespace {

struct ProgressReport {
    const std::wstring* name;  // null for the begin report
    float fraction;
};

}  // namespace

void CMainWindow::OnExtractBegin(CExtractor&, int32_t, int32_t) {
    ProgressReport report{nullptr, 0.0f};
    ::SendMessageW(m_workerTarget, WM_APP_PROGRESS, 0, reinterpret_cast<LPARAM>(&report));
}

void CMainWindow::OnExtractProgress(CExtractor&, const std::wstring& name, float fraction) {
    ProgressReport report{&name, fraction};
    ::SendMessageW(m_workerTarget, WM_APP_PROGRESS, 0, reinterpret_cast<LPARAM>(&report));
}

void CMainWindow::OnExtractFailed(CExtractor&) {
    ::SendMessageW(m_workerTarget, WM_APP_SHOW_RESULT, PageFailed, FALSE);
}

void CMainWindow::OnExtractDone(CExtractor& extractor) {
    ::SendMessageW(m_workerTarget, WM_APP_SHOW_RESULT, PageSucceeded, TRUE);
    RegisterProduct(extractor.InstallFolder());
}

void CMainWindow::OnExtractCancelled(CExtractor&) {}

LRESULT CMainWindow::OnShowResult(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
    ShowPage(int(wParam));
    m_installed = lParam != 0;
    return 0;
}

LRESULT CMainWindow::OnProgress(UINT, WPARAM, LPARAM lParam, BOOL&) {
    if (!lParam) return 0;
    const auto& report = *reinterpret_cast<const ProgressReport*>(lParam);
    if (report.name) m_statusLabel.SetWindowText(report.name->c_str());
    m_progressBar.m_fProgress = report.fraction;
    m_progressBar.Invalidate();
    return 0;
}
