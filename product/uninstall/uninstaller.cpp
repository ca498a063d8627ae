#include "product/uninstall/uninstaller.h"

#include <windows.h>
#include <shlobj.h>

#include "product/uninstall/entry_list.h"
#include "product/uninstall/exit_code.h"
#include "product/uninstall/fill_in.h"
#include "install/paths.h"
#include "install/process_killer.h"
#include "product/resources/product_string_ids.h"
#include "product/uninstall/removal.h"
#include "product/uninstall/same_path.h"
#include "product/uninstall/self_removal.h"
#include "install/shell_folders.h"
#include "platform/unique_handle.h"
#include "res/strings.h"
#include "product/uninstall/uninstall_record.h"

namespace {

std::wstring Text(unsigned id) {
    return LoadLocalizedString(StringId(id));
}

void Tell(const UninstallCommand& command, const ProductIdentity& product, unsigned id, UINT icon) {
    if (!command.silent)
        MessageBoxW(nullptr, FillIn(Text(id), {product.shortcutName}).c_str(),
                    product.shortcutName.c_str(), MB_OK | icon);
}

std::wstring FullPath(const std::wstring& path) {
    wchar_t full[32768];
    const DWORD length = GetFullPathNameW(path.c_str(), 32768, full, nullptr);
    return length > 0 && length < 32768 ? std::wstring(full, length) : std::wstring();
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
        const std::wstring folder =
            JoinPath(programs, PlainOr(record.startMenuFolder, product.startMenuFolder));
        if (!RemoveFile(JoinPath(folder, linkName))) ++left;
        if (!RemoveFolderIfEmpty(folder)) ++left;
    }
    if (GetShellFolder(CSIDL_DESKTOP, desktop) && !RemoveFile(JoinPath(desktop, linkName))) ++left;
    return left;
}

}  // namespace

int RunUninstaller(const UninstallCommand& command, const std::wstring& program,
                   const ProductIdentity& product) {
    if (command.mode == UninstallCommand::Mode::Finish)
        return FinishRemoval(reinterpret_cast<HANDLE>(command.waitHandle), command.program);
    if (command.mode != UninstallCommand::Mode::Uninstall) {
        Tell(command, product, IDS_UNINSTALL_USAGE, MB_ICONINFORMATION);
        return kRefused;
    }

    const std::wstring folder = ParentFolder(program);
    const UninstallRecord record = ReadUninstallRecord(product);
    if (record.found && !SamePath(FullPath(record.installLocation), FullPath(folder))) {
        Tell(command, product, IDS_UNINSTALL_REFUSED, MB_ICONWARNING);
        return kRefused;
    }
    if (!command.silent &&
        MessageBoxW(nullptr, FillIn(Text(IDS_UNINSTALL_CONFIRM), {product.shortcutName}).c_str(),
                    product.shortcutName.c_str(), MB_YESNO | MB_ICONQUESTION) != IDYES)
        return kCancelled;

    EndProcessesNamed(product.processName);

    UninstallReport report;
    report.registered = record.found;
    std::vector<std::wstring> names;
    report.listRead = ReadEntryList(folder, names);
    bool removeSelf = false;
    if (report.listRead) {
        report.filesLeft = RemoveListedFiles(folder, names, program);
        report.foldersLeft = RemoveEmptyFolders(folder, FoldersOfEntries(names));
        for (const std::wstring& name : names)
            removeSelf = removeSelf || SamePath(FullPath(JoinPath(folder, name)), program);
    }
    report.shortcutsLeft = RemoveShortcuts(product, record);
    if (record.found) report.entryLeft = !DeleteUninstallRecord(product);
    // Last of all, once this process has ended: its own file and the install folder if empty.
    if (removeSelf && !StartRemovalCopy(program)) ++report.filesLeft;

    const int code = ComposeExitCode(report);
    const bool complete = (code & ~kNotRegistered) == 0;
    Tell(command, product, complete ? IDS_UNINSTALL_DONE : IDS_UNINSTALL_PARTLY,
         complete ? MB_ICONINFORMATION : MB_ICONWARNING);
    return code;
}
