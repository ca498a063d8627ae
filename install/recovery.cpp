#include "install/recovery.h"

#include "install/commit_plan.h"
#include "install/install_journal.h"
#include "install/paths.h"
#include "install/tree_removal.h"

namespace {

bool UndoMoves(const InstallRecord& record, const StagingLayout& layout) {
    if (record.fresh)
        return UndoCommitPlan({CommitStep{CommitKind::NewFolder, L"", 0, L""}}, layout,
                              SystemFiles());
    const auto plan = ReadCommitPlanFile(layout);
    // Without its plan nothing tells which file is whose: everything stays as it is.
    return plan && UndoCommitPlan(*plan, layout, SystemFiles());
}

}  // namespace

bool RecoverInterruptedInstallation(const std::wstring& productKey) {
    const auto record = ReadInstallRecord(productKey);
    if (!record) return true;
    if (!IsPlausibleRecord(*record)) {
        DeleteInstallRecord(productKey);
        return true;
    }
    const StagingLayout layout{record->installFolder, record->staging};
    if (record->phase == InstallPhase::Committing && !UndoMoves(*record, layout)) return false;
    if (!RemoveTree(record->staging)) return false;
    if (record->phase != InstallPhase::Discarding)
        RemoveEmptyFoldersUpTo(ParentFolder(WithoutTrailingSeparators(record->installFolder)),
                               record->createdFrom);
    DeleteInstallRecord(productKey);
    return true;
}
