#pragma once
// The Uninstall entry the installer wrote, as the uninstaller reads and finally deletes it.

#include <string>

#include "res/product_identity.h"

struct UninstallRecord {
    bool found = false;
    std::wstring installLocation;
    std::wstring startMenuFolder;
    std::wstring shortcutName;
};

// Not found when the product's key name is refused by IsUninstallKeyName.
UninstallRecord ReadUninstallRecord(const ProductIdentity& product);

// Deletes the entry with everything in it; true when no entry is left (also when there was none).
// A refused key name deletes nothing and gives false.
bool DeleteUninstallRecord(const ProductIdentity& product);
