#include "product/uninstall/uninstaller.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "files/install_folder.h"
#include "files/paths.h"
#include "files/removal.h"
#include "files/same_path.h"
#include "files/folder_trust.h"
#include "log/run_log.h"
#include "platform/unique_handle.h"
#include "product/resources/product_string_ids.h"
#include "product/uninstall/exit_code.h"
#include "product/uninstall/fill_in.h"
#include "product/uninstall/self_removal.h"
#include "res/strings.h"
#include "staging/installation_guard.h"
#include "staging/recovery.h"
#include "system/entry_list.h"
#include "system/installed_files.h"
#include "system/process_killer.h"
#include "system/product_paths.h"
#include "system/uninstall_entry.h"

namespace {

// How long the copy waits for the uninstaller to end before it leaves its file to the restart.
constexpr unsigned long kWaitForOriginal = 60000;

std::wstring Text(unsigned id) {
    return LoadLocalizedString(StringId(id));
}

void Tell(const UninstallCommand& command, const ProductIdentity& product, unsigned id, UINT icon) {
    if (!command.silent)
        MessageBoxW(nullptr, FillIn(Text(id), {product.shortcutName}).c_str(),
                    product.shortcutName.c_str(), MB_OK | icon);
}

// Logs the exit code and gives it back.
int Exit(CRunLog& log, int code) {
    log.Line(L"exit code " + std::to_wstring(code));
    return code;
}

// Nothing is done: the reason goes to the log and, unless /S, to a message.
int Refuse(const UninstallCommand& command, const ProductIdentity& product, CRunLog& log,
           unsigned id, UINT icon, const std::wstring& why, int code) {
    log.Failure(why);
    Tell(command, product, id, icon);
    return Exit(log, code);
}

std::wstring Left(int count, const wchar_t* what) {
    return std::wstring(what) + L": " +
           (count ? std::to_wstring(count) + L" left" : L"all removed");
}

}  // namespace

int RunUninstaller(const UninstallCommand& command, const std::wstring& program,
                   const ProductIdentity& product) {
    if (command.mode == UninstallCommand::Mode::Finish) {
        CKernelHandle original = InheritedProcess(command.waitHandle);
        if (!original) return kRefused;
        const int code = FinishRemoval(
            std::move(original), CInstallationGuard::Inherited(command.guardHandle),
            product.uninstallKey, command.program, command.madeAbove, kWaitForOriginal);
        if (code != kRefused) RemoveAtRestart(program);
        return code;
    }
    CRunLog log;
    if (!command.logFile.empty() && !log.Open(command.logFile)) {
        Tell(command, product, IDS_UNINSTALL_USAGE, MB_ICONINFORMATION);
        return kRefused;
    }
    log.Line(L"uninstaller " + product.version + L", command line: " + GetCommandLineW());
    log.Line(L"product " + product.uninstallKey + L": " + product.displayName + L" " +
             product.version + L", uninstaller " + program);
    if (command.mode != UninstallCommand::Mode::Uninstall)
        return Refuse(command, product, log, IDS_UNINSTALL_USAGE, MB_ICONINFORMATION,
                      L"the command line is not understood", kRefused);
    // Every key but the product's own belongs to someone else: an empty name would be the whole
    // Uninstall key.
    if (!IsUninstallKeyName(product.uninstallKey))
        return Refuse(command, product, log, IDS_UNINSTALL_NO_KEY, MB_ICONWARNING,
                      L"the product's key name is not one key's name", kRefused);

    // Held until the process ends, so that no installation of the product starts beside it.
    const CInstallationGuard guard(product.uninstallKey);
    if (!guard.Held())
        return Refuse(command, product, log, IDS_UNINSTALL_BUSY, MB_ICONWARNING,
                      L"an installation or removal of the product is running", kBusy);
    // An installation that was killed is finished or undone first: what is removed is then one
    // version's files, never a half-made staging folder. Until it can be, nothing is removed.
    const RecoveryResult recovery =
        RecoverInterruptedInstallation(product.uninstallKey, product.processName, log);
    if (!recovery.complete)
        return Refuse(command, product, log, IDS_UNINSTALL_INTERRUPTED, MB_ICONWARNING,
                      recovery.Reason(), kInterrupted);

    const std::wstring folder = ParentFolder(program);
    const RegisteredInstallation entry = ReadRegisteredInstallation(product.uninstallKey);
    // A copy in another folder than the registered one removes its own files only: the entry and
    // the shortcuts are the registered installation's, and so is every file of a folder that holds
    // this one or lies in it, which this copy's list could reach.
    const bool ownEntry = entry.found && SameFile(entry.installLocation, folder);
    if (entry.found && !ownEntry && FoldersNest(entry.installLocation, folder))
        return Refuse(command, product, log, IDS_UNINSTALL_REFUSED, MB_ICONWARNING,
                      L"the Uninstall entry names a folder that holds this one or lies in it: " +
                          entry.installLocation,
                      kRefused);
    log.Line(L"install folder " + folder +
             (ownEntry ? L""
              : entry.found
                  ? L" (the Uninstall entry names another folder, " + entry.installLocation +
                        L": this folder's own files are removed, nothing registered)"
                  : L" (no Uninstall entry)"));
    // The removal checks each item's real path on its own handle, so a level that could be swapped
    // leads nowhere: it goes ahead, and the log says what it went through.
    if (const std::wstring level = FindChangeableLevel(folder); !level.empty())
        log.Line(L"removed only through handles checked to lie in the folder: " + level);
    UninstallReport report;
    report.registered = entry.found;
    // Without the list nothing is known to be the product's: everything stays, registered, so that
    // it can be uninstalled once the list is back.
    std::vector<std::wstring> names;
    report.listRead = ReadEntryList(folder, names);
    if (!report.listRead)
        return Refuse(command, product, log, IDS_UNINSTALL_NO_LIST, MB_ICONWARNING,
                      std::wstring(kEntryListName) + L" is missing or unreadable",
                      ComposeExitCode(report));
    log.Line(std::wstring(kEntryListName) + L": " + std::to_wstring(names.size()) + L" names");
    if (!command.silent &&
        MessageBoxW(nullptr, FillIn(Text(IDS_UNINSTALL_CONFIRM), {product.shortcutName}).c_str(),
                    product.shortcutName.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES) {
        log.Line(L"answered No");
        return Exit(log, kCancelled);
    }

    // A copy leaves the registered installation's running product alone.
    LogEndedProcesses(log, product.processName,
                      EndProcessesNamed(product.processName, ownEntry ? L"" : folder));
    const InstalledFilesRemoval removal = RemoveInstalledFiles(folder, names, program);
    report.filesLeft = removal.files.left;
    log.Line(Left(report.filesLeft, L"listed files"));
    report.foldersLeft = removal.foldersLeft;
    log.Line(Left(report.foldersLeft, L"emptied folders"));
    if (ownEntry || !entry.found) {
        report.shortcutsLeft = RemoveShortcuts(product, entry);
        log.Line(Left(report.shortcutsLeft, L"shortcuts"));
    }
    if (ownEntry) {
        report.entryLeft = !DeleteUninstallEntry(product);
        log.Line(report.entryLeft ? L"Uninstall entry: left" : L"Uninstall entry: deleted");
    }

    // Its own file and the install folder go last, once this process has ended; the copy that
    // removes them starts only when the last message has been answered.
    std::unique_ptr<CRemovalCopy> copy;
    if (removal.files.keptListed) {
        copy = std::make_unique<CRemovalCopy>(program);
        if (copy->Path().empty()) ++report.filesLeft;
    }

    const int code = ComposeExitCode(report);
    const bool complete = (code & ~kNotRegistered) == 0;
    Tell(command, product, complete ? IDS_UNINSTALL_DONE : IDS_UNINSTALL_PARTLY,
         complete ? MB_ICONINFORMATION : MB_ICONWARNING);
    if (!copy) return Exit(log, code);
    // The folders its installation made above the install folder go after it, each while empty.
    const bool started = copy->Start(guard, ownEntry ? FolderMadeAbove(entry, folder) : L"");
    log.Line(std::wstring(L"the copy that removes ") + kUninstallerName + L" once this ends: " +
             (started ? L"started, " + copy->Path() : L"not started: " + copy->Problem()));
    return Exit(log, started ? code : code | kFilesLeft);
}
