#pragma once
// Whether an archive entry name stays inside the install folder once joined to it. The installer,
// the packer (and its --list) and the uninstaller all ask this one rule.

#include <cstddef>
#include <string>
#include <string_view>

// Longest name a Windows path can carry; a longer one could never have been written.
constexpr size_t kMaxEntryNameLength = 32767;

// The separators Windows reads in a path: backslash and slash.
template <class Char>
constexpr bool IsPathSeparator(Char c) {
    return c == Char('\\') || c == Char('/');
}

enum class EntryNameFault {
    None,
    TooLong,           // longer than a Windows path
    Rooted,            // a drive, UNC or device prefix, or still rooted after the join
    Colon,             // drives and alternate data streams
    ControlCharacter,  // an embedded NUL would cut the path short
    LoneSurrogate,     // half a UTF-16 pair: no UTF-8 text (the plan, the list, the log) holds it
    ParentFolder,      // "..", or a component Windows reduces to it
    DeviceName,        // "NUL", "COM1", "con.txt": the device, not a file in the folder
    Reserved,  // a component begins with kStagingPrefix, the installer's own temporary names
};

// The installer stages files and folders under names beginning with this; no entry may carry one,
// so no payload file can collide with a staged or set-aside one.
constexpr wchar_t kStagingPrefix[] = L"~setup~";

// The first reason the name would reach outside the folder; None for a safe name. Names are UTF-16
// code units (wchar_t is one on Windows).
EntryNameFault FindEntryNameFault(std::u16string_view name);
EntryNameFault FindEntryNameFault(std::wstring_view name);

const char* Describe(EntryNameFault fault);

inline bool IsSafeEntryName(std::wstring_view name) {
    return FindEntryNameFault(name) == EntryNameFault::None;
}

// A level of a path as Windows stores it: the dots and spaces that end it dropped.
std::wstring_view StoredLevel(std::wstring_view level);

// A relative name in the one form Windows gives it below a folder: slashes as backslashes, a
// leading backslash, "." and empty levels dropped, each level as StoredLevel keeps it. ".." is not
// taken back; names holding one are refused before this.
std::wstring PlainEntryName(std::wstring_view name);
std::u16string PlainEntryName(std::u16string_view name);

// What decides whether two names are one file: the plain name with its letter case folded as the
// file system folds it (each UTF-16 unit to its simple upper case), equal exactly when they are.
std::wstring EntryNameKey(std::wstring_view name);
std::u16string EntryNameKey(std::u16string_view name);
