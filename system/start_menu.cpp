#include "system/start_menu.h"

#include <windows.h>

#include "files/paths.h"
#include "platform/checked_file.h"
#include "system/product_paths.h"
#include "system/shell_folders.h"
#include "system/shortcut.h"

std::wstring StartMenuFolderPath(const ProductIdentity& product) {
    std::wstring programs;
    if (!GetShellFolder(ShortcutFoldersOfThisAccount().programs, programs)) return std::wstring();
    return JoinPath(programs, product.startMenuFolder);
}

MadeShortcut AddStartMenuShortcut(const ProductIdentity& product,
                                  const std::wstring& installFolder) {
    MadeShortcut made;
    std::wstring programs;
    if (!GetShellFolder(ShortcutFoldersOfThisAccount().programs, programs)) {
        made.result = HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        return made;
    }
    const std::wstring folder = JoinPath(programs, product.startMenuFolder);
    made.path = ProductShortcutPath(product, folder);
    const CheckedFolder place =
        MakeCheckedFolder(OpenCheckedFolder(programs), product.startMenuFolder);
    made.result = CreateShortcut(ProductExePath(product, installFolder), place,
                                 product.shortcutName + L".lnk", product.shortcutName, &made.why);
    return made;
}
