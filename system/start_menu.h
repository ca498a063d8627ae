#pragma once
// The product's folder and shortcut in the Start menu: the current user's, or every user's when
// the installation runs as the system account (system/shell_folders.h). Needs COM on the calling
// thread.

#include <windows.h>

#include <string>

#include "res/product_identity.h"
#include "system/shortcut.h"

// "<Programs>\<Start-menu folder name>", or empty when the shell cannot name the Programs folder.
std::wstring StartMenuFolderPath(const ProductIdentity& product);

// Creates the folder (with any missing levels) and the shortcut to the product, each level and
// the file checked to be where their names say; a failure when no shortcut could be written.
MadeShortcut AddStartMenuShortcut(const ProductIdentity& product,
                                  const std::wstring& installFolder);
