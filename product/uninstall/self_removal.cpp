#include "product/uninstall/self_removal.h"

#include <string>

#include "product/uninstall/exit_code.h"
#include "install/paths.h"
#include "platform/program_path.h"
#include "platform/unique_handle.h"
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
    CKernelHandle self;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), self.Put(),
                         SYNCHRONIZE, TRUE, 0)) {
        DeleteFileW(copy.c_str());
        return false;
    }
    std::wstring commandLine = L"\"" + copy + L"\" /finish " +
                               std::to_wstring(reinterpret_cast<uintptr_t>(self.Get())) + L" \"" +
                               program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(copy.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, nullptr, &startup, &process)) {
        DeleteFileW(copy.c_str());
        return false;
    }
    // Nothing waits for the copy: its handles are only closed.
    const CKernelHandle copyThread(process.hThread);
    const CKernelHandle copyProcess(process.hProcess);
    return true;
}

int FinishRemoval(HANDLE original, const std::wstring& program) {
    {
        const CKernelHandle originalProcess(original);
        WaitForSingleObject(originalProcess, 60000);
    }
    const bool removed = RemoveFile(program);
    RemoveFolderIfEmpty(ParentFolder(program));

    const std::wstring self = ThisProgramPath();
    if (!self.empty()) MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return removed ? 0 : kFilesLeft;
}
