#include "staging/install_journal.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "archive/entry_name.h"
#include "files/paths.h"
#include "platform/unique_handle.h"
#include "system/uninstall_entry.h"

namespace {

constexpr wchar_t kJournalKey[] = L"InstallInProgress";

std::wstring ProductKeyPath(const std::wstring& productKey) {
    return L"Software\\" + productKey;
}

std::wstring JournalKeyPath(const std::wstring& productKey) {
    return ProductKeyPath(productKey) + L"\\" + kJournalKey;
}

CRegistryKey OpenJournal(const std::wstring& productKey, REGSAM access) {
    CRegistryKey key;
    if (IsUninstallKeyName(productKey))
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, JournalKeyPath(productKey).c_str(), 0, access, key.Put());
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

bool StartInstallJournal(const std::wstring& productKey, const InstallJournal& journal) {
    if (!IsUninstallKeyName(productKey)) return false;
    CRegistryKey key;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, JournalKeyPath(productKey).c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, key.Put(), &disposition) != ERROR_SUCCESS)
        return false;
    // An interrupted run's journal is the only account of where its files are: never overwritten.
    if (disposition != REG_CREATED_NEW_KEY) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return false;
    }
    const bool written = SetText(key, L"Folder", journal.installFolder) &&
                         SetText(key, L"Staging", journal.staging) &&
                         SetText(key, L"CreatedFrom", journal.createdFrom) &&
                         SetNumber(key, L"Fresh", journal.fresh ? 1 : 0) &&
                         SetNumber(key, L"Phase", DWORD(journal.phase));
    return written && RegFlushKey(key) == ERROR_SUCCESS;
}

bool SetJournalPhase(const std::wstring& productKey, InstallPhase phase) {
    const CRegistryKey key = OpenJournal(productKey, KEY_SET_VALUE);
    return key && SetNumber(key, L"Phase", DWORD(phase)) && RegFlushKey(key) == ERROR_SUCCESS;
}

JournalFound ReadInstallJournal(const std::wstring& productKey, InstallJournal& journal) {
    const CRegistryKey key = OpenJournal(productKey, KEY_QUERY_VALUE);
    if (!key) return JournalFound::None;
    const auto folder = GetText(key, L"Folder");
    const auto staging = GetText(key, L"Staging");
    const auto createdFrom = GetText(key, L"CreatedFrom");
    const auto fresh = GetNumber(key, L"Fresh");
    const auto phase = GetNumber(key, L"Phase");
    if (!folder || !staging || !createdFrom || !fresh || !phase ||
        *phase < DWORD(InstallPhase::Staging) || *phase > DWORD(InstallPhase::Discarding))
        return JournalFound::Unreadable;
    journal = InstallJournal{*folder, *staging, *createdFrom, *fresh != 0, InstallPhase(*phase)};
    return JournalFound::Read;
}

void DeleteInstallJournal(const std::wstring& productKey) {
    if (!IsUninstallKeyName(productKey)) return;
    const std::wstring productPath = ProductKeyPath(productKey);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, JournalKeyPath(productKey).c_str());
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

bool IsPlausibleJournal(const InstallJournal& journal) {
    const std::wstring install = WithoutTrailingSeparators(journal.installFolder);
    const std::wstring stagingParent =
        journal.fresh ? ParentFolder(install) : JoinPath(journal.installFolder, L"");
    const std::wstring leaf =
        journal.staging.substr(std::min(stagingParent.size(), journal.staging.size()));
    if (stagingParent.empty() || !StartsWith(journal.staging, stagingParent) ||
        leaf.find_first_of(L"\\/") != std::wstring::npos ||
        FindEntryNameFault(leaf) != EntryNameFault::Reserved || !StartsWith(leaf, kStagingPrefix))
        return false;
    if (journal.createdFrom.empty()) return true;
    return journal.fresh && StartsWith(install, JoinPath(journal.createdFrom, L"")) &&
           install.size() > journal.createdFrom.size() + 1;
}
