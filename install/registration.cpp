#include "registration.h"

#include "com_init.h"
#include "start_menu.h"
#include "uninstall_entry.h"

void RegisterProduct(const std::wstring& installFolder) {
    const CComInit com;
    AddStartMenuShortcut(installFolder);
    WriteUninstallEntry(installFolder);
}
