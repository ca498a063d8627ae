#pragma once
// Creating files in folders a less privileged process may change (a log the caller names, the
// Start menu, the desktop) so that what is written lands at the path meant: the folder is held
// open, proved by its final path to be the folder named, and the file is opened relative to that
// handle without following a link, then proved to be a plain file with one name, all before the
// first byte is written. Whatever fails gives no handle and a reason.

#include <windows.h>

#include <string>

#include "platform/unique_handle.h"

// A folder held open (it cannot be renamed or deleted while held) and known to be the one at
// `path`, the comparable form of its final path.
struct CheckedFolder {
    CFileHandle handle;
    std::wstring path;
    DWORD error = ERROR_SUCCESS;  // why there is no handle
    std::wstring why;
    bool misplaced = false;  // something stands at the path that is not what was meant there
    explicit operator bool() const { return bool(handle); }
};

struct CheckedFile {
    CFileHandle handle;
    DWORD error = ERROR_SUCCESS;
    std::wstring why;
    bool misplaced = false;
    explicit operator bool() const { return bool(handle); }
};

// Opens the existing folder `path`; refused when it, or a folder on the way, is a link (its final
// path is not `path`), or when it is not a folder.
CheckedFolder OpenCheckedFolder(const std::wstring& path);

// Opens the sub-folder `relative` of `parent` level by level, each level created when missing
// and checked like the first; what stands at a level but is not a plain folder is refused.
CheckedFolder MakeCheckedFolder(const CheckedFolder& parent, const std::wstring& relative);

// Opens the file `name` (one level) in `folder`, created when missing, for `access` (SYNCHRONIZE
// and reading its attributes are added); refused when it is a folder, a link or a file with a
// second name. Nothing in an existing file is changed by the open.
CheckedFile OpenCheckedFile(const CheckedFolder& folder, const std::wstring& name,
                            ACCESS_MASK access, DWORD share);

// The same for a whole path: its folder is opened first.
CheckedFile OpenCheckedFile(const std::wstring& path, ACCESS_MASK access, DWORD share);

// Writes `bytes` as the whole content of `path` through a checked handle: the file is emptied
// only once it is proved to be the one meant.
CheckedFile WriteCheckedFile(const std::wstring& path, const void* bytes, size_t size);
CheckedFile WriteCheckedFile(const CheckedFolder& folder, const std::wstring& name,
                             const void* bytes, size_t size);

// "\\?\C:\..." for an open item, every link on the way resolved and short names expanded;
// empty when the system cannot say.
std::wstring FinalPathOf(HANDLE item);

// A path as final paths are compared: "\\?\" and "\\?\UNC\" forms as their plain ones, without
// a separator at the end. Letter case is compared apart.
std::wstring ComparablePath(const std::wstring& path);
// Whether a handle's final path is the path meant, both taken as ComparablePath, letter case aside.
bool IsFinalPathOf(const std::wstring& finalPath, const std::wstring& meant);
// Why an item of `attributes` (and `reparseTag`, when it is a reparse point) with `links` names is
// not a plain folder (`folder`) or a plain file with one name, as " is a ..."; null when it is
// one. A folder may be a reparse point that stands for no other name (a cloud provider's); a
// file may be none.
const wchar_t* WrongKind(DWORD attributes, DWORD reparseTag, DWORD links, bool folder);
// Whether `name` is one level a file can be created at: not empty, not "." or "..", at most 255
// characters, and no separator or stream (":").
bool IsOneLevelName(const std::wstring& name);
