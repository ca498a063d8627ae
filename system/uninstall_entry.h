#pragma once
// The product's entry under the system-wide Uninstall key, which lists it among installed programs:
// written by the installer, read by the next installer and by the uninstaller, which deletes it.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "res/product_identity.h"

struct RegistryText {
    const wchar_t* name;
    std::wstring data;
};

struct RegistryNumber {
    const wchar_t* name;
    DWORD data;
};

// Whether `name` names one key directly below the Uninstall key and nothing else: not empty (the
// Uninstall key itself, every program's entry), no backslash (a path to another key), no control
// character (a NUL would cut the name short), not "." or ".." (which tools that treat the name as a
// path resolve to another key), and within the registry's 255 characters.
bool IsUninstallKeyName(const std::wstring& name);

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\" + the product's key name, below HKLM.
std::wstring UninstallKeyPath(const std::wstring& uninstallKey);
inline std::wstring UninstallKeyPath(const ProductIdentity& product) {
    return UninstallKeyPath(product.uninstallKey);
}

// `date` as the entry's InstallDate: yyyymmdd.
std::wstring InstallDateText(const SYSTEMTIME& date);
// `bytes` in KiB, rounded up, as the entry's EstimatedSize; a DWORD's largest value at most.
DWORD EstimatedSizeKiB(uint64_t bytes);

// The REG_SZ values in the order they are written: the product's eight, then the command that
// uninstalls without a question (QuietUninstallString) and InstallDate.
std::vector<RegistryText> UninstallValues(const ProductIdentity& product,
                                          const std::wstring& installFolder,
                                          const std::wstring& installDate);
// The REG_DWORD values, written after the texts: EstimatedSize of `installedBytes`, and NoModify
// and NoRepair, since the installer offers neither.
std::vector<RegistryNumber> UninstallNumbers(uint64_t installedBytes);

// Creates or opens the key and writes the values, dated today; other values of the key stay. False,
// with the reason in GetLastError, when the key name is refused by IsUninstallKeyName
// (ERROR_INVALID_NAME) or the key cannot be opened; single value writes are best effort.
bool WriteUninstallEntry(const ProductIdentity& product, const std::wstring& installFolder,
                         uint64_t installedBytes);

// What the entry says of the installed product, as an administrator's process wrote it; still only
// data to check before it is used.
struct RegisteredInstallation {
    bool found = false;
    std::wstring installLocation;
    std::wstring startMenuFolder;
    std::wstring shortcutName;
    // Where the installation made its shortcuts, whole paths; empty in entries of earlier
    // versions, which made them in the current user's folders.
    std::wstring startMenuShortcut;
    std::wstring desktopShortcut;
    std::wstring highestFolderMade;
};

// `registered`'s HighestFolderMade when it is a folder the rule accepts that holds `installFolder`
// (and is not it): what may go, once empty, after the install folder; empty otherwise.
std::wstring FolderMadeAbove(const RegisteredInstallation& registered,
                             const std::wstring& installFolder);

// The values that record where an installation made its shortcuts, so that a move or the
// uninstaller removes those from whichever account it runs as.
constexpr wchar_t kStartMenuShortcutValue[] = L"StartMenuShortcut";
constexpr wchar_t kDesktopShortcutValue[] = L"DesktopShortcut";
// The highest folder above the install folder that the installation made, so that removing the
// product removes it too once it is empty; none when the install folder's parent was there.
constexpr wchar_t kHighestFolderMadeValue[] = L"HighestFolderMade";

// Sets the entry's value `name` to `path`, or deletes it when `path` is empty; false when the key
// name is refused or the entry cannot be opened or written.
bool RecordEntryText(const ProductIdentity& product, const wchar_t* name, const std::wstring& path);

// Not found when the key name is refused by IsUninstallKeyName.
RegisteredInstallation ReadRegisteredInstallation(const std::wstring& uninstallKey);

// Deletes the entry with everything in it; true when no entry is left (also when there was none).
// A refused key name deletes nothing and gives false.
bool DeleteUninstallEntry(const ProductIdentity& product);
