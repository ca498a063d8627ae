#include "staging/free_space.h"

#include <windows.h>

#include "files/paths.h"

namespace {

constexpr uint64_t kUsualCluster = 4096;

// The folder itself, or the nearest one above it that exists; empty when none does.
std::wstring ExistingFolder(const std::wstring& folder) {
    for (std::wstring level = JoinPath(folder, L""); !level.empty();
         level = ParentFolder(level.substr(0, level.size() - 1))) {
        const DWORD attributes = GetFileAttributesW(level.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return level;
        if (level.size() <= 1) break;
    }
    return {};
}

uint64_t ClusterBytes(const std::wstring& folder) {
    wchar_t root[MAX_PATH + 1] = {};
    DWORD sectors = 0, bytes = 0, free = 0, total = 0;
    if (!GetVolumePathNameW(folder.c_str(), root, MAX_PATH) ||
        !GetDiskFreeSpaceW(root, &sectors, &bytes, &free, &total) || sectors == 0 || bytes == 0)
        return kUsualCluster;
    return uint64_t(sectors) * bytes;
}

}  // namespace

uint64_t RequiredSpace(uint64_t totalBytes, uint64_t entryCount, uint64_t clusterBytes) {
    return totalBytes + entryCount * clusterBytes;
}

bool HasRoomFor(const std::wstring& folder, uint64_t totalBytes, uint64_t entryCount) {
    const std::wstring existing = ExistingFolder(folder);
    ULARGE_INTEGER available{};
    if (existing.empty() || !GetDiskFreeSpaceExW(existing.c_str(), &available, nullptr, nullptr))
        return true;
    return available.QuadPart >= RequiredSpace(totalBytes, entryCount, ClusterBytes(existing));
}
