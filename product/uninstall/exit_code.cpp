#include "product/uninstall/exit_code.h"

int ComposeExitCode(const UninstallReport& report) {
    int code = 0;
    if (report.filesLeft > 0) code |= kFilesLeft;
    if (report.foldersLeft > 0) code |= kFoldersLeft;
    if (report.shortcutsLeft > 0) code |= kShortcutsLeft;
    if (report.entryLeft) code |= kEntryLeft;
    if (!report.registered) code |= kNotRegistered;
    if (!report.listRead) code |= kNoEntryList;
    return code;
}
