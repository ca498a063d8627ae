#pragma once
// Deleting what the installer placed in the install folder: listed files, then the folders that
// became empty. Nothing outside the folder is touched, and nothing that was not listed.

#include <string>
#include <string_view>
#include <vector>

// Deletes each listed file below `folder` except `keep` (a full path, compared without letter
// case). A name that is not a safe entry name, or whose path passes through a link or junction,
// is left alone. Returns how many listed files are still there afterwards.
int RemoveListedFiles(const std::wstring& folder, const std::vector<std::wstring>& names,
                      const std::wstring& keep);

// Removes each of `relative` (folders below `folder`, deepest first) that is empty now; folders
// that still hold something stay. Returns how many empty folders could not be removed.
int RemoveEmptyFolders(const std::wstring& folder, const std::vector<std::wstring_view>& relative);

// Deletes one file (a shortcut, the uninstaller); true when no such file is left.
bool RemoveFile(const std::wstring& path);

// Removes `folder` if it is empty; true unless an empty folder could not be removed.
bool RemoveFolderIfEmpty(const std::wstring& folder);
