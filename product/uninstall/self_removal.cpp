#include "product/uninstall/self_removal.h"

#include <string>

#include "product/uninstall/exit_code.h"
#include "install/paths.h"
#include "product/uninstall/removal.h"

namespace {

std::wstring TemporaryCopyPath() {
    wchar_t folder[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
    if (length == 0 || length > MAX_PATH) return std::wstring();
    return JoinPath(folder, L"uninstall-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                                std::to_wstring(GetTickCount()) + L".exe");
}

}  // namespace

bool StartRemovalCopy(const std::wstring& program) {
    const std::wstring copy = TemporaryCopyPath();
    if (copy.empty() || !CopyFileW(program.c_str(), copy.c_str(), FALSE)) return false;

    // The copy waits on an inherited handle of this process, so it cannot mistake another process
    // that later gets the same id for this one.
    HANDLE self = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                         SYNCHRONIZE, TRUE, 0)) {
        DeleteFileW(copy.c_str());
        return false;
    }
    std::wstring commandLine = L"\"" + copy + L"\" /finish " +
                               std::to_wstring(reinterpret_cast<uintptr_t>(self)) + L" \"" +
                               program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(copy.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
    CloseHandle(self);
    if (!started) {
        DeleteFileW(copy.c_str());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

int FinishRemoval(HANDLE original, const std::wstring& program) {
    WaitForSingleObject(original, 60000);
    CloseHandle(original);
    const bool removed = RemoveFile(program);
    RemoveFolderIfEmpty(ParentFolder(program));

    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length > 0 && length < MAX_PATH) MoveFileExW(self, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return removed ? 0 : kFilesLeft;
}
