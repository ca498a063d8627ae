#pragma once
// What an installation placed in its folder, as the list beside its uninstaller names it: read, and
// removed by one rule for both programs (the uninstaller, and the installer when the product moves
// to another folder): only listed files, then the folders they lay in that became empty, nothing
// reached through a link (files/removal.h).

#include <optional>
#include <string>
#include <vector>

#include "files/removal.h"
#include "res/product_identity.h"
#include "system/uninstall_entry.h"

class CRunLog;

// The names in `folder`'s uninstall.lst; false when it is missing, unreadable or empty.
bool ReadEntryList(const std::wstring& folder, std::vector<std::wstring>& names);

struct InstalledFilesRemoval {
    ListedRemoval files;
    int foldersLeft = 0;  // emptied folders that could not be removed
};

// Deletes every listed file below `folder` but `keep` (a running uninstaller's own file), then the
// folders of the names that are empty now, deepest first.
InstalledFilesRemoval RemoveInstalledFiles(const std::wstring& folder,
                                           const std::vector<std::wstring>& names,
                                           const std::wstring& keep);

// Deletes the installation's Start-menu shortcut, the Start-menu folder if that is then empty, and
// its desktop shortcut: those whose whole paths `entry` records, from whichever account this runs
// as, else (an entry of an earlier version) those of the current user's folders named as `entry`
// says (the product's own names where it names none that is a plain name). Returns how many are
// still there, a recorded path that is refused counted among them.
int RemoveShortcuts(const ProductIdentity& product, const RegisteredInstallation& entry);

// The Start-menu part of RemoveShortcuts alone, and its desktop part.
int RemoveStartMenuShortcut(const ProductIdentity& product, const RegisteredInstallation& entry);
int RemoveDesktopShortcut(const ProductIdentity& product, const RegisteredInstallation& entry);

struct ShortcutPlace {
    std::wstring folder;
    std::wstring name;
};

// Where a recorded shortcut path lies, when it is one the installer could have recorded: a whole
// path in the one form (files/install_folder.h) whose name is `linkName`, letter case aside.
// Recorded paths are data: anything else is refused, and nothing is deleted for it.
std::optional<ShortcutPlace> RecordedShortcutPlace(const std::wstring& recorded,
                                                   const std::wstring& linkName);

// Deletes the shortcut `recorded` is accepted as by RecordedShortcutPlace, in a folder held open
// and proved not to be reached through a link; then that folder when it is empty and its name is
// `folderName` (the Start-menu folder; empty for none). Returns how many are still there: 0 or 1.
int RemoveRecordedShortcut(const std::wstring& recorded, const std::wstring& linkName,
                           const std::wstring& folderName);

// Once the product has been installed and registered in another folder: removes what it had placed
// in `folder`, and the folder if that is then empty. Its uninstaller and list go last, and only
// when every other listed file has gone, so that whatever cannot be removed now (a file held open)
// can still be removed by that uninstaller. Each file left goes to the log; nothing here fails the
// installation. `madeAbove` (empty for none) is the highest folder above `folder` that its
// installation made: the folders up to it go too, each while it is empty.
void RemovePreviousInstallation(const std::wstring& folder, const std::wstring& madeAbove,
                                CRunLog& log);
