#include "install/registration.h"

#include "install/product_paths.h"
#include "install/start_menu.h"
#include "install/uninstall_entry.h"
#include "platform/com_init.h"

void RegisterProduct(const ProductIdentity& product, const std::wstring& installFolder,
                     uint64_t installedBytes, CRunLog& log) {
    const CComInit com;
    const HRESULT shortcut = AddStartMenuShortcut(product, installFolder);
    log.Step(L"Start-menu shortcut", shortcut,
             ProductShortcutPath(product, StartMenuFolderPath(product)));
    const bool written = WriteUninstallEntry(product, installFolder, installedBytes);
    log.Step(L"Uninstall entry", written ? S_OK : HRESULT_FROM_WIN32(GetLastError()),
             L"HKLM\\" + UninstallKeyPath(product));
}
