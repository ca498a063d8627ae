#pragma once
// The product's entry under the system-wide Uninstall key, which lists it among installed programs.

#include <string>
#include <vector>

#include "res/product_identity.h"

struct RegistryText {
    const wchar_t* name;
    std::wstring data;
};

// "Software\Microsoft\Windows\CurrentVersion\Uninstall\" + the product's key name, below HKLM.
std::wstring UninstallKeyPath(const ProductIdentity& product);

// The eight REG_SZ values in the order they are written.
std::vector<RegistryText> UninstallValues(const ProductIdentity& product,
                                          const std::wstring& installFolder);

// Creates or opens the key and writes the values; other values of the key stay. False when the key
// cannot be opened; single value writes are best effort.
bool WriteUninstallEntry(const ProductIdentity& product, const std::wstring& installFolder);
