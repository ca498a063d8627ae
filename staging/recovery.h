#pragma once
// What a run that was killed (ended from outside, power lost) left is finished or undone before
// the next setup.exe or uninstall.exe of the product does anything else, so that the install
// folder holds the old version or the new one, never a mix of both:
//   killed while staging         the staging folder goes (and the folders a fresh run made above
//                                the install folder): the old version stays
//   killed during the final moves  every move done is undone from the plan kept in the staging
//                                folder, then the staging folder goes: the old version
//   killed while deleting the old  the deletion is finished: the new version, complete; what
//                                another program still holds is deleted at the next restart
// The journal names the folders; one this installer could not have written is deleted unused.
// A run that cannot finish or undo it does nothing else: the journal stays for the next run.

#include <string>
#include <vector>

#include "files/tree_removal.h"

class CRunLog;

struct RecoveryResult {
    bool complete = true;  // nothing of an interrupted installation is left (or there was none)
    ItemLeft left;         // otherwise the first item that could not be moved back or deleted
    // What stays and why, for the log.
    std::wstring Reason() const;
};

// One line for each item left for the next restart to delete, in the order scheduled.
void LogDeletedAtRestart(CRunLog& log, const std::vector<ItemLeft>& items);

// Finishes or undoes the installation the product's journal names. The product's running copies
// (image name `processName`), which may hold its files, are ended first, and only when there is
// one to finish. Each step goes to `log`.
RecoveryResult RecoverInterruptedInstallation(const std::wstring& productKey,
                                              const std::wstring& processName, CRunLog& log);
