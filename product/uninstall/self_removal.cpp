#include "product/uninstall/self_removal.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "files/folder_trust.h"
#include "files/install_folder.h"
#include "files/paths.h"
#include "files/removal.h"
#include "files/tree_removal.h"
#include "files/same_path.h"
#include "platform/checked_file.h"
#include "platform/process_image.h"
#include "platform/program_path.h"
#include "platform/random_bytes.h"
#include "product/uninstall/exit_code.h"
#include "product/uninstall/uninstall_command.h"
#include "system/product_paths.h"

namespace {

// A copy ended before it ran is waited for, so that its file is free to delete.
constexpr DWORD kEndWait = 5000;
constexpr DWORD kChunk = 64 * 1024;

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

bool IsPlainFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

DWORD AttributesOf(HANDLE item) {
    FILE_BASIC_INFO info{};
    return GetFileInformationByHandleEx(item, FileBasicInfo, &info, sizeof info)
               ? info.FileAttributes
               : INVALID_FILE_ATTRIBUTES;
}

// The Windows folder as the system knows it; TEMP, TMP and SystemRoot are the user's to set.
std::wstring WindowsFolder() {
    wchar_t folder[MAX_PATH + 1];
    const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH + 1);
    return length == 0 || length > MAX_PATH ? std::wstring() : std::wstring(folder, length);
}

// The folder itself, never what a link at its name leads to.
CFileHandle OpenFolder(const std::wstring& folder, DWORD access, DWORD sharing) {
    return CFileHandle(CreateFileW(folder.c_str(), access, sharing, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
                                   nullptr));
}

// Why the folder open as `folder` cannot hold the copy: not a plain folder, or not the folder
// `intended` once links are resolved. Empty when it can.
std::wstring FolderProblem(HANDLE folder, const std::wstring& intended) {
    if (!IsPlainFolder(AttributesOf(folder))) return intended + L" is not a plain folder";
    if (!IsFinalPathOf(FinalPathOf(folder), intended))
        return intended + L" leads elsewhere: " + FinalPathOf(folder);
    return std::wstring();
}

// The temporary folder the copy's folder goes in: where its path says, and no level of it one that
// a standard user could rename, replace or take over.
std::wstring ParentProblem(HANDLE parent, const std::wstring& intended) {
    if (std::wstring problem = FolderProblem(parent, intended); !problem.empty()) return problem;
    return FindChangeableLevel(intended);
}

// Its protected DACL admits SYSTEM and administrators only: no owner entry, nothing inherited.
// Fails when the folder exists: one that another process made first is never used.
bool CreateOwnFolder(const std::wstring& folder) {
    CLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(
            L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", SDDL_REVISION_1, descriptor.Put(), nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.Get(), FALSE};
    return CreateDirectoryW(folder.c_str(), &attributes);
}

bool ReadFully(HANDLE file, unsigned char* buffer, DWORD size, DWORD& read) {
    read = 0;
    while (read < size) {
        DWORD got = 0;
        if (!ReadFile(file, buffer + read, size - read, &got, nullptr)) return false;
        if (got == 0) break;
        read += got;
    }
    return true;
}

bool Rewind(HANDLE file) {
    LARGE_INTEGER zero{};
    return SetFilePointerEx(file, zero, nullptr, FILE_BEGIN);
}

// Whether two open files hold the same bytes, read from their start.
bool SameBytes(HANDLE a, HANDLE b) {
    if (!Rewind(a) || !Rewind(b)) return false;
    std::vector<unsigned char> left(kChunk), right(kChunk);
    for (;;) {
        DWORD leftRead = 0, rightRead = 0;
        if (!ReadFully(a, left.data(), kChunk, leftRead) ||
            !ReadFully(b, right.data(), kChunk, rightRead) || leftRead != rightRead ||
            !std::equal(left.begin(), left.begin() + leftRead, right.begin()))
            return false;
        if (leftRead < kChunk) return true;
    }
}

bool CopyBytes(HANDLE source, HANDLE target) {
    if (!Rewind(source)) return false;
    std::vector<unsigned char> buffer(kChunk);
    for (;;) {
        DWORD read = 0, written = 0;
        if (!ReadFully(source, buffer.data(), kChunk, read)) return false;
        if (read == 0) return true;
        if (!WriteFile(target, buffer.data(), read, &written, nullptr) || written != read)
            return false;
    }
}

// Deletes the held item through its handle, once it is closed, and only while its path still
// leads to it: the handle is what goes, never whatever now stands at the path.
void DeleteHeld(CFileHandle& item, const std::wstring& path) {
    if (item && CFileIdentity(item.Get()) == CFileIdentity(path)) {
        FILE_DISPOSITION_INFO disposition{TRUE};
        SetFileInformationByHandle(item, FileDispositionInfo, &disposition, sizeof disposition);
    }
    item.Reset();
}

// The folders above a removed install folder `folder` up to `madeAbove`, when that holds it.
void RemoveFoldersMadeAbove(const std::wstring& folder, const std::wstring& madeAbove) {
    const auto top = NormalInstallFolder(madeAbove);
    const auto removed = NormalInstallFolder(folder);
    if (!top || !removed || top->size() >= removed->size() ||
        RelateFolders(*top, *removed) != FolderRelation::Nested)
        return;
    RemoveEmptyFoldersUpTo(WithoutTrailingSeparators(ParentFolder(*removed)), *top);
}

// Whether `process` runs the file `program`; false for anything that is not a process handle.
bool RunsFrom(HANDLE process, const std::wstring& program) {
    const std::wstring image = ProcessImagePath(process);
    return !image.empty() && SameFile(image, program);
}

}  // namespace

std::vector<std::wstring> CopyParentFolders(const std::wstring& windows, DWORD systemTemp,
                                            DWORD temp) {
    std::vector<std::wstring> parents;
    if (windows.empty()) return parents;
    if (IsPlainFolder(systemTemp)) parents.push_back(JoinPath(windows, L"SystemTemp"));
    if (IsPlainFolder(temp)) parents.push_back(JoinPath(windows, L"Temp"));
    return parents;
}

bool RunsFile(HANDLE process, HANDLE file) {
    const std::wstring image = ProcessImagePath(process);
    return !image.empty() && CFileIdentity(image) == CFileIdentity(file);
}

CRemovalCopy::CRemovalCopy(const std::wstring& program) : m_program(program) {
    if (!Place(program)) {
        DeleteHeld(m_copyHandle, m_path);
        m_path.clear();
        DeleteHeld(m_folderHandle, m_folder);
    }
}

// Keeps the last error for the caller.
bool CRemovalCopy::Fail(const std::wstring& problem, DWORD error) {
    const DWORD last = GetLastError();
    m_problem = problem;
    if (error != ERROR_SUCCESS) m_problem += L" (error " + std::to_wstring(error) + L")";
    SetLastError(last);
    return false;
}

bool CRemovalCopy::Place(const std::wstring& program) {
    const std::wstring windows = WindowsFolder();
    const std::vector<std::wstring> parents =
        CopyParentFolders(windows, GetFileAttributesW(JoinPath(windows, L"SystemTemp").c_str()),
                          GetFileAttributesW(JoinPath(windows, L"Temp").c_str()));
    if (parents.empty()) return Fail(L"no temporary folder of the system's below " + windows);
    // A SystemTemp that only the system itself may write leaves Temp.
    for (const std::wstring& parent : parents)
        if (MakeFolder(parent) || GetLastError() != ERROR_ACCESS_DENIED) break;
    if (!m_folderHandle) return false;

    const CFileHandle source(CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!source) return Fail(program + L" cannot be read", GetLastError());
    return WriteCopy(source);
}

// Makes and holds the copy's folder in `parent`; false with the last error set when it cannot.
bool CRemovalCopy::MakeFolder(const std::wstring& parent) {
    const CFileHandle parentHandle = OpenFolder(
        parent, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (!parentHandle) return Fail(parent + L" cannot be opened", GetLastError());
    const std::wstring parentProblem = ParentProblem(parentHandle, parent);
    if (!parentProblem.empty()) return Fail(parentProblem);

    std::wstring folder;
    for (int attempt = 0; attempt < 3 && folder.empty(); ++attempt) {
        std::wstring name;
        if (!RandomFolderName(name)) return Fail(L"no random name");
        const std::wstring candidate = JoinPath(parent, name);
        if (CreateOwnFolder(candidate))
            folder = candidate;
        else if (GetLastError() != ERROR_ALREADY_EXISTS)
            return Fail(L"its folder cannot be made in " + parent, GetLastError());
    }
    if (folder.empty()) return Fail(L"its folder cannot be made in " + parent);
    // Without delete sharing nobody can rename the folder away while the uninstaller holds it.
    m_folderHandle = OpenFolder(folder,
                                FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE |
                                    FILE_READ_ATTRIBUTES | DELETE | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!m_folderHandle) return Fail(folder + L" cannot be held", GetLastError());
    m_folder = folder;
    const std::wstring folderProblem = FolderProblem(m_folderHandle, folder);
    if (!folderProblem.empty()) {
        DeleteHeld(m_folderHandle, m_folder);
        SetLastError(ERROR_CANT_ACCESS_FILE);
        return Fail(folderProblem);
    }
    m_problem.clear();
    return true;
}

bool CRemovalCopy::WriteCopy(HANDLE source) {
    const std::wstring path = JoinPath(m_folder, kUninstallerName);
    CFileHandle written(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                    FILE_SHARE_READ, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    if (!written) return Fail(path + L" cannot be made", GetLastError());
    m_path = path;
    m_copyHandle = std::move(written);
    if (!IsFinalPathOf(FinalPathOf(m_copyHandle), path))
        return Fail(path + L" leads elsewhere: " + FinalPathOf(m_copyHandle));
    if (!CopyBytes(source, m_copyHandle)) return Fail(path + L" cannot be written", GetLastError());
    // A process can only be started from a file that no handle may write: the writing handle is
    // exchanged, by handle, for one that reads and lets nobody else write, delete or rename it.
    const CFileHandle bridge(ReOpenFile(m_copyHandle, GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0));
    if (!bridge) return Fail(path + L" cannot be reopened", GetLastError());
    m_copyHandle.Reset();
    m_copyHandle.Reset(ReOpenFile(bridge, GENERIC_READ | DELETE, FILE_SHARE_READ, 0));
    if (!m_copyHandle) return Fail(path + L" cannot be held", GetLastError());
    // Between the two handles it was not held: what it holds now is checked.
    if (!SameBytes(source, m_copyHandle)) return Fail(path + L" does not hold this program");
    return true;
}

// Whether the held folder and copy are still what their paths lead to.
bool CRemovalCopy::InPlace() const {
    return FolderProblem(m_folderHandle, m_folder).empty() &&
           CFileIdentity(m_folderHandle.Get()) == CFileIdentity(m_folder) &&
           IsFinalPathOf(FinalPathOf(m_copyHandle), m_path) &&
           CFileIdentity(m_copyHandle.Get()) == CFileIdentity(m_path);
}

CRemovalCopy::~CRemovalCopy() {
    if (m_started) return;
    DeleteHeld(m_copyHandle, m_path);
    DeleteHeld(m_folderHandle, m_folder);
}

bool CRemovalCopy::Start(const CInstallationGuard& guard, const std::wstring& madeAbove) {
    if (m_path.empty()) return false;
    if (!InPlace()) return Fail(L"its folder or file is no longer where it was placed");
    // The copy waits on an inherited handle of this process, so it cannot mistake another process
    // that later gets the same id for this one, and asks it which file it runs.
    CKernelHandle self;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), self.Put(),
                         SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, 0))
        return Fail(L"no handle of this process to hand down", GetLastError());
    // Inherited, the guard is the copy's from its first moment: there is no moment between this
    // process ending and the copy taking it in which an installation could start.
    std::vector<CKernelHandle> guardHandles;
    const bool handedDown = guard.HandDown(guardHandles);
    const std::wstring arguments = FinishArguments(
        reinterpret_cast<uintptr_t>(self.Get()),
        handedDown ? reinterpret_cast<uintptr_t>(guardHandles[0].Get()) : 0, m_program, madeAbove);
    if (arguments.empty()) return Fail(L"no command line for it");
    std::wstring commandLine = L"\"" + m_path + L"\" " + arguments;
    // It inherits these handles only, whatever else of this process is inheritable.
    std::vector<HANDLE> inherited{self.Get()};
    for (const CKernelHandle& handle : guardHandles) inherited.push_back(handle.Get());
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<unsigned char> listMemory(listSize);
    const auto memory = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listMemory.data());
    CAttributeList list;
    if (listSize == 0 || !InitializeProcThreadAttributeList(memory, 1, 0, &listSize))
        return Fail(L"no list of the handles it inherits", GetLastError());
    list.Reset(memory);
    if (!UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited.data(),
                                   inherited.size() * sizeof(HANDLE), nullptr, nullptr))
        return Fail(L"no list of the handles it inherits", GetLastError());
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.lpAttributeList = list;
    PROCESS_INFORMATION process{};
    // Its working folder is the system's: its own folder, held here without delete sharing, could
    // not be opened as one.
    wchar_t system[MAX_PATH + 1];
    const UINT systemLength = GetSystemDirectoryW(system, MAX_PATH + 1);
    if (systemLength == 0 || systemLength > MAX_PATH) return Fail(L"no system folder");
    if (!CreateProcessW(m_path.c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                        CREATE_NO_WINDOW | CREATE_SUSPENDED | EXTENDED_STARTUPINFO_PRESENT, nullptr,
                        system, &startup.StartupInfo, &process))
        return Fail(L"it cannot be started", GetLastError());
    const CKernelHandle copyThread(process.hThread);
    const CKernelHandle copyProcess(process.hProcess);
    // Nothing of it has run yet: it goes on only when it runs the very file placed.
    if (!RunsFile(copyProcess, m_copyHandle) || ResumeThread(copyThread) == DWORD(-1)) {
        TerminateProcess(copyProcess, kRefused);
        WaitForSingleObject(copyProcess, kEndWait);
        return Fail(L"the program started was not the copy placed (" +
                    ProcessImagePath(copyProcess) + L"): it was ended");
    }
    m_started = true;
    // Nothing waits for the copy: its handles are only closed.
    return true;
}

CKernelHandle InheritedProcess(uintptr_t value) {
    const HANDLE handle = reinterpret_cast<HANDLE>(value);
    // Only a process handle with the rights the uninstaller grants has a process id to tell.
    if (value == 0 || GetProcessId(handle) == 0) return CKernelHandle();
    return CKernelHandle(handle);
}

int FinishRemoval(CKernelHandle original, CInstallationGuard guard, const std::wstring& productKey,
                  const std::wstring& program, const std::wstring& madeAbove, unsigned long wait) {
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
        if (!folderName.empty() && removal.RemoveFolderIfEmpty(folderName))
            RemoveFoldersMadeAbove(folder, madeAbove);
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
