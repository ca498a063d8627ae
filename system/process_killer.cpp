#include "system/process_killer.h"

#include <tlhelp32.h>

#include "files/paths.h"
#include "files/same_path.h"
#include "log/run_log.h"
#include "platform/process_image.h"

namespace {

std::wstring ImageFileName(HANDLE process) {
    const std::wstring image = ProcessImagePath(process);
    return image.substr(image.find_last_of(L"\\/") + 1);
}

}  // namespace

bool IsSameExecutableName(const std::wstring& processName, const std::wstring& wanted) {
    if (wanted.empty() || processName.size() != wanted.size()) return false;
    return CompareStringOrdinal(processName.c_str(), int(processName.size()), wanted.c_str(),
                                int(wanted.size()), TRUE) == CSTR_EQUAL;
}

bool EndProcessIfNamed(DWORD id, const std::wstring& exeName, CKernelHandle& ended,
                       const CFileIdentity* folder) {
    constexpr DWORD kEnd = PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION;
    CKernelHandle process{OpenProcess(kEnd | SYNCHRONIZE, FALSE, id)};
    // One that can be ended but not waited for is still ended.
    const bool waitable = bool(process);
    if (!waitable) process = CKernelHandle{OpenProcess(kEnd, FALSE, id)};
    // The handle holds the process, so the image checked is the one ended: an id that another
    // program has taken since the snapshot is left alone.
    if (!process || !IsSameExecutableName(ImageFileName(process), exeName) ||
        (folder && !folder->IsFileAt(ParentFolder(ProcessImagePath(process)))) ||
        !TerminateProcess(process, 9))
        return false;
    if (waitable) ended = std::move(process);
    return true;
}

EndedProcesses EndProcessesNamed(const std::wstring& exeName, const std::wstring& folder) {
    EndedProcesses result;
    if (exeName.empty()) return result;
    const CFileIdentity inFolder(folder);
    if (!folder.empty() && !inFolder.Known()) return result;
    std::vector<DWORD> named;
    {
        const CFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
        if (!snapshot) return result;
        // An installer that happens to carry the product's name must not end itself.
        const DWORD self = GetCurrentProcessId();
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more;
             more = Process32NextW(snapshot, &entry))
            if (entry.th32ProcessID != self && IsSameExecutableName(entry.szExeFile, exeName))
                named.push_back(entry.th32ProcessID);
    }
    std::vector<CKernelHandle> ended;
    for (const DWORD id : named) {
        CKernelHandle process;
        if (!EndProcessIfNamed(id, exeName, process, folder.empty() ? nullptr : &inFolder)) {
            // Limited to a folder, a copy that runs elsewhere is no failure; one there that cannot
            // be ended leaves its files, which their removal then reports.
            if (folder.empty()) result.allGone = false;
            continue;
        }
        ++result.ended;
        if (process) ended.push_back(std::move(process));
    }
    // Every process was told to end before the first wait, so they all go at once.
    if (!WaitForAllToExit(ended, kProcessEndTimeoutMs)) result.allGone = false;
    return result;
}

bool WaitForAllToExit(const std::vector<CKernelHandle>& processes, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (const CKernelHandle& process : processes) {
        const ULONGLONG now = GetTickCount64();
        if (WaitForSingleObject(process, now < deadline ? DWORD(deadline - now) : 0) !=
            WAIT_OBJECT_0)
            return false;
    }
    return true;
}

void LogEndedProcesses(CRunLog& log, const std::wstring& exeName, const EndedProcesses& ended) {
    log.Step(L"end processes " + exeName, ended.allGone ? S_OK : HRESULT_FROM_WIN32(ERROR_TIMEOUT),
             std::to_wstring(ended.ended) + L" ended");
}
