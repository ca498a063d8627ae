#pragma once
// A running program cannot delete its own file on Windows. The uninstaller therefore starts a copy
// of itself from the temporary folder that waits for it to end, deletes it and its folder if that
// is empty then, and leaves its own file to be deleted at the next restart.

#include <windows.h>

#include <string>

// Starts the copy for `program` (this process's own file); false when it could not be started.
bool StartRemovalCopy(const std::wstring& program);

// The copy's part: waits for `original` to end, then deletes `program` and removes its folder if it
// is empty. Returns 0 when `program` is gone, kFilesLeft otherwise.
int FinishRemoval(HANDLE original, const std::wstring& program);
