#pragma once
// A running program cannot delete its own file on Windows. The uninstaller therefore places a copy
// of itself in a new folder of its own and starts it once it has nothing left to ask. The folder
// lies in the system's own temporary folder below the Windows folder, which no standard user may
// rename or write, has an unguessable name and admits only the system and administrators; the
// uninstaller holds it and the copy open so that neither can be renamed, replaced or written, and
// starts the copy only when the process made is seen to run that very file. The copy waits for the
// uninstaller to end, deletes it and its folder if that is empty then, and leaves itself and its
// folder to be deleted at the next restart. It holds the installation guard the whole time, handed
// down by the uninstaller, so that no installation of the product starts in the folder it is still
// removing.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/unique_handle.h"
#include "staging/installation_guard.h"

// The folders below the Windows folder `windows` that the copy's folder may go in, in the order
// tried, given the attributes found at its "SystemTemp" and "Temp" (INVALID_FILE_ATTRIBUTES where
// nothing is): each of those that is a plain folder, SystemTemp first.
std::vector<std::wstring> CopyParentFolders(const std::wstring& windows, DWORD systemTemp,
                                            DWORD temp);

// Whether `process` runs the very file open as `file` (volume and file index, not its path's
// text); false for anything that is not a process handle.
bool RunsFile(HANDLE process, HANDLE file);

class CRemovalCopy {
public:
    // Places the copy of `program` (this process's own file); a copy never started is deleted again
    // with its folder, through the handles it was placed with.
    explicit CRemovalCopy(const std::wstring& program);
    ~CRemovalCopy();
    CRemovalCopy(const CRemovalCopy&) = delete;
    CRemovalCopy& operator=(const CRemovalCopy&) = delete;

    // The copy's file; empty when it could not be placed.
    const std::wstring& Path() const { return m_path; }
    // Why it could not be placed or started, for the log; empty otherwise.
    const std::wstring& Problem() const { return m_problem; }

    // Starts the copy, handing it this process to wait for and `guard` to hold; false when it
    // could not be started, or when the process made did not run the copy placed (it is ended
    // before it runs).
    // `madeAbove`: the highest folder the installation made above its install folder, for the
    // copy to remove once empty (empty for none).
    bool Start(const CInstallationGuard& guard, const std::wstring& madeAbove = L"");

private:
    bool Place(const std::wstring& program);
    bool MakeFolder(const std::wstring& parent);
    bool WriteCopy(HANDLE source);
    bool InPlace() const;
    bool Fail(const std::wstring& problem, DWORD error = ERROR_SUCCESS);

    std::wstring m_program;
    std::wstring m_folder;
    std::wstring m_path;
    std::wstring m_problem;
    CFileHandle m_folderHandle;  // held without delete sharing: the folder cannot be renamed
    CFileHandle m_copyHandle;    // held without write or delete sharing
    bool m_started = false;
};

// The process handle the copy inherited under the number `value` of its command line, owned from
// now on; empty, with whatever `value` names left open, when that is not a process handle this
// process holds with the rights the uninstaller hands it.
CKernelHandle InheritedProcess(uintptr_t value);

// The copy's part. Acts only when `program` is named like the uninstaller and is the very file the
// process `original` runs: nothing else its command line could name is deleted. Waits up to `wait`
// ms for `original` to end, then deletes `program` and its folder if that is empty; when `original`
// does not end in time, or `program` cannot be deleted, marks `program` for deletion at restart.
// All of it under the installation guard: `guard` when it is held (handed down), else the guard of
// `productKey` taken once `original` has ended; when that is held by an installation, nothing is
// deleted or marked, since the folder is the installation's again.
// Once the install folder is gone, so are the folders above it up to `madeAbove` (when that holds
// it), each while it is empty.
// Returns 0 when `program` is gone, kFilesLeft when it is not, kRefused when it did nothing.
int FinishRemoval(CKernelHandle original, CInstallationGuard guard, const std::wstring& productKey,
                  const std::wstring& program, const std::wstring& madeAbove, unsigned long wait);

// Marks the copy's own file `self`, then its folder, for deletion at the next restart.
void RemoveAtRestart(const std::wstring& self);
