#include "product/uninstall/uninstall_record.h"

#include <windows.h>

#include "install/uninstall_entry.h"
#include "platform/unique_handle.h"

namespace {

std::wstring ReadText(HKEY key, const wchar_t* name) {
    DWORD bytes = 0;
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
            ERROR_SUCCESS ||
        bytes < sizeof(wchar_t))
        return std::wstring();
    std::wstring text(bytes / sizeof(wchar_t), L'\0');
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, &text[0], &bytes) != ERROR_SUCCESS)
        return std::wstring();
    text.resize(wcsnlen(text.c_str(), text.size()));
    return text;
}

CRegistryKey OpenEntry(const ProductIdentity& product) {
    CRegistryKey key;
    if (!IsUninstallKeyName(product.uninstallKey)) return key;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath(product).c_str(), 0, KEY_READ, key.Put());
    return key;
}

}  // namespace

UninstallRecord ReadUninstallRecord(const ProductIdentity& product) {
    UninstallRecord record;
    const CRegistryKey key = OpenEntry(product);
    if (!key) return record;
    record.found = true;
    record.installLocation = ReadText(key, L"InstallLocation");
    record.startMenuFolder = ReadText(key, L"StartMenuFolder");
    record.shortcutName = ReadText(key, L"ShortcutName");
    return record;
}

bool DeleteUninstallRecord(const ProductIdentity& product) {
    if (!IsUninstallKeyName(product.uninstallKey)) return false;
    const std::wstring path = UninstallKeyPath(product);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
    return !OpenEntry(product);
}
