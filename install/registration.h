#pragma once
// Registers a completely extracted product with Windows: Start-menu shortcut and Uninstall entry.
// Runs on the extraction worker; best effort and silent, the installation counts as done anyway.

#include <string>

#include "res/product_identity.h"

void RegisterProduct(const ProductIdentity& product, const std::wstring& installFolder);
