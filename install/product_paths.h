#pragma once
// Paths of the installed product, built from the install folder exactly as the user gave it.

#include <string>

// Install folder + the product's main executable (string table entry).
std::wstring ProductExePath(const std::wstring& installFolder);
// Install folder + "uninstall.exe", which the payload carries at its top.
std::wstring UninstallerPath(const std::wstring& installFolder);
// `folder` + the localised shortcut name + ".lnk".
std::wstring ProductShortcutPath(const std::wstring& folder);
