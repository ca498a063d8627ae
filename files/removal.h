#pragma once
// Deleting what the installer placed or staged: listed files, then the folders that became empty,
// the shortcuts, and staging folders with all they hold. Every item is opened without following a
// link at its own name, its real (final) path is checked to be exactly where its name says below a
// folder resolved once beforehand, and it is deleted through that same handle. A folder on the way
// that is, or becomes while the uninstaller runs, a junction or link therefore leads the deletion
// nowhere: nothing outside is touched.

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

class CRemovalFolder {
public:
    // Resolves `folder`'s real path now, so that swapping it later does not move what is deleted.
    explicit CRemovalFolder(const std::wstring& folder);
    // The same with the real path of `held`, an open handle of `folder` already checked: a folder
    // above it swapped meanwhile then leads the deletion nowhere.
    CRemovalFolder(const std::wstring& folder, HANDLE held);

    // Deletes the file `relative` (below the folder); true when no such file is left there. A
    // folder in the file's place is not the uninstaller's to delete and counts as gone; an item
    // reached through a link or junction is left and counts as not removed.
    bool RemoveFile(const std::wstring& relative) const;

    // Removes the folder `relative` if it is empty; true unless an empty folder could not be
    // removed. A folder holding anything, or a link or junction in its place, stays.
    bool RemoveFolderIfEmpty(const std::wstring& relative) const;

    // Deletes the item `relative` itself: a file, a link or junction (as itself, never what it
    // leads to), or a folder once it is empty. True when nothing is left at that name; otherwise
    // GetLastError says why (ERROR_DIR_NOT_EMPTY for a folder that holds something,
    // ERROR_CANT_ACCESS_FILE for an item reached through a link).
    bool RemoveItem(const std::wstring& relative) const;
    // Whether a folder, not a link or junction, stands at `relative`, where its name says.
    bool IsPlainFolderAt(const std::wstring& relative) const;
    // What stands at `relative`: ERROR_SUCCESS for a plain file where its name says (not a folder,
    // not a link, not reached through one), ERROR_FILE_NOT_FOUND for nothing, otherwise why not
    // (ERROR_CANT_ACCESS_FILE for a folder or link, or the system's reason it cannot be opened).
    DWORD FindPlainFileAt(const std::wstring& relative) const;
    // `relative` joined to the folder as it was given, for listing what a folder holds.
    std::wstring PathOf(const std::wstring& relative) const;

private:
    // Deletes the item at `relative`; a folder in its place is deleted (once empty) or, without
    // `folders`, counts as gone.
    bool Delete(const std::wstring& relative, bool folders) const;
    // Whether the item's final path is the folder's final path joined with `relative`.
    bool IsWhereNamed(HANDLE item, const std::wstring& relative) const;

    std::wstring m_folder;
    std::wstring m_finalPath;  // empty when the folder could not be resolved: nothing is deleted
};

// A relative name as Windows reads it below a folder (PlainEntryName). Links and ".." are not
// resolved; names holding ".." are refused before this.
std::wstring PlainRelativeName(const std::wstring& relative);

struct ListedRemoval {
    int left = 0;             // listed files still there afterwards, refused names included
    bool keptListed = false;  // a listed name is the file `keep`
    std::vector<std::wstring> leftNames;  // those files' names as listed
};

// Deletes each listed file below `folder` except `keep` (this program's own file), which a name
// is when it reaches the very same file, whatever its form. A name that is not a safe entry name
// is left alone.
ListedRemoval RemoveListedFiles(const std::wstring& folder, const std::vector<std::wstring>& names,
                                const std::wstring& keep);

// Removes each of `relative` (folders below `folder`, deepest first) that is empty now; folders
// that still hold something stay. Returns how many empty folders could not be removed.
int RemoveEmptyFolders(const std::wstring& folder, const std::vector<std::wstring_view>& relative);
