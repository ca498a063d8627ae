#include "install/product_paths.h"

#include "install/paths.h"
#include "res/strings.h"

std::wstring ProductExePath(const std::wstring& installFolder) {
    return JoinPath(installFolder, LoadLocalizedString(IDS_PRODUCT_EXE));
}

std::wstring UninstallerPath(const std::wstring& installFolder) {
    return JoinPath(installFolder, L"uninstall.exe");
}

std::wstring ProductShortcutPath(const std::wstring& folder) {
    return JoinPath(folder, LoadLocalizedString(IDS_SHORTCUT_NAME) + L".lnk");
}
