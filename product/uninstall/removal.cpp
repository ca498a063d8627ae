#include "product/uninstall/removal.h"

#include <windows.h>

#include "install/entry_name.h"
#include "install/paths.h"
#include "product/uninstall/same_path.h"

namespace {

constexpr DWORD kMissing = INVALID_FILE_ATTRIBUTES;

bool IsLink(DWORD attributes) {
    return attributes != kMissing && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// A junction or symbolic link on the way would lead the deletion out of the folder.
bool PassesThroughLink(const std::wstring& folder, const std::wstring& name) {
    for (size_t at = name.find_first_of(L"\\/", 1); at != std::wstring::npos;
         at = name.find_first_of(L"\\/", at + 1)) {
        if (IsLink(GetFileAttributesW(JoinPath(folder, name.substr(0, at)).c_str()))) return true;
    }
    return false;
}

}  // namespace

bool RemoveFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == kMissing) return true;
    // A folder in a file's place is not ours to delete here.
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLink(attributes)) return true;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    // A copy of the product ended a moment ago may still hold its file open for a short while.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (DeleteFileW(path.c_str())) return true;
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return true;
        if (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) break;
        Sleep(50);
    }
    return GetFileAttributesW(path.c_str()) == kMissing;
}

bool RemoveFolderIfEmpty(const std::wstring& folder) {
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == kMissing || !(attributes & FILE_ATTRIBUTE_DIRECTORY) || IsLink(attributes))
        return true;
    if (RemoveDirectoryW(folder.c_str())) return true;
    const DWORD error = GetLastError();
    return error == ERROR_DIR_NOT_EMPTY || GetFileAttributesW(folder.c_str()) == kMissing;
}

int RemoveListedFiles(const std::wstring& folder, const std::vector<std::wstring>& names,
                      const std::wstring& keep) {
    int left = 0;
    for (const std::wstring& name : names) {
        if (!IsSafeEntryName(name) || PassesThroughLink(folder, name)) {
            ++left;
            continue;
        }
        const std::wstring path = JoinPath(folder, name);
        if (SamePath(path, keep)) continue;
        if (!RemoveFile(path)) ++left;
    }
    return left;
}

int RemoveEmptyFolders(const std::wstring& folder, const std::vector<std::wstring_view>& relative) {
    int left = 0;
    for (const std::wstring_view view : relative) {
        const std::wstring name(view);
        if (!IsSafeEntryName(name)) continue;
        const std::wstring path = JoinPath(folder, name);
        // A folder never made costs one look, not one per level on its way.
        if (GetFileAttributesW(path.c_str()) == kMissing || PassesThroughLink(folder, name))
            continue;
        if (!RemoveFolderIfEmpty(path)) ++left;
    }
    return left;
}
