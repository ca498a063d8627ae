#include "install/process_killer.h"

#include <windows.h>
#include <tlhelp32.h>

#include "platform/unique_handle.h"

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
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == self || !IsSameExecutableName(entry.szExeFile, exeName))
            continue;
        if (const CKernelHandle process{OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)})
            TerminateProcess(process, 9);
    }
}
