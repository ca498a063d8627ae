#include "system/installed_files.h"

#include <windows.h>
#include <shlobj.h>

#include "files/folder_trust.h"
#include "files/paths.h"
#include "log/run_log.h"
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

int RemoveShortcuts(const ProductIdentity& product, const RegisteredInstallation& entry) {
    const std::wstring linkName = PlainOr(entry.shortcutName, product.shortcutName) + L".lnk";
    int left = 0;
    std::wstring programs, desktop;
    if (GetShellFolder(CSIDL_PROGRAMS, programs)) {
        const CRemovalFolder removal(programs);
        const std::wstring folder = PlainOr(entry.startMenuFolder, product.startMenuFolder);
        if (!removal.RemoveFile(JoinPath(folder, linkName))) ++left;
        if (!removal.RemoveFolderIfEmpty(folder)) ++left;
    }
    if (GetShellFolder(CSIDL_DESKTOP, desktop) && !CRemovalFolder(desktop).RemoveFile(linkName))
        ++left;
    return left;
}

void RemovePreviousInstallation(const std::wstring& folder, CRunLog& log) {
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
    log.Line(what + L"every listed file removed" +
             (Exists(folder) ? L"; the folder stays, holding other files" : L", and the folder"));
}
