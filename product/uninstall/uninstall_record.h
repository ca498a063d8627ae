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

UninstallRecord ReadUninstallRecord(const ProductIdentity& product);

// Deletes the entry with everything in it; true when no entry is left (also when there was none).
bool DeleteUninstallRecord(const ProductIdentity& product);
