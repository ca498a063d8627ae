#include "staging/recovery.h"

#include <windows.h>

#include <optional>

#include "files/disk_flush.h"
#include "files/paths.h"
#include "files/restart_deletion.h"
#include "log/run_log.h"
#include "staging/commit_plan.h"
#include "staging/install_journal.h"
#include "system/process_killer.h"

namespace {

std::optional<CommitPlan> PlanOf(const InstallJournal& journal, const StagingLayout& layout) {
    if (journal.fresh) return CommitPlan{CommitStep{CommitKind::NewFolder, L"", 0, L""}};
    return ReadCommitPlanFile(layout);
}

// Brings the installation back to the old version or on to the new one; false, with `left`
// naming what stays, when it cannot.
bool Recover(const std::wstring& productKey, const InstallJournal& journal, ItemLeft& left,
             CRunLog& log) {
    const StagingLayout layout{journal.installFolder, journal.staging};
    if (journal.phase == InstallPhase::Committing) {
        const auto plan = PlanOf(journal, layout);
        // Without its plan nothing tells which file is whose: everything stays as it is.
        if (!plan) {
            left = ItemLeft{layout.staging, ERROR_FILE_NOT_FOUND};
            return false;
        }
        if (!UndoCommitPlan(*plan, layout, SystemFiles(), &left)) return false;
        // Written as soon as it is true, and before anything is deleted: from here on, removing
        // the staging folder is all there is to do, with the plan or without it.
        if (!FlushCommitPlan(*plan, layout, false) ||
            !SetJournalPhase(productKey, InstallPhase::Staging)) {
            left = ItemLeft{L"HKLM\\Software\\" + productKey, GetLastError()};
            return false;
        }
    }
    if (journal.phase == InstallPhase::Discarding) {
        // The plan goes with the staging folder, and it names the folders retired files lay in.
        const auto finished = journal.fresh ? std::nullopt : ReadCommitPlanFile(layout);
        // The new version is complete: what another program still holds of the old one goes at
        // the next restart, as the killed run's own deletion would have had it go.
        const std::vector<ItemLeft> held = RemoveStagingFolderLeaving(layout);
        if (!held.empty() && !DeleteAtRestart(held, &left)) return false;
        LogDeletedAtRestart(log, held);
        if (finished) RemoveRetiredFolders(*finished, layout);
    } else if (!RemoveStagingFolder(layout, &left)) {
        return false;
    }
    if (journal.phase != InstallPhase::Discarding)
        RemoveEmptyFoldersUpTo(ParentFolder(WithoutTrailingSeparators(journal.installFolder)),
                               journal.createdFrom);
    FlushVolumeOf(journal.installFolder);
    DeleteInstallJournal(productKey);
    return true;
}

}  // namespace

void LogDeletedAtRestart(CRunLog& log, const std::vector<ItemLeft>& items) {
    for (const ItemLeft& item : items)
        log.Line(L"set aside and held, deleted at the next restart: " + item.path);
}

std::wstring RecoveryResult::Reason() const {
    return L"an interrupted installation could not be finished or undone: " + left.path + L": " +
           SystemErrorText(HRESULT_FROM_WIN32(left.error));
}

RecoveryResult RecoverInterruptedInstallation(const std::wstring& productKey,
                                              const std::wstring& processName, CRunLog& log) {
    RecoveryResult result;
    InstallJournal journal;
    switch (ReadInstallJournal(productKey, journal)) {
        case JournalFound::None:
            return result;
        case JournalFound::Unreadable:
            // Cut short while it was started, before anything was made.
            DeleteInstallJournal(productKey);
            return result;
        case JournalFound::Read:
            break;
    }
    if (!IsPlausibleJournal(journal)) {
        DeleteInstallJournal(productKey);
        log.Line(
            L"an interrupted installation's journal names folders this installer does not "
            L"write: deleted unused");
        return result;
    }
    LogEndedProcesses(log, processName, EndProcessesNamed(processName));
    result.complete = Recover(productKey, journal, result.left, log);
    const std::wstring what = journal.phase == InstallPhase::Discarding ? L"completed" : L"undone";
    log.Step(L"interrupted installation of " + journal.installFolder,
             result.complete ? S_OK : HRESULT_FROM_WIN32(result.left.error),
             result.complete ? what : result.left.path);
    return result;
}
