#pragma once
// Path text rules shared by extraction and the installation actions. Paths are plain wide strings
// with backslashes; nothing here normalises them.

#include <cstdint>
#include <string>

// Folder + name with exactly one backslash between them; only one separator on each side is looked
// at.
std::wstring JoinPath(const std::wstring& left, const std::wstring& right);

// Everything up to and including the last backslash; empty when there is none.
std::wstring ParentFolder(const std::wstring& path);

// Makes the target's folder (all missing levels at once), then creates or truncates the target and
// writes `count` bytes in one call. True only when the file now holds exactly those bytes.
bool WriteEntryFile(const std::wstring& target, const void* data, int32_t count);
