#include "install/finish.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "install/product_paths.h"
#include "install/shell_folders.h"
#include "install/shortcut.h"
#include "res/strings.h"

namespace {

void AddDesktopShortcut(const std::wstring& installFolder) {
    std::wstring desktop;
    if (!GetShellFolder(CSIDL_DESKTOP, desktop)) return;
    CreateShortcut(ProductExePath(installFolder), ProductShortcutPath(desktop),
                   LoadLocalizedString(IDS_SHORTCUT_NAME));
}

void LaunchProduct(const std::wstring& installFolder) {
    ShellExecuteW(nullptr, L"open", ProductExePath(installFolder).c_str(), nullptr, nullptr,
                  SW_SHOWDEFAULT);
}

}  // namespace

void RunFinishStep(const FinishChoices& choices) {
    if (choices.installed) {
        if (choices.desktopShortcut) AddDesktopShortcut(choices.installFolder);
        if (choices.launch) LaunchProduct(choices.installFolder);
    }
    PostQuitMessage(0);
}
