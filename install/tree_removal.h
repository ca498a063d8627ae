#pragma once
// Deleting a folder the installer made, with everything in it, without following a link: a
// junction or symbolic link inside is removed as a link, never what it points to.

#include <string>

// Removes `path` (a file or a folder and all it holds); read-only files go too. True when nothing
// is left at `path`, also when nothing was there.
bool RemoveTree(const std::wstring& path);

// Removes `folder` and each folder above it up to and including `top` (a folder above it, or
// itself), each only while it is empty: the folders a run made above its install folder.
void RemoveEmptyFoldersUpTo(const std::wstring& folder, const std::wstring& top);
