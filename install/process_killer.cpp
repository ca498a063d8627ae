#include "install/process_killer.h"

#include <tlhelp32.h>

bool IsSameExecutableName(const std::wstring& processName, const std::wstring& wanted) {
    if (wanted.empty() || processName.size() != wanted.size()) return false;
    return CompareStringOrdinal(processName.c_str(), int(processName.size()), wanted.c_str(),
                                int(wanted.size()), TRUE) == CSTR_EQUAL;
}

void EndProcessesNamed(const std::wstring& exeName) {
    if (exeName.empty()) return;
    const CFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPALL, 0));
    if (!snapshot) return;
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
            if (TerminateProcess(process, 9)) ended.push_back(std::move(process));
        } else if (const CKernelHandle endOnly{OpenProcess(PROCESS_TERMINATE, FALSE, id)}) {
            // One that can be ended but not waited for is still ended.
            TerminateProcess(endOnly, 9);
        }
    }
    // Every process was told to end before the first wait, so they all go at once.
    WaitForAllToExit(ended, kProcessEndTimeoutMs);
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
