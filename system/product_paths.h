#pragma once
// Paths of the installed product, built from the install folder exactly as the user gave it.

#include <string>

#include "res/product_identity.h"

// Install folder + the product's main executable.
std::wstring ProductExePath(const ProductIdentity& product, const std::wstring& installFolder);
// The uninstaller's file name; the payload carries it at its top.
constexpr wchar_t kUninstallerName[] = L"uninstall.exe";

// Install folder + "uninstall.exe".
std::wstring UninstallerPath(const std::wstring& installFolder);
// `folder` + the product's shortcut name + ".lnk".
std::wstring ProductShortcutPath(const ProductIdentity& product, const std::wstring& folder);
