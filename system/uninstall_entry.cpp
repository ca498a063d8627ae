#include "system/uninstall_entry.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

#include "files/install_folder.h"
#include "platform/unique_handle.h"
#include "system/product_paths.h"

namespace {

void WriteText(HKEY key, const RegistryText& value) {
    // The size counts the terminating null, which c_str() guarantees is there.
    const DWORD bytes = static_cast<DWORD>((value.data.size() + 1) * sizeof(wchar_t));
    RegSetValueExW(key, value.name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data.c_str()),
                   bytes);
}

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

CRegistryKey OpenEntry(const std::wstring& uninstallKey) {
    CRegistryKey key;
    if (!IsUninstallKeyName(uninstallKey)) return key;
    RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath(uninstallKey).c_str(), 0, KEY_READ,
                  key.Put());
    return key;
}

}  // namespace

bool IsUninstallKeyName(const std::wstring& name) {
    constexpr size_t kLongestKeyName = 255;
    if (name.empty() || name.size() > kLongestKeyName || name == L"." || name == L"..")
        return false;
    return std::none_of(name.begin(), name.end(), [](wchar_t c) { return c == L'\\' || c < L' '; });
}

std::wstring UninstallKeyPath(const std::wstring& uninstallKey) {
    return L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + uninstallKey;
}

std::wstring InstallDateText(const SYSTEMTIME& date) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%04u%02u%02u", unsigned(date.wYear) % 10000, date.wMonth % 100,
                  date.wDay % 100);
    return text;
}

DWORD EstimatedSizeKiB(uint64_t bytes) {
    const uint64_t kib = bytes / 1024 + (bytes % 1024 ? 1 : 0);
    return kib > MAXDWORD ? MAXDWORD : DWORD(kib);
}

std::vector<RegistryText> UninstallValues(const ProductIdentity& product,
                                          const std::wstring& installFolder,
                                          const std::wstring& installDate) {
    // Windows runs UninstallString as a command line: unquoted, a path with a space would be
    // split and could start a different program.
    const std::wstring uninstaller = L"\"" + UninstallerPath(installFolder) + L"\"";
    return {
        {L"InstallLocation", installFolder},
        {L"DisplayName", product.displayName},
        {L"DisplayIcon", ProductExePath(product, installFolder)},
        {L"DisplayVersion", product.version},
        {L"Publisher", product.publisher},
        {L"UninstallString", uninstaller},
        {L"StartMenuFolder", product.startMenuFolder},
        {L"ShortcutName", product.shortcutName},
        {L"QuietUninstallString", uninstaller + L" /S"},
        {L"InstallDate", installDate},
    };
}

std::vector<RegistryNumber> UninstallNumbers(uint64_t installedBytes) {
    return {
        {L"EstimatedSize", EstimatedSizeKiB(installedBytes)},
        {L"NoModify", 1},
        {L"NoRepair", 1},
    };
}

bool WriteUninstallEntry(const ProductIdentity& product, const std::wstring& installFolder,
                         uint64_t installedBytes) {
    if (!IsUninstallKeyName(product.uninstallKey)) {
        SetLastError(ERROR_INVALID_NAME);
        return false;
    }
    CRegistryKey key;
    const LSTATUS opened =
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath(product).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr, key.Put(), nullptr);
    if (opened != ERROR_SUCCESS) {
        SetLastError(DWORD(opened));
        return false;
    }
    SYSTEMTIME today{};
    GetLocalTime(&today);
    for (const RegistryText& value :
         UninstallValues(product, installFolder, InstallDateText(today)))
        WriteText(key, value);
    for (const RegistryNumber& value : UninstallNumbers(installedBytes))
        RegSetValueExW(key, value.name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value.data),
                       sizeof value.data);
    return true;
}

RegisteredInstallation ReadRegisteredInstallation(const std::wstring& uninstallKey) {
    RegisteredInstallation registered;
    const CRegistryKey key = OpenEntry(uninstallKey);
    if (!key) return registered;
    registered.found = true;
    registered.installLocation = ReadText(key, L"InstallLocation");
    registered.startMenuFolder = ReadText(key, L"StartMenuFolder");
    registered.shortcutName = ReadText(key, L"ShortcutName");
    registered.startMenuShortcut = ReadText(key, kStartMenuShortcutValue);
    registered.desktopShortcut = ReadText(key, kDesktopShortcutValue);
    registered.highestFolderMade = ReadText(key, kHighestFolderMadeValue);
    return registered;
}

std::wstring FolderMadeAbove(const RegisteredInstallation& registered,
                             const std::wstring& installFolder) {
    const auto top = NormalInstallFolder(registered.highestFolderMade);
    const auto folder = NormalInstallFolder(installFolder);
    if (!top || !folder || top->size() >= folder->size() ||
        RelateFolders(*top, *folder) != FolderRelation::Nested)
        return std::wstring();
    return *top;
}

bool RecordEntryText(const ProductIdentity& product, const wchar_t* name,
                     const std::wstring& path) {
    if (!IsUninstallKeyName(product.uninstallKey)) return false;
    CRegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath(product).c_str(), 0, KEY_SET_VALUE,
                      key.Put()) != ERROR_SUCCESS)
        return false;
    if (path.empty()) {
        const LSTATUS deleted = RegDeleteValueW(key, name);
        return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
    }
    const DWORD bytes = static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                          bytes) == ERROR_SUCCESS;
}

bool DeleteUninstallEntry(const ProductIdentity& product) {
    if (!IsUninstallKeyName(product.uninstallKey)) return false;
    const std::wstring path = UninstallKeyPath(product);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, path.c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
    return !OpenEntry(product.uninstallKey);
}
