#pragma once
// The product's entry under the system-wide Uninstall key, which lists it among installed programs.

#include <string>
#include <vector>

#include "res/product_identity.h"

struct RegistryText {
    const wchar_t* name;
    std::wstring data;
};

// Whether `name` names one key directly below the Uninstall key and nothing else: not empty (the
// Uninstall key itself, every program's entry), no backslash (a path to another key), no control
// character (a NUL would cut the name short), not "." or ".." (which tools that treat the name as a
// path resolve to another key), and within the registry's 255 characters.
bool IsUninstallKeyName(const std::wstring& name);

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\" + the product's key name, below HKLM.
std::wstring UninstallKeyPath(const ProductIdentity& product);

// The eight REG_SZ values in the order they are written.
std::vector<RegistryText> UninstallValues(const ProductIdentity& product,
                                          const std::wstring& installFolder);

// Creates or opens the key and writes the values; other values of the key stay. False when the key
// name is refused by IsUninstallKeyName or the key cannot be opened; single value writes are best
// effort.
bool WriteUninstallEntry(const ProductIdentity& product, const std::wstring& installFolder);
