#pragma once
// Path text rules shared by extraction and the installation actions. Paths are plain wide strings
// with backslashes; nothing here normalises them.

#include <string>

// Folder + name with exactly one backslash between them; only one separator on each side is looked at.
std::wstring JoinPath(const std::wstring& left, const std::wstring& right);

// Everything up to and including the last backslash; empty when there is none.
std::wstring ParentFolder(const std::wstring& path);
