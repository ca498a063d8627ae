#include "product/uninstall/uninstaller.h"

#include <windows.h>
#include <shlobj.h>

#include <memory>

#include "product/uninstall/entry_list.h"
#include "product/uninstall/exit_code.h"
#include "product/uninstall/fill_in.h"
#include "install/installation_guard.h"
#include "install/paths.h"
#include "install/process_killer.h"
#include "install/product_paths.h"
#include "install/recovery.h"
#include "install/run_log.h"
#include "product/resources/product_string_ids.h"
#include "install/removal.h"
#include "install/same_path.h"
#include "product/uninstall/self_removal.h"
#include "install/shell_folders.h"
#include "install/uninstall_entry.h"
#include "platform/unique_handle.h"
#include "res/strings.h"
#include "product/uninstall/uninstall_record.h"

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

// A name from the registry if it is a plain name, else the product's own.
std::wstring PlainOr(const std::wstring& name, const std::wstring& fallback) {
    return IsPlainName(name) ? name : fallback;
}

int RemoveShortcuts(const ProductIdentity& product, const UninstallRecord& record) {
    const std::wstring linkName = PlainOr(record.shortcutName, product.shortcutName) + L".lnk";
    int left = 0;
    std::wstring programs, desktop;
    if (GetShellFolder(CSIDL_PROGRAMS, programs)) {
        const CRemovalFolder removal(programs);
        const std::wstring folder = PlainOr(record.startMenuFolder, product.startMenuFolder);
        if (!removal.RemoveFile(JoinPath(folder, linkName))) ++left;
        if (!removal.RemoveFolderIfEmpty(folder)) ++left;
    }
    if (GetShellFolder(CSIDL_DESKTOP, desktop) && !CRemovalFolder(desktop).RemoveFile(linkName))
        ++left;
    return left;
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
        const int code =
            FinishRemoval(std::move(original), CInstallationGuard::Inherited(command.guardHandle),
                          product.uninstallKey, command.program, kWaitForOriginal);
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
    // version's files, never a half-made staging folder.
    RecoverInterruptedInstallation(product.uninstallKey);

    const std::wstring folder = ParentFolder(program);
    const UninstallRecord record = ReadUninstallRecord(product);
    if (record.found && !SameFile(record.installLocation, folder))
        return Refuse(command, product, log, IDS_UNINSTALL_REFUSED, MB_ICONWARNING,
                      L"the Uninstall entry names another folder: " + record.installLocation,
                      kRefused);
    log.Line(L"install folder " + folder + (record.found ? L"" : L" (no Uninstall entry)"));
    UninstallReport report;
    report.registered = record.found;
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

    LogEndedProcesses(log, product.processName, EndProcessesNamed(product.processName));
    const ListedRemoval listed = RemoveListedFiles(folder, names, program);
    report.filesLeft = listed.left;
    log.Line(Left(report.filesLeft, L"listed files"));
    report.foldersLeft = RemoveEmptyFolders(folder, FoldersOfEntries(names));
    log.Line(Left(report.foldersLeft, L"emptied folders"));
    report.shortcutsLeft = RemoveShortcuts(product, record);
    log.Line(Left(report.shortcutsLeft, L"shortcuts"));
    if (record.found) {
        report.entryLeft = !DeleteUninstallRecord(product);
        log.Line(report.entryLeft ? L"Uninstall entry: left" : L"Uninstall entry: deleted");
    }

    // Its own file and the install folder go last, once this process has ended; the copy that
    // removes them starts only when the last message has been answered.
    std::unique_ptr<CRemovalCopy> copy;
    if (listed.keptListed) {
        copy = std::make_unique<CRemovalCopy>(program);
        if (copy->Path().empty()) ++report.filesLeft;
    }

    const int code = ComposeExitCode(report);
    const bool complete = (code & ~kNotRegistered) == 0;
    Tell(command, product, complete ? IDS_UNINSTALL_DONE : IDS_UNINSTALL_PARTLY,
         complete ? MB_ICONINFORMATION : MB_ICONWARNING);
    if (!copy) return Exit(log, code);
    const bool started = copy->Start(guard);
    log.Line(std::wstring(L"the copy that removes ") + kUninstallerName + L" once this ends: " +
             (started ? L"started, " + copy->Path() : std::wstring(L"not started")));
    return Exit(log, started ? code : code | kFilesLeft);
}
