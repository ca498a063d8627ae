#include "install/tree_removal.h"

#include <windows.h>

#include "install/paths.h"
#include "platform/unique_handle.h"

namespace {

bool RemoveFileItem(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFileW(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool RemoveFolderItems(const std::wstring& folder) {
    bool removed = true;
    WIN32_FIND_DATAW found{};
    const CFindHandle search(FindFirstFileExW(JoinPath(folder, L"*").c_str(), FindExInfoBasic,
                                              &found, FindExSearchNameMatch, nullptr, 0));
    if (!search) return GetLastError() == ERROR_FILE_NOT_FOUND;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        if (!RemoveTree(JoinPath(folder, name))) removed = false;
    } while (FindNextFileW(search, &found));
    return removed;
}

}  // namespace

bool RemoveTree(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return RemoveFileItem(path, attributes);
    // A linked folder is removed as the link alone: its target is somebody else's.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT) && !RemoveFolderItems(path)) return false;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return RemoveDirectoryW(path.c_str()) != FALSE;
}

void RemoveEmptyFoldersUpTo(const std::wstring& folder, const std::wstring& top) {
    if (top.empty()) return;
    const std::wstring last = JoinPath(top, L"");
    for (std::wstring level = JoinPath(folder, L"");
         level.size() >= last.size() && level.compare(0, last.size(), last) == 0;
         level = ParentFolder(level.substr(0, level.size() - 1))) {
        if (!RemoveDirectoryW(level.c_str())) return;
    }
}
