#include "install/registration.h"

#include "install/start_menu.h"
#include "install/uninstall_entry.h"
#include "platform/com_init.h"

void RegisterProduct(const ProductIdentity& product, const std::wstring& installFolder) {
    const CComInit com;
    AddStartMenuShortcut(product, installFolder);
    WriteUninstallEntry(product, installFolder);
}
