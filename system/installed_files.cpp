#include "system/installed_files.h"

#include <windows.h>
#include <shlobj.h>

#include "files/folder_trust.h"
#include "files/install_folder.h"
#include "files/paths.h"
#include "files/tree_removal.h"
#include "log/run_log.h"
#include "platform/checked_file.h"
#include "platform/unique_handle.h"
#include "system/entry_list.h"
#include "system/product_paths.h"
#include "system/shell_folders.h"

namespace {

// The uninstaller or its list, which must outlast every other file of the installation.
bool IsRemovedLast(const std::wstring& name) {
    const std::wstring plain = PlainRelativeName(name);
    for (const wchar_t* last : {kEntryListName, kUninstallerName})
        if (CompareStringOrdinal(plain.c_str(), int(plain.size()), last, -1, TRUE) == CSTR_EQUAL)
            return true;
    return false;
}

// A name from the registry if it is a plain name, else the product's own.
std::wstring PlainOr(const std::wstring& name, const std::wstring& fallback) {
    return IsPlainName(name) ? name : fallback;
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool ReadEntryList(const std::wstring& folder, std::vector<std::wstring>& names) {
    const CFileHandle file(CreateFileW(JoinPath(folder, kEntryListName).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    LARGE_INTEGER size{};
    std::string bytes;
    // A list of more than 16 MiB is not one the packer wrote.
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < (16 << 20);
    if (ok) {
        bytes.resize(size_t(size.QuadPart));
        DWORD read = 0;
        ok = bytes.empty() || (ReadFile(file, &bytes[0], DWORD(bytes.size()), &read, nullptr) &&
                               read == bytes.size());
    }
    std::wstring text;
    if (!ok || !DecodeUtf8(bytes, text)) return false;
    names = SplitEntryList(text);
    return !names.empty();
}

InstalledFilesRemoval RemoveInstalledFiles(const std::wstring& folder,
                                           const std::vector<std::wstring>& names,
                                           const std::wstring& keep) {
    InstalledFilesRemoval removal;
    removal.files = RemoveListedFiles(folder, names, keep);
    removal.foldersLeft = RemoveEmptyFolders(folder, FoldersOfEntries(names));
    return removal;
}

std::optional<ShortcutPlace> RecordedShortcutPlace(const std::wstring& recorded,
                                                   const std::wstring& linkName) {
    const size_t cut = recorded.find_last_of(L'\\');
    if (cut == std::wstring::npos) return std::nullopt;
    const std::wstring name = recorded.substr(cut + 1);
    const auto folder = NormalInstallFolder(std::wstring_view(recorded).substr(0, cut + 1));
    if (!folder || !SameName(name, linkName) || !IsPlainName(name)) return std::nullopt;
    // Held to the one form: a recorded path that needs normalising was not written by the
    // installer.
    if (!SameName(JoinPath(*folder, name), recorded)) return std::nullopt;
    return ShortcutPlace{*folder, name};
}

int RemoveRecordedShortcut(const std::wstring& recorded, const std::wstring& linkName,
                           const std::wstring& folderName) {
    const auto place = RecordedShortcutPlace(recorded, linkName);
    if (!place) return 1;
    const std::wstring above = ParentFolder(place->folder);
    {
        // Held while its shortcut goes: it cannot be renamed away, and it is the folder named,
        // not one reached through a link.
        const CheckedFolder folder = OpenCheckedFolder(place->folder);
        if (!folder) return IsMissing(folder.error) ? 0 : 1;
        if (!CRemovalFolder(place->folder, folder.handle).RemoveFile(place->name)) return 1;
    }
    const std::wstring level = place->folder.substr(above.size());
    if (folderName.empty() || above.empty() || !SameName(level, folderName)) return 0;
    const CheckedFolder parent = OpenCheckedFolder(above);
    if (!parent) return IsMissing(parent.error) ? 0 : 1;
    return CRemovalFolder(above, parent.handle).RemoveFolderIfEmpty(level) ? 0 : 1;
}

int RemoveStartMenuShortcut(const ProductIdentity& product, const RegisteredInstallation& entry) {
    const std::wstring linkName = PlainOr(entry.shortcutName, product.shortcutName) + L".lnk";
    const std::wstring folder = PlainOr(entry.startMenuFolder, product.startMenuFolder);
    if (!entry.startMenuShortcut.empty())
        return RemoveRecordedShortcut(entry.startMenuShortcut, linkName, folder);
    std::wstring programs;
    if (!GetShellFolder(CSIDL_PROGRAMS, programs)) return 0;
    const CRemovalFolder removal(programs);
    int left = 0;
    if (!removal.RemoveFile(JoinPath(folder, linkName))) ++left;
    if (!removal.RemoveFolderIfEmpty(folder)) ++left;
    return left;
}

int RemoveDesktopShortcut(const ProductIdentity& product, const RegisteredInstallation& entry) {
    const std::wstring linkName = PlainOr(entry.shortcutName, product.shortcutName) + L".lnk";
    if (!entry.desktopShortcut.empty())
        return RemoveRecordedShortcut(entry.desktopShortcut, linkName, L"");
    std::wstring desktop;
    return GetShellFolder(CSIDL_DESKTOP, desktop) && !CRemovalFolder(desktop).RemoveFile(linkName)
               ? 1
               : 0;
}

int RemoveShortcuts(const ProductIdentity& product, const RegisteredInstallation& entry) {
    return RemoveStartMenuShortcut(product, entry) + RemoveDesktopShortcut(product, entry);
}

void RemovePreviousInstallation(const std::wstring& folder, const std::wstring& madeAbove,
                                CRunLog& log) {
    const std::wstring what = L"previous folder " + folder + L": ";
    // Its removal would act by path through a level a standard user could swap meanwhile.
    if (const std::wstring level = FindChangeableLevel(folder); !level.empty()) {
        log.Line(what + L"nothing removed, an elevated run does not act through " + level);
        return;
    }
    std::vector<std::wstring> names;
    if (!ReadEntryList(folder, names)) {
        log.Line(what + L"no readable " + kEntryListName + L", nothing removed");
        return;
    }
    std::vector<std::wstring> first, last;
    for (const std::wstring& name : names) (IsRemovedLast(name) ? last : first).push_back(name);
    InstalledFilesRemoval removal = RemoveInstalledFiles(folder, first, L"");
    if (removal.files.left == 0) removal = RemoveInstalledFiles(folder, last, L"");
    for (const std::wstring& name : removal.files.leftNames)
        log.Line(what + L"left " + name + L" (in use, or behind a link)");
    if (removal.files.left != 0) {
        log.Line(what + std::to_wstring(removal.files.left) + L" listed files left; " +
                 kUninstallerName + L" there removes them");
        return;
    }
    const std::wstring above = ParentFolder(folder);
    if (!above.empty() && above.size() < folder.size())
        CRemovalFolder(above).RemoveFolderIfEmpty(folder.substr(above.size()));
    if (!Exists(folder)) RemoveEmptyFoldersUpTo(WithoutTrailingSeparators(above), madeAbove);
    log.Line(what + L"every listed file removed" +
             (Exists(folder) ? L"; the folder stays, holding other files" : L", and the folder"));
}
