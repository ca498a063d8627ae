#include "install/install_journal.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "install/entry_name.h"
#include "install/paths.h"
#include "install/uninstall_entry.h"
#include "platform/unique_handle.h"

namespace {

constexpr wchar_t kRecordKey[] = L"InstallInProgress";

std::wstring ProductKeyPath(const std::wstring& productKey) {
    return L"Software\\" + productKey;
}

std::wstring RecordKeyPath(const std::wstring& productKey) {
    return ProductKeyPath(productKey) + L"\\" + kRecordKey;
}

CRegistryKey OpenRecord(const std::wstring& productKey, REGSAM access, bool create) {
    CRegistryKey key;
    if (!IsUninstallKeyName(productKey)) return key;
    const std::wstring path = RecordKeyPath(productKey);
    if (create)
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, access, nullptr, key.Put(),
                        nullptr);
    else
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, access, key.Put());
    return key;
}

bool SetText(HKEY key, const wchar_t* name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          DWORD((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool SetNumber(HKEY key, const wchar_t* name, DWORD number) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                          sizeof number) == ERROR_SUCCESS;
}

std::optional<std::wstring> GetText(HKEY key, const wchar_t* name) {
    DWORD bytes = 0;
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS)
        return std::nullopt;
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1);
    bytes = DWORD(text.size() * sizeof(wchar_t));
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(text.data());
}

std::optional<DWORD> GetNumber(HKEY key, const wchar_t* name) {
    DWORD number = 0, bytes = sizeof number;
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_DWORD, nullptr, &number, &bytes) !=
        ERROR_SUCCESS)
        return std::nullopt;
    return number;
}

bool StartsWith(const std::wstring& text, const std::wstring& start) {
    return text.size() >= start.size() && text.compare(0, start.size(), start) == 0;
}

}  // namespace

bool WriteInstallRecord(const std::wstring& productKey, const InstallRecord& record) {
    const CRegistryKey key = OpenRecord(productKey, KEY_SET_VALUE, true);
    if (!key) return false;
    const bool written = SetText(key, L"Folder", record.installFolder) &&
                         SetText(key, L"Staging", record.staging) &&
                         SetText(key, L"CreatedFrom", record.createdFrom) &&
                         SetNumber(key, L"Fresh", record.fresh ? 1 : 0) &&
                         SetNumber(key, L"Phase", DWORD(record.phase));
    return written && RegFlushKey(key) == ERROR_SUCCESS;
}

bool SetInstallPhase(const std::wstring& productKey, InstallPhase phase) {
    const CRegistryKey key = OpenRecord(productKey, KEY_SET_VALUE, false);
    return key && SetNumber(key, L"Phase", DWORD(phase)) && RegFlushKey(key) == ERROR_SUCCESS;
}

std::optional<InstallRecord> ReadInstallRecord(const std::wstring& productKey) {
    const CRegistryKey key = OpenRecord(productKey, KEY_QUERY_VALUE, false);
    if (!key) return std::nullopt;
    const auto folder = GetText(key, L"Folder");
    const auto staging = GetText(key, L"Staging");
    const auto createdFrom = GetText(key, L"CreatedFrom");
    const auto fresh = GetNumber(key, L"Fresh");
    const auto phase = GetNumber(key, L"Phase");
    if (!folder || !staging || !createdFrom || !fresh || !phase) return std::nullopt;
    if (*phase < DWORD(InstallPhase::Staging) || *phase > DWORD(InstallPhase::Discarding))
        return std::nullopt;
    return InstallRecord{*folder, *staging, *createdFrom, *fresh != 0, InstallPhase(*phase)};
}

void DeleteInstallRecord(const std::wstring& productKey) {
    if (!IsUninstallKeyName(productKey)) return;
    const std::wstring productPath = ProductKeyPath(productKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, RecordKeyPath(productKey).c_str());
    // The product's own key may hold what the product keeps there: only an empty one goes.
    CRegistryKey product;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, productPath.c_str(), 0, KEY_QUERY_VALUE, product.Put()) !=
        ERROR_SUCCESS)
        return;
    DWORD subkeys = 0, values = 0;
    if (RegQueryInfoKeyW(product, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                         nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        subkeys != 0 || values != 0)
        return;
    product.Reset();
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, productPath.c_str());
}

bool IsPlausibleRecord(const InstallRecord& record) {
    const std::wstring install = WithoutTrailingSeparators(record.installFolder);
    const std::wstring stagingParent =
        record.fresh ? ParentFolder(install) : JoinPath(record.installFolder, L"");
    const std::wstring leaf =
        record.staging.substr(std::min(stagingParent.size(), record.staging.size()));
    if (stagingParent.empty() || !StartsWith(record.staging, stagingParent) ||
        leaf.find_first_of(L"\\/") != std::wstring::npos ||
        FindEntryNameFault(leaf) != EntryNameFault::Reserved || !StartsWith(leaf, kStagingPrefix))
        return false;
    if (record.createdFrom.empty()) return true;
    return record.fresh && StartsWith(install, JoinPath(record.createdFrom, L"")) &&
           install.size() > record.createdFrom.size() + 1;
}
