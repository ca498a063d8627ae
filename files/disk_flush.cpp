#include "files/disk_flush.h"

#include <windows.h>

#include "files/paths.h"
#include "platform/unique_handle.h"

namespace {

bool FlushFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found{};
    const CFindHandle search(FindFirstFileExW(JoinPath(folder, L"*").c_str(), FindExInfoBasic,
                                              &found, FindExSearchNameMatch, nullptr, 0));
    if (!search) return GetLastError() == ERROR_FILE_NOT_FOUND;
    bool flushed = true;
    do {
        const std::wstring name = found.cFileName;
        if (name != L"." && name != L".." &&
            !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            flushed = FlushFilesAt(JoinPath(folder, name)) && flushed;
    } while (FindNextFileW(search, &found));
    return flushed;
}

}  // namespace

VolumeFlush FlushVolumeOf(const std::wstring& path) {
    wchar_t mountPoint[MAX_PATH + 1] = {}, volume[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(path.c_str(), mountPoint, MAX_PATH + 1) ||
        !GetVolumeNameForVolumeMountPointW(mountPoint, volume, MAX_PATH + 1))
        return VolumeFlush::Unavailable;
    // "\\?\Volume{...}" without its last backslash is the volume itself, with it its root folder.
    const CFileHandle handle(CreateFileW(WithoutTrailingSeparators(volume).c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
    if (!handle) return VolumeFlush::Unavailable;
    if (FlushFileBuffers(handle)) return VolumeFlush::Done;
    return GetLastError() == ERROR_INVALID_FUNCTION ? VolumeFlush::NotOffered
                                                    : VolumeFlush::Unavailable;
}

bool FlushFilesAt(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return FlushFolder(path);
    const CFileHandle file(CreateFileW(
        path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    return file && FlushFileBuffers(file);
}
