#include "install/uninstall_entry.h"

#include <windows.h>

#include "install/product_paths.h"
#include "res/strings.h"

namespace {

class CRegistryKey {
public:
    explicit CRegistryKey(HKEY key) : m_key(key) {}
    ~CRegistryKey() { RegCloseKey(m_key); }
    CRegistryKey(const CRegistryKey&) = delete;
    CRegistryKey& operator=(const CRegistryKey&) = delete;
    HKEY Get() const { return m_key; }

private:
    HKEY m_key;
};

void WriteText(HKEY key, const RegistryText& value) {
    // The size counts the terminating null, which c_str() guarantees is there.
    const DWORD bytes = static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t));
    RegSetValueExW(key, value.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data.c_str()),
                   bytes);
}

}  // namespace

std::wstring UninstallKeyPath() {
    return L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" +
           LoadLocalizedString(IDS_UNINSTALL_KEY);
}

std::vector<RegistryText> UninstallValues(const std::wstring& installFolder) {
    // Windows runs UninstallString as a command line: unquoted, a path with a space would be
    // split and could start a different program.
    return {
        {L"InstallLocation", installFolder},
        {L"DisplayName", LoadLocalizedString(IDS_DISPLAY_NAME)},
        {L"DisplayIcon", ProductExePath(installFolder)},
        {L"DisplayVersion", LoadLocalizedString(IDS_DISPLAY_VERSION)},
        {L"Publisher", LoadLocalizedString(IDS_PUBLISHER)},
        {L"UninstallString", L"\"" + UninstallerPath(installFolder) + L"\""},
        {L"StartMenuFolder", LoadLocalizedString(IDS_START_MENU_FOLDER)},
        {L"ShortcutName", LoadLocalizedString(IDS_SHORTCUT_NAME)},
    };
}

bool WriteUninstallEntry(const std::wstring& installFolder) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath().c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const CRegistryKey key(opened);
    for (const RegistryText& value : UninstallValues(installFolder)) WriteText(key.Get(), value);
    return true;
}
