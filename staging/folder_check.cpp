#include "staging/folder_check.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "archive/archive_format.h"
#include "files/install_folder.h"
#include "files/paths.h"
#include "files/same_path.h"
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

// The first folder of the installation below `folder` that is a link (a junction, a symbolic link,
// a mounted volume) to another volume than the install folder's; empty when there is none. Only
// links are opened: a plain folder lies on its parent's volume.
std::wstring FolderOnAnotherVolume(const std::wstring& folder,
                                   const std::vector<std::wstring>& names) {
    if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return std::wstring();
    const std::vector<std::wstring_view> folders = FoldersOfEntries(names);
    for (auto level = folders.rbegin(); level != folders.rend(); ++level) {
        const std::wstring path = JoinPath(folder, std::wstring(*level));
        if (IsLink(GetFileAttributesW(path.c_str())) && !SameVolume(folder, path)) return path;
    }
    return std::wstring();
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
    if (const std::wstring link = FolderOnAnotherVolume(*normal, names); !link.empty())
        return link + L" is a link to another volume than " + *normal +
               L"'s; the installation's final moves cannot cross volumes";
    return std::wstring();
}

bool VolumeExists(const std::wstring& root) {
    const DWORD attributes = GetFileAttributesW(root.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}
