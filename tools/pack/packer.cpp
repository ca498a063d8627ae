#include "tools/pack/packer.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <new>
#include <ostream>
#include <system_error>

#include "archive/archive_format.h"
#include "archive/archive_reader.h"
#include "archive/block_format.h"
#include "archive/entry_name.h"
#include "platform/utf8.h"
#include "tools/pack/entry_order.h"
#include "tools/pack/identical_files.h"
#include "tools/pack/windows_name.h"

namespace fs = std::filesystem;

namespace pack {

namespace {

constexpr uint64_t kFormatLimit = 0x7FFFFFFF;  // every count and size is a signed 32-bit number
// libdeflate's highest level: slow to pack, smaller than zlib's best, as fast to decode.
constexpr int kCompressionLevel = 12;

struct FreeCompressor {
    void operator()(libdeflate_compressor* compressor) const {
        libdeflate_free_compressor(compressor);
    }
};

Failure Fail(std::string message) {
    return Failure{std::move(message)};
}

void PutLittleEndian32(std::string& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out += char(value >> shift & 0xFF);
}

// Reads exactly `size` bytes: a file that grew or shrank since it was listed is an error.
bool ReadWhole(const fs::path& path, uint64_t size, std::vector<unsigned char>& data) {
    std::ifstream in(path, std::ios::binary);
    data.resize(size);
    return in && in.read(reinterpret_cast<char*>(data.data()), std::streamsize(size)) &&
           in.peek() == std::char_traits<char>::eof();
}

// The archive name of a file below `folder`: its relative path, backslash-separated.
Failure ArchiveName(const fs::path& path, const fs::path& folder, std::u16string& name) {
    name.clear();
    for (const auto& part : fs::relative(path, folder)) {
        auto converted = Utf8ToUtf16(part.string());
        if (!converted) return Fail(path.string() + ": the name is not valid UTF-8");
        if (converted->find(u'\\') != std::u16string::npos)
            return Fail(path.string() + ": a backslash inside a name would split it on Windows");
        if (!name.empty()) name += u'\\';
        name += *converted;
    }
    if (auto problem = WindowsNameProblem(name); !problem.empty())
        return Fail(path.string() + ": " + problem);
    return {};
}

// Every regular file below `folder`, in the order the folder lists them.
Failure ListFolder(const fs::path& folder, std::vector<SourceFile>& files) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return Fail(folder.string() + " is not a folder");
    fs::recursive_directory_iterator it(folder, ec), end;
    if (ec) return Fail("cannot read " + folder.string() + ": " + ec.message());
    for (; it != end; it.increment(ec)) {
        if (ec) return Fail("cannot read below " + folder.string() + ": " + ec.message());
        const fs::path& path = it->path();
        if (it->is_directory(ec)) continue;
        if (!it->is_regular_file(ec))
            return Fail(path.string() + " is neither a file nor a folder");
        std::u16string name;
        if (Failure failure = ArchiveName(path, folder, name)) return failure;
        const uint64_t size = it->file_size(ec);
        if (ec) return Fail("cannot read " + path.string() + ": " + ec.message());
        if (size > kFormatLimit)
            return Fail(path.string() + " is 2 GiB or larger, which the archive cannot carry");
        files.push_back({path, std::move(name), size, std::nullopt});
    }
    if (files.empty()) return Fail(folder.string() + " holds no files");
    return {};
}

// The list of entries as one more top-level entry; its text is filled in once the order is final.
Failure AddManifest(const std::string& manifest, const std::string& last,
                    std::vector<SourceFile>& files) {
    auto name = Utf8ToUtf16(manifest);
    if (!name) return Fail("--manifest " + manifest + ": the name is not valid UTF-8");
    if (name->find_first_of(u"\\/") != std::u16string::npos)
        return Fail("--manifest " + manifest + ": the list goes at the top, not in a folder");
    if (auto problem = WindowsNameProblem(*name); !problem.empty())
        return Fail("--manifest " + manifest + ": " + problem);
    if (manifest == last) return Fail("--manifest and --last name the same entry");
    for (const auto& file : files)
        if (EntryNameKey(file.name) == EntryNameKey(*name))
            return Fail("--manifest " + manifest + ": " + file.path.string() +
                        " already has that name");
    files.push_back({fs::path(), *name, 0, std::string()});
    return {};
}

// Names the installer would take for one file, by the key it gives them.
Failure RefuseKeyCollisions(const std::vector<SourceFile>& files) {
    std::map<std::u16string, const SourceFile*> keys;
    for (const auto& file : files) {
        auto [where, fresh] = keys.emplace(EntryNameKey(file.name), &file);
        if (!fresh)
            return Fail(file.path.string() + " and " + where->second->path.string() +
                        " differ only in letter case, or in what Windows drops, and would be one "
                        "file on Windows");
    }
    return {};
}

Failure MoveToEnd(const std::string& last, const fs::path& folder, std::vector<SourceFile>& files) {
    auto wanted = Utf8ToUtf16(last);
    auto match = std::find_if(files.begin(), files.end(), [&](const SourceFile& f) {
        return wanted && f.name == *wanted && !f.contents;
    });
    if (match == files.end())
        return Fail("--last " + last + ": no such file at the top of " + folder.string());
    std::rotate(match, match + 1, files.end());
    return {};
}

// The list names itself too, so its size is known only once the order is final.
void FillManifest(std::vector<SourceFile>& files) {
    for (auto& file : files) {
        if (!file.contents) continue;
        file.contents = ManifestText(files);
        file.size = file.contents->size();
    }
}

Failure RefuseTotal(const std::vector<SourceFile>& files) {
    const uint64_t total = TotalSize(files);
    if (total > kFormatLimit)
        return Fail("the files add up to " + std::to_string(total) +
                    " bytes; the archive holds less than 2 GiB in all");
    return {};
}

}  // namespace

Failure CollectFiles(const fs::path& folder, const std::string& last,
                     std::vector<SourceFile>& files, const std::string& manifest, Format format) {
    files.clear();
    if (Failure failure = ListFolder(folder, files)) return failure;
    if (!manifest.empty())
        if (Failure failure = AddManifest(manifest, last, files)) return failure;
    std::sort(files.begin(), files.end(), [format](const SourceFile& a, const SourceFile& b) {
        return format == Format::One ? a.name < b.name : TypeOrderLess(a.name, b.name);
    });
    if (Failure failure = RefuseKeyCollisions(files)) return failure;
    if (!last.empty())
        if (Failure failure = MoveToEnd(last, folder, files)) return failure;
    // Checked before the files are read for sharing, and again with the list's own size.
    if (Failure failure = RefuseTotal(files)) return failure;
    if (format == Format::Two)
        if (Failure failure = GroupIdenticalFiles(files, !last.empty())) return failure;
    FillManifest(files);
    return RefuseTotal(files);
}

uint64_t TotalSize(const std::vector<SourceFile>& files) {
    uint64_t total = 0;
    for (const auto& file : files) total += file.size;
    return total;
}

std::string ManifestText(const std::vector<SourceFile>& files) {
    std::string text;
    for (const auto& file : files) text += Utf16ToUtf8(file.name) + "\r\n";
    return text;
}

Failure WriteArchive(const std::vector<SourceFile>& files, const fs::path& output,
                     const Progress& progress) {
    const uint64_t total = TotalSize(files);
    if (files.empty() || files.size() > kFormatLimit || total > kFormatLimit)
        return Fail("nothing the archive format can hold");

    fs::path temporary = output;
    temporary += ".partial";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) return Fail("cannot write " + temporary.string());

    std::string header;
    PutLittleEndian32(header, uint32_t(files.size()));
    PutLittleEndian32(header, uint32_t(total));
    out.write(header.data(), std::streamsize(header.size()));

    const std::unique_ptr<libdeflate_compressor, FreeCompressor> compressor(
        libdeflate_alloc_compressor(kCompressionLevel));
    if (!compressor) {
        out.close();
        fs::remove(temporary);
        return Fail("not enough memory to compress");
    }
    uint64_t done = 0;
    std::vector<unsigned char> data, block;
    for (const auto& file : files) {
        if (file.contents) {
            data.assign(file.contents->begin(), file.contents->end());
        } else if (!ReadWhole(file.path, file.size, data)) {
            out.close();
            fs::remove(temporary);
            return Fail("cannot read " + file.path.string() + " (or it changed while packing)");
        }
        block.resize(libdeflate_zlib_compress_bound(compressor.get(), data.size()));
        const size_t blockSize = libdeflate_zlib_compress(compressor.get(), data.data(),
                                                          data.size(), block.data(), block.size());
        if (blockSize == 0 || blockSize > kFormatLimit) {
            out.close();
            fs::remove(temporary);
            return Fail("cannot compress " + file.path.string());
        }

        std::string entry;
        PutLittleEndian32(entry, uint32_t(file.name.size()));
        for (char16_t c : file.name) entry += char(c & 0xFF), entry += char(c >> 8);
        PutLittleEndian32(entry, uint32_t(file.size));
        PutLittleEndian32(entry, uint32_t(blockSize));
        out.write(entry.data(), std::streamsize(entry.size()));
        out.write(reinterpret_cast<const char*>(block.data()), std::streamsize(blockSize));

        done += file.size;
        if (progress) progress(done, total);
    }
    out.close();
    if (!out) {
        fs::remove(temporary);
        return Fail("cannot write " + temporary.string());
    }
    std::error_code ec;
    fs::rename(temporary, output, ec);
    if (ec) return Fail("cannot create " + output.string() + ": " + ec.message());
    return {};
}

namespace {

struct ArchiveSummary {
    archive::Header header;
    uint32_t blocks[3] = {};  // format 2's, by codec
    int64_t decodedSize = 0;
    uint64_t archiveSize = 0;
    uint64_t trailing = 0;  // bytes after the last entry or block
};

using EntryVisitor = std::function<void(const archive::ReadEntry& entry)>;

Failure ReadWholeFile(const fs::path& path, std::vector<unsigned char>& bytes) {
    std::error_code ec;
    const uint64_t size = fs::file_size(path, ec);
    if (ec || !ReadWhole(path, size, bytes)) return Fail("cannot read " + path.string());
    return {};
}

std::string HeaderProblem(const archive::ArchiveReader& reader,
                          const std::vector<unsigned char>& bytes) {
    if (reader.HeaderError() != archive::EntryError::ShortRead)
        return std::string("the archive's directory: ") + archive::Describe(reader.HeaderError());
    if (bytes.size() < 8) return "the archive is shorter than its 8-byte header";
    const uint32_t word = uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 |
                          uint32_t(bytes[3]) << 24;
    if (word == archive::kFormat2Word && bytes.size() < archive::kFormat2HeaderSize)
        return "the archive is shorter than its 28-byte header";
    if (word >> 31 && word != archive::kFormat2Word)
        return "the archive's first word counts a negative number of entries, or names a later "
               "format than this packer reads";
    return "the archive's header counts a negative total";
}

// Reads an archive in memory with the installer's checks, its name rule included, handing every
// decoded entry to `visit` in order. Fails at the first fault.
Failure ReadArchive(const std::vector<unsigned char>& bytes, const EntryVisitor& visit,
                    ArchiveSummary& summary) {
    archive::ArchiveReader reader(bytes.data(), bytes.size());
    if (!reader.ReadHeader()) return Fail(HeaderProblem(reader, bytes));
    summary.header = reader.GetHeader();
    summary.archiveSize = bytes.size();
    const int32_t count = summary.header.entryCount;
    for (int32_t index = 0; index < count; ++index) {
        archive::ReadEntry entry;
        const archive::EntryError error = reader.Next(entry);
        if (error != archive::EntryError::None)
            return Fail("entry " + std::to_string(index + 1) + " of " + std::to_string(count) +
                        (entry.name.empty() ? "" : " (" + Utf16ToUtf8(entry.name) + ")") + ": " +
                        (entry.nameFault != EntryNameFault::None ? Describe(entry.nameFault)
                                                                 : archive::Describe(error)));
        summary.decodedSize += entry.size;
        visit(entry);
    }
    if (const archive::EntryError error = reader.Finish(); error != archive::EntryError::None)
        return Fail(std::string("after the last entry: ") + archive::Describe(error));
    summary.trailing = reader.TrailingBytes();
    if (summary.header.format == 2) {
        // Every block was checked on the way; this only counts them by codec.
        archive::BlockDirectory directory;
        const size_t rest = bytes.size() - archive::kFormat2HeaderSize;
        if (directory.Open(summary.header, bytes.data() + archive::kFormat2HeaderSize, rest) ==
            archive::EntryError::None)
            for (uint32_t b = 0; b < directory.BlockCount(); ++b) {
                archive::BlockRecord block;
                if (directory.Block(b, block) == archive::EntryError::None)
                    ++summary.blocks[size_t(block.codec)];
            }
    }
    return {};
}

}  // namespace

Failure ListArchive(const fs::path& path, std::ostream& out) {
    std::vector<unsigned char> bytes;
    if (Failure failure = ReadWholeFile(path, bytes)) return failure;
    return ListArchive(bytes, out);
}

Failure ListArchive(std::istream& in, uint64_t size, std::ostream& out) {
    std::vector<unsigned char> bytes;
    try {
        bytes.resize(size_t(size));
    } catch (const std::bad_alloc&) {
        return Fail("not enough memory to read the archive");
    }
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    bytes.resize(size_t(in.gcount()));
    return ListArchive(bytes, out);
}

Failure ListArchive(const std::vector<unsigned char>& bytes, std::ostream& out) {
    ArchiveSummary summary;
    std::u16string previous;  // the name a repeat shares its content with
    std::u16string first;
    uint64_t contents = 0;
    const Failure failure = ReadArchive(
        bytes,
        [&](const archive::ReadEntry& entry) {
            char sizes[48];
            std::snprintf(sizes, sizeof sizes, "%12d %12lld  ", entry.size,
                          static_cast<long long>(entry.storedBytes));
            out << sizes << Utf16ToUtf8(entry.name);
            if (entry.repeat) {
                out << " = " << Utf16ToUtf8(first);
            } else {
                first = entry.name;
                ++contents;
            }
            out << '\n';
        },
        summary);
    if (failure) return failure;
    const int32_t entries = std::max<int32_t>(summary.header.entryCount, 0);
    out << "format " << summary.header.format << ": " << entries << " entries, ";
    if (summary.header.format == 2)
        out << contents << " distinct contents, " << summary.header.blockCount << " blocks ("
            << summary.blocks[0] << " stored, " << summary.blocks[1] << " deflate, "
            << summary.blocks[2] << " zstd), ";
    out << summary.decodedSize << " bytes decoded, " << summary.archiveSize
        << " bytes of archive\n";
    if (summary.decodedSize != summary.header.totalSize)
        out << "warning: the header's total is " << summary.header.totalSize
            << ", so progress will not end at exactly 100%\n";
    if (summary.trailing > 0)
        out << "note: " << summary.trailing << " bytes after the last entry are ignored\n";
    return {};
}

Failure ExtractEntry(const fs::path& path, const std::string& name, const fs::path& output) {
    auto wanted = Utf8ToUtf16(name);
    if (!wanted) return Fail(name + ": the name is not valid UTF-8");
    std::replace(wanted->begin(), wanted->end(), u'/', u'\\');
    std::vector<unsigned char> bytes;
    if (Failure failure = ReadWholeFile(path, bytes)) return failure;
    std::optional<std::string> data;
    ArchiveSummary summary;
    const Failure failure = ReadArchive(
        bytes,
        [&](const archive::ReadEntry& entry) {
            if (!data && entry.name == *wanted)
                data.emplace(reinterpret_cast<const char*>(entry.data), size_t(entry.size));
        },
        summary);
    if (failure) return failure;
    if (!data) return Fail(name + ": no such entry in " + path.string());

    std::ofstream out(output, std::ios::binary | std::ios::trunc);
    out.write(data->data(), std::streamsize(data->size()));
    out.close();
    if (!out) {
        std::error_code ec;
        fs::remove(output, ec);
        return Fail("cannot write " + output.string());
    }
    return {};
}

}  // namespace pack
