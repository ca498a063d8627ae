#include "files/paths.h"

#include <windows.h>

#include <vector>

#include "archive/entry_name.h"
#include "files/entry_file.h"
#include "platform/unique_handle.h"

std::wstring JoinPath(const std::wstring& left, const std::wstring& right) {
    std::wstring joined = left;
    if (joined.empty() || joined.back() != L'\\') joined += L'\\';
    joined.append(right, !right.empty() && right.front() == L'\\' ? 1 : 0, std::wstring::npos);
    return joined;
}

std::wstring ParentFolder(const std::wstring& path) {
    const size_t last = path.rfind(L'\\');
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
}

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (path.size() > 1 && IsPathSeparator(path.back())) path.pop_back();
    return path;
}

const CKnownFolders::Origin* CKnownFolders::Find(const std::wstring& folder) const {
    const auto it = m_folders.find(folder);
    return it == m_folders.end() ? nullptr : &it->second;
}

namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder that holds `folder` (which ends in a backslash), with its backslash; empty at the top.
std::wstring FolderAbove(const std::wstring& folder) {
    return folder.size() > 1 ? ParentFolder(folder.substr(0, folder.size() - 1)) : std::wstring();
}

// Finds or makes the folder; false when a level cannot be made (already-exists means a file stands
// where a folder must go). The missing levels are made one by one from the highest down, not by
// the shell's call, which notifies the shell of each level at a cost under Wine of several
// milliseconds per folder, more than its files take. By path: every level made lies below one
// that exists, which for the installation is the staging folder or a folder in it, and only
// administrators and the system may change those. Every folder above one that exists exists too,
// so `known` learns them all.
bool EnsureFolder(const std::wstring& folder, CKnownFolders* known, CKnownFolders::Origin& origin) {
    std::vector<std::wstring> missing;
    std::wstring level = folder;
    while (!level.empty() && !(known && known->Find(level)) && !IsFolder(level)) {
        missing.push_back(level);
        level = FolderAbove(level);
    }
    origin = CKnownFolders::Origin::Found;
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        CKnownFolders::Origin made = CKnownFolders::Origin::Created;
        if (!CreateDirectoryW(WithoutTrailingSeparators(*it).c_str(), nullptr)) {
            // Made meanwhile by another thread of the run: used as found.
            const DWORD error = GetLastError();
            if (error != ERROR_ALREADY_EXISTS || !IsFolder(*it)) {
                SetLastError(error);
                return false;
            }
            made = CKnownFolders::Origin::Found;
        }
        if (known) known->Remember(*it, made);
        origin = made;
    }
    if (!known) return true;
    for (; !level.empty() && !known->Find(level); level = FolderAbove(level))
        known->Remember(level, CKnownFolders::Origin::Found);
    return true;
}

// Windows refuses to replace a read-only, hidden or system file with a normal one; refuse it here
// as well, so the outcome does not depend on the file system beneath (under Wine run as root, the
// Unix permissions that stand for read-only do not stop the write).
bool IsProtectedFile(const std::wstring& path) {
    const DWORD existing = GetFileAttributesW(path.c_str());
    constexpr DWORD kProtected =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return existing != INVALID_FILE_ATTRIBUTES && (existing & kProtected);
}

}  // namespace

bool PrepareEntryTarget(const std::wstring& target, CKnownFolders* known) {
    const std::wstring folder = ParentFolder(target);
    const CKnownFolders::Origin* remembered = known ? known->Find(folder) : nullptr;
    CKnownFolders::Origin origin = remembered ? *remembered : CKnownFolders::Origin::Found;
    if (!remembered && !EnsureFolder(folder, known, origin)) return false;
    // Every file in a folder this run created was written by this run, with the normal attribute.
    return origin == CKnownFolders::Origin::Created || !IsProtectedFile(target);
}

CFileHandle WriteOpenFile(const std::wstring& target, const FileBytes& bytes) {
    if (bytes.total < 0 || int64_t(bytes.size) > int64_t(bytes.total)) return CFileHandle();
    CFileHandle file = CreateEntryFile(target);
    if (!file && GetLastError() == ERROR_PATH_NOT_FOUND) {
        // The folder went away during the run: make it again, once.
        const std::wstring folder = ParentFolder(target);
        CKnownFolders::Origin origin;
        if (!EnsureFolder(folder, nullptr, origin) && !IsFolder(folder)) return CFileHandle();
        file = CreateEntryFile(target);
    }
    if (!file) return file;
    const void* data = bytes.data;
    uint32_t size = bytes.size;
    uint64_t done = 0;
    DWORD error = ERROR_SUCCESS;
    for (;;) {
        DWORD written = 0;
        if (!WriteFile(file, data, DWORD(size), &written, nullptr) || written != size) {
            error = GetLastError();
            break;
        }
        done += size;
        if (done == uint64_t(bytes.total)) return file;
        SetLastError(ERROR_SUCCESS);
        if (!bytes.rest || !bytes.rest->Next(data, size)) {
            error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_INVALID_DATA;
            break;
        }
        if (size == 0 || done + size > uint64_t(bytes.total)) {
            error = ERROR_INVALID_DATA;
            break;
        }
    }
    FILE_DISPOSITION_INFO remove{TRUE};
    SetFileInformationByHandle(file, FileDispositionInfo, &remove, sizeof remove);
    CloseEntryFile(std::move(file));
    SetLastError(error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
    return CFileHandle();
}

bool WriteFileBytes(const std::wstring& target, const FileBytes& bytes) {
    CFileHandle file = WriteOpenFile(target, bytes);
    if (!file) return false;
    CloseEntryFile(std::move(file));
    return true;
}

bool WriteEntryFile(const std::wstring& target, const FileBytes& bytes, CKnownFolders* known) {
    return bytes.total >= 0 && PrepareEntryTarget(target, known) && WriteFileBytes(target, bytes);
}
