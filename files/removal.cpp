#include "files/removal.h"

#include <algorithm>

#include "archive/entry_name.h"
#include "files/paths.h"
#include "files/same_path.h"
#include "platform/checked_file.h"
#include "platform/unique_handle.h"

namespace {

// A copy of the product ended a moment ago may still hold its file for a short while.
constexpr int kAttempts = 20;
constexpr DWORD kPause = 50;

// The item itself, not what a link at its name points to. Without FILE_SHARE_DELETE nobody can
// move it between the check of its path and its deletion.
CFileHandle OpenForDeletion(const std::wstring& path) {
    return CFileHandle(CreateFileW(
        path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
}

std::wstring ResolveFolder(const std::wstring& folder) {
    const CFileHandle handle(CreateFileW(folder.c_str(), FILE_READ_ATTRIBUTES,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                         nullptr));
    return handle ? FinalPathOf(handle) : std::wstring();
}

DWORD AttributesOf(HANDLE item) {
    FILE_BASIC_INFO info{};
    return GetFileInformationByHandleEx(item, FileBasicInfo, &info, sizeof info)
               ? info.FileAttributes
               : INVALID_FILE_ATTRIBUTES;
}

bool IsPlainFolder(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Windows refuses to delete a read-only file.
void ClearReadOnly(HANDLE item) {
    FILE_BASIC_INFO info{};
    if (!GetFileInformationByHandleEx(item, FileBasicInfo, &info, sizeof info)) return;
    info.FileAttributes &= ~DWORD(FILE_ATTRIBUTE_READONLY);
    if (info.FileAttributes == 0) info.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    SetFileInformationByHandle(item, FileBasicInfo, &info, sizeof info);
}

// The item goes when its last handle is closed.
bool MarkForDeletion(HANDLE item) {
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(item, FileDispositionInfo, &disposition, sizeof disposition);
}

bool IsGone(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool IsBusy(DWORD error) {
    return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

}  // namespace

std::wstring PlainRelativeName(const std::wstring& relative) {
    return PlainEntryName(relative);
}

CRemovalFolder::CRemovalFolder(const std::wstring& folder)
    : m_folder(folder), m_finalPath(ResolveFolder(folder)) {}

CRemovalFolder::CRemovalFolder(const std::wstring& folder, HANDLE held)
    : m_folder(folder), m_finalPath(FinalPathOf(held)) {}

bool CRemovalFolder::IsWhereNamed(HANDLE item, const std::wstring& relative) const {
    if (m_finalPath.empty() || relative.empty()) return false;
    return SamePath(FinalPathOf(item), JoinPath(m_finalPath, relative));
}

bool CRemovalFolder::RemoveFile(const std::wstring& name) const {
    // Taken as Windows reads it, so that a folder given as "\\?\..." (read as it stands) reaches
    // the same file as one given with a drive letter.
    return Delete(PlainRelativeName(name), false);
}

bool CRemovalFolder::RemoveItem(const std::wstring& relative) const {
    return Delete(relative, true);
}

bool CRemovalFolder::Delete(const std::wstring& relative, bool folders) const {
    const std::wstring path = JoinPath(m_folder, relative);
    DWORD error = ERROR_SUCCESS;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (attempt > 0) Sleep(kPause);
        const CFileHandle item = OpenForDeletion(path);
        if (!item) {
            error = GetLastError();
            if (IsGone(error)) return true;
            if (IsBusy(error)) continue;
            break;
        }
        if (!IsWhereNamed(item, relative)) {
            error = ERROR_CANT_ACCESS_FILE;
            break;
        }
        const DWORD attributes = AttributesOf(item);
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            error = GetLastError();
            break;
        }
        if (IsPlainFolder(attributes) && !folders) return true;
        if (attributes & FILE_ATTRIBUTE_READONLY) ClearReadOnly(item);
        if (MarkForDeletion(item)) return true;
        error = GetLastError();
        if (!IsBusy(error)) break;
    }
    SetLastError(error);
    return false;
}

bool CRemovalFolder::IsPlainFolderAt(const std::wstring& relative) const {
    const CFileHandle item = OpenForDeletion(JoinPath(m_folder, relative));
    return item && IsWhereNamed(item, relative) && IsPlainFolder(AttributesOf(item));
}

DWORD CRemovalFolder::FindPlainFileAt(const std::wstring& relative) const {
    const CFileHandle item = OpenForDeletion(JoinPath(m_folder, relative));
    if (!item) {
        const DWORD error = GetLastError();
        return IsGone(error) ? ERROR_FILE_NOT_FOUND : error;
    }
    const DWORD attributes = AttributesOf(item);
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
    const bool plainFile =
        !(attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT));
    return plainFile && IsWhereNamed(item, relative) ? ERROR_SUCCESS : ERROR_CANT_ACCESS_FILE;
}

std::wstring CRemovalFolder::PathOf(const std::wstring& relative) const {
    return JoinPath(m_folder, relative);
}

bool CRemovalFolder::RemoveFolderIfEmpty(const std::wstring& name) const {
    const std::wstring relative = PlainRelativeName(name);
    const CFileHandle item = OpenForDeletion(JoinPath(m_folder, relative));
    if (!item) return IsGone(GetLastError());
    if (!IsWhereNamed(item, relative) || !IsPlainFolder(AttributesOf(item))) return true;
    return MarkForDeletion(item) || GetLastError() == ERROR_DIR_NOT_EMPTY;
}

ListedRemoval RemoveListedFiles(const std::wstring& folder, const std::vector<std::wstring>& names,
                                const std::wstring& keep) {
    const CRemovalFolder removal(folder);
    const CFileIdentity kept(keep);
    ListedRemoval result;
    for (const std::wstring& name : names) {
        const bool safe = IsSafeEntryName(name);
        if (safe && kept.IsFileAt(JoinPath(folder, PlainRelativeName(name)))) {
            result.keptListed = true;
            continue;
        }
        if (!safe || !removal.RemoveFile(name)) {
            ++result.left;
            result.leftNames.push_back(name);
        }
    }
    return result;
}

int RemoveEmptyFolders(const std::wstring& folder, const std::vector<std::wstring_view>& relative) {
    const CRemovalFolder removal(folder);
    int left = 0;
    // A folder never made costs the one failed open.
    for (const std::wstring_view view : relative) {
        const std::wstring name(view);
        if (IsSafeEntryName(name) && !removal.RemoveFolderIfEmpty(name)) ++left;
    }
    return left;
}
