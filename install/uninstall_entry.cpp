#include "install/uninstall_entry.h"

#include <windows.h>

#include <algorithm>

#include "install/product_paths.h"
#include "platform/unique_handle.h"

namespace {

void WriteText(HKEY key, const RegistryText& value) {
    // The size counts the terminating null, which c_str() guarantees is there.
    const DWORD bytes = static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t));
    RegSetValueExW(key, value.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data.c_str()),
                   bytes);
}

}  // namespace

bool IsUninstallKeyName(const std::wstring& name) {
    constexpr size_t kLongestKeyName = 255;
    if (name.empty() || name.size() > kLongestKeyName || name == L"." || name == L"..")
        return false;
    return std::none_of(name.begin(), name.end(), [](wchar_t c) { return c == L'\\' || c < L' '; });
}

std::wstring UninstallKeyPath(const ProductIdentity& product) {
    return L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product.uninstallKey;
}

std::vector<RegistryText> UninstallValues(const ProductIdentity& product,
                                          const std::wstring& installFolder) {
    // Windows runs UninstallString as a command line: unquoted, a path with a space would be
    // split and could start a different program.
    return {
        {L"InstallLocation", installFolder},
        {L"DisplayName", product.displayName},
        {L"DisplayIcon", ProductExePath(product, installFolder)},
        {L"DisplayVersion", product.version},
        {L"Publisher", product.publisher},
        {L"UninstallString", L"\"" + UninstallerPath(installFolder) + L"\""},
        {L"StartMenuFolder", product.startMenuFolder},
        {L"ShortcutName", product.shortcutName},
    };
}

bool WriteUninstallEntry(const ProductIdentity& product, const std::wstring& installFolder) {
    if (!IsUninstallKeyName(product.uninstallKey)) return false;
    CRegistryKey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath(product).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, key.Put(),
                        nullptr) != ERROR_SUCCESS) {
        return false;
    }
    for (const RegistryText& value : UninstallValues(product, installFolder)) WriteText(key, value);
    return true;
}
