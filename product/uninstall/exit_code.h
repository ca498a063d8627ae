#pragma once
// The uninstaller's exit code: 0 when everything it was to remove is gone, otherwise the sum of the
// bits below. 64, 96, 128 and 192 stand alone: nothing was removed.

enum UninstallExitBits : int {
    kFilesLeft = 1,       // a listed file is still there (or its name was refused)
    kFoldersLeft = 2,     // a folder that became empty could not be removed
    kShortcutsLeft = 4,   // a shortcut, or the emptied Start-menu folder, is still there
    kEntryLeft = 8,       // the Uninstall entry could not be deleted
    kNotRegistered = 16,  // there was no Uninstall entry (already uninstalled, or never registered)
    kNoEntryList = 32,    // no readable list of installed files: no file of the folder was touched
    kRefused = 64,        // a folder nesting with this one is registered, or a bad command line
    kInterrupted = 96,    // an interrupted installation could not be finished or undone
    kCancelled = 128,     // the user said no
    kBusy = 192,          // an installation or removal of the product runs: try again later
};

struct UninstallReport {
    int filesLeft = 0;
    int foldersLeft = 0;
    int shortcutsLeft = 0;
    bool entryLeft = false;
    bool registered = true;
    bool listRead = true;
};

int ComposeExitCode(const UninstallReport& report);
