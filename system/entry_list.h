#pragma once
// The list of installed entries that the packer puts beside the uninstaller, and the folders it
// implies.

#include <string>
#include <string_view>
#include <vector>

// The list's file name at the top of the install folder.
constexpr wchar_t kEntryListName[] = L"uninstall.lst";

// UTF-8 bytes as UTF-16; false (and `text` untouched) for malformed input.
bool DecodeUtf8(const std::string& bytes, std::wstring& text);

// One entry name per line (CR LF or LF); a leading byte-order mark is dropped, blank lines skipped.
std::vector<std::wstring> SplitEntryList(const std::wstring& text);

// Every folder, relative to the install folder, that holds a safe entry name of `names` at any
// depth, deepest first, so that each is tried only after the folders inside it; each once. The
// folders are views into `names`, which must outlive them: a deep name has as many folders as
// levels, and a copy of each would grow with the square of its length.
std::vector<std::wstring_view> FoldersOfEntries(const std::vector<std::wstring>& names);

// A single file or folder name with no separator: what a registry value may name as the Start-menu
// folder or shortcut without reaching elsewhere.
bool IsPlainName(const std::wstring& name);
