#include "ui/running_installer.h"

namespace {

std::wstring PropertyName(const std::wstring& productKey) {
    return L"Installer of " + productKey;
}

struct Search {
    std::wstring property;
    HWND found = nullptr;
};

BOOL CALLBACK FindMarked(HWND window, LPARAM lParam) {
    auto& search = *reinterpret_cast<Search*>(lParam);
    if (!GetPropW(window, search.property.c_str())) return TRUE;
    search.found = window;
    return FALSE;
}

}  // namespace

void MarkInstallerWindow(HWND window, const std::wstring& productKey) {
    SetPropW(window, PropertyName(productKey).c_str(), reinterpret_cast<HANDLE>(1));
}

void UnmarkInstallerWindow(HWND window, const std::wstring& productKey) {
    RemovePropW(window, PropertyName(productKey).c_str());
}

bool BringRunningInstallerToFront(const std::wstring& productKey) {
    Search search{PropertyName(productKey)};
    EnumWindows(FindMarked, reinterpret_cast<LPARAM>(&search));
    if (!search.found) return false;
    if (IsIconic(search.found)) ShowWindow(search.found, SW_RESTORE);
    return SetForegroundWindow(search.found) != FALSE;
}
