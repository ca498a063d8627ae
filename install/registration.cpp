#include "install/registration.h"

#include "install/com_init.h"
#include "install/start_menu.h"
#include "install/uninstall_entry.h"

void RegisterProduct(const std::wstring& installFolder) {
    const CComInit com;
    AddStartMenuShortcut(installFolder);
    WriteUninstallEntry(installFolder);
}
