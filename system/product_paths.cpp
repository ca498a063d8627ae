#include "system/product_paths.h"

#include "files/paths.h"

std::wstring ProductExePath(const ProductIdentity& product, const std::wstring& installFolder) {
    return JoinPath(installFolder, product.exeName);
}

std::wstring UninstallerPath(const std::wstring& installFolder) {
    return JoinPath(installFolder, kUninstallerName);
}

std::wstring ProductShortcutPath(const ProductIdentity& product, const std::wstring& folder) {
    return JoinPath(folder, product.shortcutName + L".lnk");
}
