#include "system/finish.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include "files/same_path.h"
#include "system/installed_files.h"
#include "system/product_paths.h"
#include "system/shell_folders.h"
#include "system/shortcut.h"
#include "system/uninstall_entry.h"

namespace {

void LaunchProduct(const ProductIdentity& product, const std::wstring& installFolder,
                   CRunLog& log) {
    const std::wstring exe = ProductExePath(product, installFolder);
    const auto started = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", exe.c_str(), nullptr, nullptr, SW_SHOWDEFAULT));
    log.Step(L"product start", started > 32 ? S_OK : HRESULT_FROM_WIN32(GetLastError()), exe);
}

}  // namespace

void MakeDesktopShortcut(const ProductIdentity& product, const std::wstring& installFolder,
                         CRunLog& log) {
    std::wstring desktop;
    if (!GetShellFolder(ShortcutFoldersOfThisAccount().desktop, desktop)) {
        log.Step(L"desktop shortcut", HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND),
                 L"no desktop folder");
        return;
    }
    MadeShortcut made;
    made.path = ProductShortcutPath(product, desktop);
    made.result = CreateShortcut(ProductExePath(product, installFolder), made.path,
                                 product.shortcutName, &made.why);
    LogShortcut(log, L"desktop shortcut", made);
    if (FAILED(made.result)) return;
    const RegisteredInstallation before = ReadRegisteredInstallation(product.uninstallKey);
    RecordEntryText(product, kDesktopShortcutValue, made.path);
    // One made on another desktop before (another account's) is not left behind.
    if (!before.desktopShortcut.empty() && !SamePath(before.desktopShortcut, made.path) &&
        RemoveDesktopShortcut(product, before) != 0)
        log.Line(L"the earlier desktop shortcut " + before.desktopShortcut +
                 L" could not be removed");
}

void RunFinishStep(const ProductIdentity& product, const FinishChoices& choices, CRunLog& log) {
    if (choices.installed) {
        if (choices.desktopShortcut)
            MakeDesktopShortcut(product, choices.installFolder, log);
        else
            log.Line(L"desktop shortcut: not made (box cleared)");
        if (choices.launch)
            LaunchProduct(product, choices.installFolder, log);
        else
            log.Line(L"product start: not started (box cleared)");
    }
    PostQuitMessage(0);
}
