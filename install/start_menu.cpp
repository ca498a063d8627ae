#include "install/start_menu.h"

#include <windows.h>
#include <shlobj.h>

#include "install/paths.h"
#include "install/product_paths.h"
#include "install/shell_folders.h"
#include "install/shortcut.h"
#include "res/strings.h"

std::wstring StartMenuFolderPath() {
    std::wstring programs;
    if (!GetShellFolder(CSIDL_PROGRAMS, programs)) return std::wstring();
    return JoinPath(programs, LoadLocalizedString(IDS_START_MENU_FOLDER));
}

bool AddStartMenuShortcut(const std::wstring& installFolder) {
    const std::wstring folder = StartMenuFolderPath();
    if (folder.empty()) return false;
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        // A failure here shows up as the failed save below.
        SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    }
    return SUCCEEDED(CreateShortcut(ProductExePath(installFolder), ProductShortcutPath(folder),
                                    LoadLocalizedString(IDS_SHORTCUT_NAME)));
}
