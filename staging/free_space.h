#pragma once
// Whether the install folder's drive can take the installation, asked before the first write so
// that a run that cannot fit ends with nothing written.

#include <cstdint>
#include <string>

// Bytes the files take on a drive of `clusterBytes` clusters: each file rounded up to whole
// clusters, which a cluster more per file bounds. Staging keeps nothing else aside: old files are
// moved aside on the same drive, not copied.
uint64_t RequiredSpace(uint64_t totalBytes, uint64_t entryCount, uint64_t clusterBytes);

// True when the drive of `folder` (or of the nearest folder above it that exists) has room for
// `totalBytes` in `entryCount` files, or when its free space cannot be read: the writes then tell.
bool HasRoomFor(const std::wstring& folder, uint64_t totalBytes, uint64_t entryCount);
