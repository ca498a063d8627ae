#pragma once
// Ends running copies of the product so that none holds a file the installation must overwrite.

#include <windows.h>

#include <string>
#include <vector>

#include "files/same_path.h"
#include "platform/unique_handle.h"

// How long the ended processes get, all together, to be gone.
constexpr DWORD kProcessEndTimeoutMs = 5000;

// Whole-name, case-insensitive match of a process's executable file name.
bool IsSameExecutableName(const std::wstring& processName, const std::wstring& wanted);

struct EndedProcesses {
    int ended = 0;        // processes told to end
    bool allGone = true;  // every one was ended and has exited
};

// Terminates, with exit code 9, every other process whose executable file name is `exeName` (and,
// with `folder`, whose executable lies in that folder), then waits until they have all exited, at
// most kProcessEndTimeoutMs in total: Windows keeps a process's executable and DLLs locked until it
// is gone, not merely told to end. Nothing stops on a failure; the result tells it.
EndedProcesses EndProcessesNamed(const std::wstring& exeName, const std::wstring& folder = L"");

class CRunLog;
// "end processes NAME: done (N ended)", or failed when one may still be running.
void LogEndedProcesses(CRunLog& log, const std::wstring& exeName, const EndedProcesses& ended);

// Ends, with exit code 9, the process `id` if the image it runs is still named `exeName`; true when
// it was told to end. `ended` then holds it for a wait, unless it could not be opened for one. A
// process that now has the id of one listed earlier under that name is left alone, and so, with
// `folder`, is one whose executable lies in another folder.
bool EndProcessIfNamed(DWORD id, const std::wstring& exeName, CKernelHandle& ended,
                       const CFileIdentity* folder = nullptr);

// Waits until every one of `processes` has exited or `timeoutMs` has passed in all; true when all
// have exited.
bool WaitForAllToExit(const std::vector<CKernelHandle>& processes, DWORD timeoutMs);
