#pragma once
// Deleting a folder the installer made, with everything in it, by the one handle-based mechanism
// of files/removal.h: every item is deleted through a handle opened at its own name and checked
// to be where that name says, so a junction or symbolic link inside, planted there or swapped in
// while the removal runs, is removed as a link or left, never followed.

#include <string>
#include <vector>

// The first item that had to be left, and the system's reason.
struct ItemLeft {
    std::wstring path;
    unsigned long error = 0;
};

// Removes `path` (a file or a folder and all it holds); read-only files go too. `last`, a name
// directly inside it, is deleted only once everything else is gone, so that it is left whenever
// anything else is. True when nothing is left at `path`, also when nothing was there; otherwise
// `left`, when given, names the first item left.
bool RemoveTree(const std::wstring& path, const std::wstring& last = L"", ItemLeft* left = nullptr);

// RemoveTree, naming every item left in the order met: what a folder holds before the folder, and
// `path` itself last. Empty when nothing is left. `last` is not tried while anything else stays.
std::vector<ItemLeft> RemoveTreeLeaving(const std::wstring& path, const std::wstring& last = L"");

// Removes `folder` and each folder above it up to and including `top` (a folder above it, or
// itself), each only while it is empty: the folders a run made above its install folder.
void RemoveEmptyFoldersUpTo(const std::wstring& folder, const std::wstring& top);
