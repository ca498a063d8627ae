#include "install/finish.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "install/product_paths.h"
#include "install/shell_folders.h"
#include "install/shortcut.h"

namespace {

void AddDesktopShortcut(const ProductIdentity& product, const std::wstring& installFolder) {
    std::wstring desktop;
    if (!GetShellFolder(CSIDL_DESKTOP, desktop)) return;
    CreateShortcut(ProductExePath(product, installFolder), ProductShortcutPath(product, desktop),
                   product.shortcutName);
}

void LaunchProduct(const ProductIdentity& product, const std::wstring& installFolder) {
    ShellExecuteW(nullptr, L"open", ProductExePath(product, installFolder).c_str(), nullptr,
                  nullptr, SW_SHOWDEFAULT);
}

}  // namespace

void RunFinishStep(const ProductIdentity& product, const FinishChoices& choices) {
    if (choices.installed) {
        if (choices.desktopShortcut) AddDesktopShortcut(product, choices.installFolder);
        if (choices.launch) LaunchProduct(product, choices.installFolder);
    }
    PostQuitMessage(0);
}
