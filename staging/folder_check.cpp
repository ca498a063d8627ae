#include "staging/folder_check.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "archive/archive_reader.h"
#include "files/folder_trust.h"
#include "files/install_folder.h"
#include "files/paths.h"
#include "files/same_path.h"
#include "log/run_log.h"
#include "system/entry_list.h"
#include "system/uninstall_entry.h"

namespace {

bool IsLink(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// The highest folder of the installation below `folder` that is a link (a junction, a symbolic
// link, a mounted volume); empty when there is none. Only what Windows reports at each level's own
// name is asked: a plain folder is not followed anywhere.
std::wstring LinkedFolder(const std::wstring& folder, const std::vector<std::wstring>& names) {
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return std::wstring();
    std::wstring highest;
    for (const std::wstring_view level : FoldersOfEntries(names)) {
        const std::wstring path = JoinPath(folder, std::wstring(level));
        if (IsLink(GetFileAttributesW(path.c_str())) &&
            (highest.empty() || path.size() < highest.size()))
            highest = path;
    }
    return highest;
}

}  // namespace

std::optional<std::vector<std::wstring>> ReadPayloadNames(const void* archive, size_t size) {
    const auto names = archive::ReadEntryNames(static_cast<const unsigned char*>(archive), size);
    if (!names) return std::nullopt;
    std::vector<std::wstring> wide;
    wide.reserve(names->size());
    for (const std::u16string& name : *names) wide.emplace_back(name.begin(), name.end());
    return wide;
}

std::wstring FindInstallFolderProblem(const std::wstring& folder, const std::wstring& productKey,
                                      const std::vector<std::wstring>& names) {
    const auto normal = NormalInstallFolder(folder);
    if (!normal)
        return folder +
               L": not an install folder: a whole path (a drive letter and a backslash, "
               L"or \\\\server\\share) of names Windows can hold";
    if (std::wstring problem = FindStagedPathProblem(*normal, names); !problem.empty())
        return problem;
    const RegisteredInstallation installed = ReadRegisteredInstallation(productKey);
    if (installed.found && FoldersNest(installed.installLocation, *normal) &&
        !SameFile(installed.installLocation, *normal))
        return *normal + L": the installed product's folder " + installed.installLocation +
               L" holds it or lies in it; the product cannot move there";
    if (std::wstring volume = FindVolumeProblem(VolumeRoot(*normal)); !volume.empty())
        return volume;
    if (const std::wstring level = FindChangeableLevel(*normal); !level.empty())
        return *normal + L": an elevated installation does not act through " + level;
    if (const std::wstring link = LinkedFolder(*normal, names); !link.empty()) {
        if (!SameVolume(*normal, link))
            return link + L" is a link to another volume than " + *normal +
                   L"'s; the installation's final moves cannot cross volumes";
        return link + L" is a link inside " + *normal +
               L"; an update never follows one, wherever it leads";
    }
    return std::wstring();
}

bool CanWriteVolume(const std::wstring& root) {
    DWORD flags = 0;
    if (!GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr, 0))
        return false;
    if (!(flags & FILE_READ_ONLY_VOLUME)) return true;
    SetLastError(ERROR_WRITE_PROTECT);
    return false;
}

std::wstring FindVolumeProblem(const std::wstring& root) {
    if (CanWriteVolume(root)) return std::wstring();
    return root + L" cannot be written: " + SystemErrorText(HRESULT_FROM_WIN32(GetLastError()));
}

bool VolumeExists(const std::wstring& root) {
    const DWORD attributes = GetFileAttributesW(root.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
