#pragma once
// A second setup.exe of the product leaves the installation to the one that runs and shows that
// one's window instead. The window is found by a property named after the product.

#include <windows.h>

#include <string>

// Marks `window` as the product's installer window; UnmarkInstallerWindow before it is destroyed.
void MarkInstallerWindow(HWND window, const std::wstring& productKey);
void UnmarkInstallerWindow(HWND window, const std::wstring& productKey);

// Brings the marked window of the installer that runs to the front; false when there is none on
// this desktop (it may run in another session, or not have opened its window yet).
bool BringRunningInstallerToFront(const std::wstring& productKey);
