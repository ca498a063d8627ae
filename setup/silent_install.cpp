#include "setup/silent_install.h"

#include <windows.h>

#include <atomic>

#include "extraction/extractor.h"
#include "platform/com_init.h"
#include "platform/unique_handle.h"
#include "system/finish.h"
#include "system/registration.h"

namespace {

// The worker's reports for a run nobody watches: the outcome, and the actions that follow success.
class CSilentInstall final : public CExtractorDelegate {
public:
    CSilentInstall(const ProductIdentity& product, const SilentChoices& choices, CRunLog& log)
        : m_product(product), m_choices(choices), m_log(log) {}

    // Signalled by the run's last report.
    HANDLE Ended() const { return m_ended; }
    InstallOutcome Outcome() const { return m_outcome.load(); }

    void OnExtractBegin(CExtractor&, int32_t, int32_t totalSize) override {
        m_installedBytes = totalSize > 0 ? uint64_t(totalSize) : 0;
    }
    void OnExtractProgress(CExtractor&, const std::wstring&, float) override {}
    void OnExtractFailed(CExtractor&) override { End(InstallOutcome::Failed); }
    void OnExtractCancelled(CExtractor&) override { End(InstallOutcome::Cancelled); }
    void OnExtractDone(CExtractor& extractor) override {
        const CComInit com;
        const std::wstring& folder = extractor.InstallFolder();
        RegisterProduct(m_product, folder, m_installedBytes, m_log, extractor.MadeAbove());
        if (m_choices.desktopShortcut)
            MakeDesktopShortcut(m_product, folder, m_log);
        else
            m_log.Line(L"desktop shortcut: not made (/NODESKTOP)");
        m_log.Line(L"product start: not started (/S)");
        End(InstallOutcome::Succeeded);
    }

private:
    void End(InstallOutcome outcome) {
        m_outcome.store(outcome);
        SetEvent(m_ended);
    }

    const ProductIdentity& m_product;
    const SilentChoices& m_choices;
    CRunLog& m_log;
    uint64_t m_installedBytes = 0;
    std::atomic<InstallOutcome> m_outcome{InstallOutcome::NotStarted};
    const CKernelHandle m_ended{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

}  // namespace

InstallOutcome RunSilentInstall(const ProductIdentity& product, const SilentChoices& choices,
                                CRunLog& log) {
    CSilentInstall silent(product, choices, log);
    if (!silent.Ended()) {
        log.Failure(L"the run's end cannot be awaited: " +
                    SystemErrorText(HRESULT_FROM_WIN32(GetLastError())));
        return InstallOutcome::Failed;
    }
    // Declared after the delegate, so that it is destroyed, its thread joined, first.
    CExtractor extractor(product.processName);
    extractor.SetDelegate(&silent);
    extractor.SetProductKey(product.uninstallKey);
    extractor.SetLog(&log);
    if (extractor.Start(choices.installFolder) == StartResult::Started)
        WaitForSingleObject(silent.Ended(), INFINITE);
    return silent.Outcome();
}
