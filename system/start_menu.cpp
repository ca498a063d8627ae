#include "system/start_menu.h"

#include <windows.h>
#include <shlobj.h>

#include "files/paths.h"
#include "system/product_paths.h"
#include "system/shell_folders.h"
#include "system/shortcut.h"

std::wstring StartMenuFolderPath(const ProductIdentity& product) {
    std::wstring programs;
    if (!GetShellFolder(CSIDL_PROGRAMS, programs)) return std::wstring();
    return JoinPath(programs, product.startMenuFolder);
}

HRESULT AddStartMenuShortcut(const ProductIdentity& product, const std::wstring& installFolder) {
    const std::wstring folder = StartMenuFolderPath(product);
    if (folder.empty()) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // A failure here shows up as the failed save below.
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    }
    return CreateShortcut(ProductExePath(product, installFolder),
                          ProductShortcutPath(product, folder), product.shortcutName);
}
