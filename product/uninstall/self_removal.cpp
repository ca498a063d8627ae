#include "product/uninstall/self_removal.h"

#include <windows.h>
#include <sddl.h>

#include <cstdint>

#include "files/paths.h"
#include "files/removal.h"
#include "files/same_path.h"
#include "platform/process_image.h"
#include "platform/program_path.h"
#include "platform/random_bytes.h"
#include "product/uninstall/exit_code.h"
#include "product/uninstall/uninstall_command.h"
#include "system/product_paths.h"

namespace {

// "uninstall-" and 32 hex digits from the system's random generator.
bool RandomFolderName(std::wstring& name) {
    unsigned char bytes[16];
    if (!FillRandom(bytes, sizeof bytes)) return false;
    name = L"uninstall-";
    for (unsigned char byte : bytes) {
        name += L"0123456789abcdef"[byte >> 4];
        name += L"0123456789abcdef"[byte & 15];
    }
    return true;
}

// Fails when the folder exists: one that another process made first is never used. Its
// protected DACL admits SYSTEM, administrators and its owner only, instead of inheriting the
// temporary folder's access for the user's unelevated processes.
bool CreateOwnFolder(const std::wstring& folder) {
    CLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FA;;;OW)", SDDL_REVISION_1,
            descriptor.Put(), nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    return CreateDirectoryW(folder.c_str(), &attributes);
}

// Whether `process` runs the file `program`; false for anything that is not a process handle.
bool RunsFrom(HANDLE process, const std::wstring& program) {
    const std::wstring image = ProcessImagePath(process);
    return !image.empty() && SameFile(image, program);
}

}  // namespace

CRemovalCopy::CRemovalCopy(const std::wstring& program) : m_program(program) {
    wchar_t temp[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
    if (length == 0 || length > MAX_PATH) return;
    for (int attempt = 0; attempt < 3 && m_folder.empty(); ++attempt) {
        std::wstring name;
        if (!RandomFolderName(name)) return;
        const std::wstring folder = JoinPath(temp, name);
        if (CreateOwnFolder(folder))
            m_folder = folder;
        else if (GetLastError() != ERROR_ALREADY_EXISTS)
            return;
    }
    if (m_folder.empty()) return;
    const std::wstring copy = JoinPath(m_folder, kUninstallerName);
    if (CopyFileW(program.c_str(), copy.c_str(), TRUE)) m_path = copy;
}

CRemovalCopy::~CRemovalCopy() {
    if (m_started) return;
    if (!m_path.empty()) DeleteFileW(m_path.c_str());
    if (!m_folder.empty()) RemoveDirectoryW(m_folder.c_str());
}

bool CRemovalCopy::Start(const CInstallationGuard& guard) {
    if (m_path.empty()) return false;
    // The copy waits on an inherited handle of this process, so it cannot mistake another process
    // that later gets the same id for this one, and asks it which file it runs.
    CKernelHandle self;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), self.Put(),
                         SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0))
        return false;
    // Inherited, the guard is the copy's from its first moment: there is no moment between this
    // process ending and the copy taking it in which an installation could start.
    std::vector<CKernelHandle> guardHandles;
    const bool handedDown = guard.HandDown(guardHandles);
    const std::wstring arguments = FinishArguments(
        reinterpret_cast<uintptr_t>(self.Get()),
        handedDown ? reinterpret_cast<uintptr_t>(guardHandles[0].Get()) : 0, m_program);
    if (arguments.empty()) return false;
    std::wstring commandLine = L"\"" + m_path + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(m_path.c_str(), &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, m_folder.c_str(), &startup, &process))
        return false;
    m_started = true;
    // Nothing waits for the copy: its handles are only closed.
    const CKernelHandle copyThread(process.hThread);
    const CKernelHandle copyProcess(process.hProcess);
    return true;
}

CKernelHandle InheritedProcess(uintptr_t value) {
    const HANDLE handle = reinterpret_cast<HANDLE>(value);
    // Only a process handle with the rights the uninstaller grants has a process id to tell.
    if (value == 0 || GetProcessId(handle) == 0) return CKernelHandle();
    return CKernelHandle(handle);
}

int FinishRemoval(CKernelHandle original, CInstallationGuard guard, const std::wstring& productKey,
                  const std::wstring& program, unsigned long wait) {
    const std::wstring folder = WithoutTrailingSeparators(ParentFolder(program));
    const std::wstring name = program.substr(folder.size() + (folder.empty() ? 0 : 1));
    // Never its own file: a process handle to itself would pass the check below.
    if (!SamePath(name, kUninstallerName) || SameFile(program, ThisProgramPath()) ||
        !RunsFrom(original, program))
        return kRefused;

    // Deleted from the folder above the install folder, so that the install folder can go too;
    // resolved before the wait, so that swapping a folder meanwhile leads nowhere.
    const std::wstring above = ParentFolder(folder);
    const std::wstring folderName = above.empty() ? std::wstring() : folder.substr(above.size());
    const CRemovalFolder removal(above.empty() ? ParentFolder(program) : above);
    const std::wstring relative = folderName.empty() ? name : folderName + L"\\" + name;

    const bool ended = WaitForSingleObject(original, wait) == WAIT_OBJECT_0;
    // Not handed down: taken now that the uninstaller has let it go, unless an installation was
    // quicker.
    if (!guard.Held()) guard = CInstallationGuard(productKey);
    if (!guard.Held()) return kFilesLeft;
    if (ended && removal.RemoveFile(relative)) {
        if (!folderName.empty()) removal.RemoveFolderIfEmpty(folderName);
        return 0;
    }
    // Marked only while the path still leads to that same file.
    if (RunsFrom(original, program))
        MoveFileExW(program.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return kFilesLeft;
}

void RemoveAtRestart(const std::wstring& self) {
    MoveFileExW(self.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    // Removed at restart only if it is empty by then.
    const std::wstring folder = WithoutTrailingSeparators(ParentFolder(self));
    if (!folder.empty()) MoveFileExW(folder.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}
