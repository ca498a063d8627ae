#include "install/paths.h"

#include <windows.h>
#include <shlobj.h>

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

namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

}  // namespace

bool WriteEntryFile(const std::wstring& target, const void* data, int32_t count) {
    if (count < 0) return false;
    const std::wstring folder = ParentFolder(target);
    // Already-exists here means a file stands where the folder must go.
    if (!IsFolder(folder) &&
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr) != ERROR_SUCCESS)
        return false;

    // Windows refuses to replace a read-only, hidden or system file with a normal one; refuse it
    // here as well, so the outcome does not depend on the file system beneath (under Wine run as
    // root, the Unix permissions that stand for read-only do not stop the write).
    const DWORD existing = GetFileAttributesW(target.c_str());
    constexpr DWORD kProtected =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & kProtected)) return false;

    const CFileHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file, data, DWORD(count), &written, nullptr) && written == DWORD(count);
}
