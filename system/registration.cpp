#include "system/registration.h"

#include "files/install_folder.h"
#include "files/same_path.h"
#include "platform/com_init.h"
#include "system/installed_files.h"
#include "system/product_paths.h"
#include "system/start_menu.h"
#include "system/uninstall_entry.h"

namespace {

// The registered installation's folder when it is another than `installFolder`, apart from it;
// empty otherwise. A folder nested with it was refused before the installation began.
std::wstring MovedFrom(const RegisteredInstallation& before, const std::wstring& installFolder) {
    const auto old = NormalInstallFolder(before.installLocation);
    const auto now = NormalInstallFolder(installFolder);
    if (!before.found || !old || !now || RelateFolders(*old, *now) != FolderRelation::Apart ||
        SameFile(*old, *now))
        return std::wstring();
    return *old;
}

}  // namespace

void RegisterProduct(const ProductIdentity& product, const std::wstring& installFolder,
                     uint64_t installedBytes, CRunLog& log,
                     const std::optional<std::wstring>& madeAbove) {
    const CComInit com;
    const RegisteredInstallation before = ReadRegisteredInstallation(product.uninstallKey);
    const std::wstring movedFrom = MovedFrom(before, installFolder);
    // The shortcuts into the old folder, whose names may differ (the language it was installed
    // in), go; this run makes its own.
    if (!movedFrom.empty() && RemoveShortcuts(product, before) != 0)
        log.Line(L"a shortcut of the installation in " + movedFrom + L" could not be removed");
    const MadeShortcut shortcut = AddStartMenuShortcut(product, installFolder);
    LogShortcut(log, L"Start-menu shortcut", shortcut);
    const bool written = WriteUninstallEntry(product, installFolder, installedBytes);
    log.Step(L"Uninstall entry", written ? S_OK : HRESULT_FROM_WIN32(GetLastError()),
             L"HKLM\\" + UninstallKeyPath(product));
    if (written) {
        if (SUCCEEDED(shortcut.result)) {
            RecordEntryText(product, kStartMenuShortcutValue, shortcut.path);
            // One made elsewhere before (another account's Start menu) is not left behind.
            if (movedFrom.empty() && !before.startMenuShortcut.empty() &&
                !SamePath(before.startMenuShortcut, shortcut.path) &&
                RemoveStartMenuShortcut(product, before) != 0)
                log.Line(L"the earlier Start-menu shortcut " + before.startMenuShortcut +
                         L" could not be removed");
        }
        if (madeAbove) RecordEntryText(product, kHighestFolderMadeValue, *madeAbove);
        // A move removed the desktop shortcut it recorded; the finish step records its own.
        if (!movedFrom.empty()) RecordEntryText(product, kDesktopShortcutValue, L"");
    }
    if (!written || movedFrom.empty()) return;
    log.Line(L"the product moved here from " + movedFrom);
    RemovePreviousInstallation(movedFrom, FolderMadeAbove(before, movedFrom), log);
}
