#pragma once
// The product's folder and shortcut in the current user's Start menu. Needs COM on the calling
// thread.

#include <windows.h>

#include <string>

#include "res/product_identity.h"

// "<Programs>\<Start-menu folder name>", or empty when the shell cannot name the Programs folder.
std::wstring StartMenuFolderPath(const ProductIdentity& product);

// Creates the folder (with any missing levels) and the shortcut to the product; a failure when no
// shortcut could be written.
HRESULT AddStartMenuShortcut(const ProductIdentity& product, const std::wstring& installFolder);
