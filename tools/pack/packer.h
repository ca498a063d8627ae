#pragma once
// Builds payload archives from a folder and lists them, for the build machine.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace pack {

struct SourceFile {
    std::filesystem::path path;  // on the build machine
    std::u16string name;         // in the archive: relative, backslash-separated
    uint64_t size = 0;
    std::optional<std::string> contents;  // made by the packer itself; `path` is then unused
    bool repeat = false;                  // the same bytes as the entry before it, stored once
    uint32_t crc = 0;                     // CRC-32 of the bytes when collected, for format 2
};

enum class Format { One = 1, Two = 2 };

struct Failure {
    std::string message;  // empty on success
    explicit operator bool() const { return !message.empty(); }
};

// Every file below `folder`, sorted by archive name (format 1) or by type and then name with
// identical files following the first one (format 2), with `last` (a top-level name, if not
// empty) moved to the end. Refuses names Windows cannot hold, files of 2 GiB or more, totals the
// format cannot carry, names that differ only in letter case, and an empty folder.
// A non-empty `manifest` (a top-level name no file of the folder has) adds one more entry of that
// name, sorted in with the others, holding ManifestText of the final list.
Failure CollectFiles(const std::filesystem::path& folder, const std::string& last,
                     std::vector<SourceFile>& files, const std::string& manifest = {},
                     Format format = Format::Two);

// What the files hold together: the archive header's total.
uint64_t TotalSize(const std::vector<SourceFile>& files);

// Every entry name in archive order, as UTF-8, each line ended by CR LF: the list an uninstaller
// reads to remove exactly the files that were installed.
std::string ManifestText(const std::vector<SourceFile>& files);

// Progress of a long write: bytes done and bytes in all.
using Progress = std::function<void(uint64_t done, uint64_t total)>;

// Writes a format-1 archive to `output` through a temporary file, so a failed run leaves no
// archive.
Failure WriteArchive(const std::vector<SourceFile>& files, const std::filesystem::path& output,
                     const Progress& progress);

// Reads an archive of either format with the installer's checks, its name rule included, printing
// each entry (size, stored bytes, name, and for a repeat the entry whose bytes it shares) and a
// summary to `out`. Fails at the first fault.
Failure ListArchive(const std::filesystem::path& archive, std::ostream& out);
// The same over `size` bytes of an open stream, or over bytes in memory.
Failure ListArchive(std::istream& archive, uint64_t size, std::ostream& out);
Failure ListArchive(const std::vector<unsigned char>& archive, std::ostream& out);

// Writes the decoded bytes of the entry `name` (as --list prints it; '/' may stand for '\\') to
// `output`, after reading the whole archive with the installer's checks.
Failure ExtractEntry(const std::filesystem::path& archive, const std::string& name,
                     const std::filesystem::path& output);

}  // namespace pack
