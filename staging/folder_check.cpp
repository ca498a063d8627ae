#include "staging/folder_check.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "archive/archive_format.h"
#include "files/folder_trust.h"
#include "files/install_folder.h"
#include "files/paths.h"
#include "files/same_path.h"
#include "log/run_log.h"
#include "system/entry_list.h"
#include "system/uninstall_entry.h"

namespace {

class CMemorySource final : public archive::ByteSource {
public:
    CMemorySource(const void* data, size_t size)
        : m_at(static_cast<const unsigned char*>(data)), m_left(data ? size : 0) {}
    size_t Read(void* buffer, size_t count) override {
        count = std::min(count, m_left);
        std::memcpy(buffer, m_at, count);
        Skip(count);
        return count;
    }
    uint64_t Remaining() const override { return m_left; }
    const unsigned char* ReadInPlace(size_t count) override {
        if (count > m_left) return nullptr;
        const unsigned char* bytes = m_at;
        Skip(count);
        return bytes;
    }

private:
    void Skip(size_t count) {
        m_at += count;
        m_left -= count;
    }

    const unsigned char* m_at;
    size_t m_left;
};

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
    CMemorySource source(archive, size);
    archive::Header header;
    if (!archive::ReadHeader(source, header)) return std::nullopt;
    std::vector<std::wstring> names;
    names.reserve(size_t(header.entryCount));
    for (int32_t index = 0; index < header.entryCount; ++index) {
        std::u16string name;
        archive::EntrySizes sizes;
        if (archive::ReadName(source, name) != archive::EntryError::None ||
            archive::ReadSizes(source, sizes) != archive::EntryError::None ||
            !source.ReadInPlace(sizes.compressed))
            return std::nullopt;
        names.emplace_back(name.begin(), name.end());
    }
    return names;
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
