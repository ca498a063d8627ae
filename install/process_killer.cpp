#include "install/process_killer.h"

#include <tlhelp32.h>

#include "install/run_log.h"

bool IsSameExecutableName(const std::wstring& processName, const std::wstring& wanted) {
    if (wanted.empty() || processName.size() != wanted.size()) return false;
    return CompareStringOrdinal(processName.c_str(), int(processName.size()), wanted.c_str(),
                                int(wanted.size()), TRUE) == CSTR_EQUAL;
}

EndedProcesses EndProcessesNamed(const std::wstring& exeName) {
    EndedProcesses result;
    if (exeName.empty()) return result;
    const CFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0));
    if (!snapshot) return result;
    // An installer that happens to carry the product's name must not end itself.
    const DWORD self = GetCurrentProcessId();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    std::vector<CKernelHandle> ended;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == self || !IsSameExecutableName(entry.szExeFile, exeName))
            continue;
        const DWORD id = entry.th32ProcessID;
        if (CKernelHandle process{OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)}) {
            if (TerminateProcess(process, 9))
                ended.push_back(std::move(process));
            else
                result.allGone = false;
        } else if (const CKernelHandle endOnly{OpenProcess(PROCESS_TERMINATE, FALSE, id)}) {
            // One that can be ended but not waited for is still ended.
            if (TerminateProcess(endOnly, 9))
                ++result.ended;
            else
                result.allGone = false;
        } else if (GetLastError() != ERROR_INVALID_PARAMETER) {
            // Not one that has ended since the snapshot: it runs on, out of reach.
            result.allGone = false;
        }
    }
    result.ended += int(ended.size());
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
