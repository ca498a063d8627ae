#include "product/uninstall/uninstall_record.h"

#include <windows.h>

#include "install/uninstall_entry.h"

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

bool EntryExists() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

UninstallRecord ReadUninstallRecord() {
    UninstallRecord record;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return record;
    record.found = true;
    record.installLocation = ReadText(key, L"InstallLocation");
    record.startMenuFolder = ReadText(key, L"StartMenuFolder");
    record.shortcutName = ReadText(key, L"ShortcutName");
    RegCloseKey(key);
    return record;
}

bool DeleteUninstallRecord() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str());
    return !EntryExists();
}
