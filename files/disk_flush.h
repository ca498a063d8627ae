#pragma once
// Asking the system to put what it still holds in memory on the disk, so that what a later step
// relies on survives a power loss.

#include <string>

enum class VolumeFlush {
    Done,         // the data and metadata of every file on the volume are on the disk
    NotOffered,   // the volume's file system has no flush of its own (Wine's volumes)
    Unavailable,  // the volume cannot be opened for it (not an administrator, a network share)
};

// Flushes the whole volume that `path` lies on.
VolumeFlush FlushVolumeOf(const std::wstring& path);

// Flushes one file, or every file below a folder. False when one could not be flushed.
bool FlushFilesAt(const std::wstring& path);
