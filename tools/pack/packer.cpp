#include "tools/pack/packer.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <ostream>
#include <system_error>

#include "archive/archive_format.h"
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

class FileSource : public archive::ByteSource {
public:
    explicit FileSource(std::istream& in, uint64_t size) : m_in(in), m_left(size) {}
    size_t Read(void* buffer, size_t count) override {
        m_in.read(static_cast<char*>(buffer), std::streamsize(count));
        const auto got = size_t(m_in.gcount());
        m_left -= std::min<uint64_t>(m_left, got);
        return got;
    }
    uint64_t Remaining() const override { return m_left; }

private:
    std::istream& m_in;
    uint64_t m_left;
};

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
    if (format == Format::Two)
        if (Failure failure = GroupIdenticalFiles(files, !last.empty())) return failure;
    FillManifest(files);

    const uint64_t total = TotalSize(files);
    if (total > kFormatLimit)
        return Fail("the files add up to " + std::to_string(total) +
                    " bytes; the archive holds less than 2 GiB in all");
    return {};
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
    int64_t decodedSize = 0;
    uint64_t trailing = 0;  // bytes after the last entry
};

using EntryVisitor = std::function<void(const std::u16string& name, const archive::EntryDecoder&)>;

// Reads `size` bytes of an archive with the installer's checks, its name rule included, handing
// every decoded entry to `visit` in order. Fails at the first fault.
Failure ReadArchive(std::istream& in, uint64_t size, const EntryVisitor& visit,
                    ArchiveSummary& summary) {
    FileSource source(in, size);
    archive::Header& header = summary.header;
    if (!archive::ReadHeader(source, header))
        return Fail(size < 8 ? "the archive is shorter than its 8-byte header"
                             : "the archive's header counts a negative number of entries");

    archive::EntryDecoder decoder;
    for (int32_t index = 0; index < header.entryCount; ++index) {
        std::u16string name;
        archive::EntryError error = archive::ReadName(source, name);
        // The installer refuses such a name before it decodes the entry, and so does the listing.
        const EntryNameFault fault =
            error == archive::EntryError::None ? FindEntryNameFault(name) : EntryNameFault::None;
        if (error == archive::EntryError::None && fault == EntryNameFault::None)
            error = decoder.ReadData(source);
        if (error != archive::EntryError::None || fault != EntryNameFault::None)
            return Fail(
                "entry " + std::to_string(index + 1) + " of " + std::to_string(header.entryCount) +
                (name.empty() ? "" : " (" + Utf16ToUtf8(name) + ")") + ": " +
                (fault != EntryNameFault::None ? Describe(fault) : archive::Describe(error)));
        summary.decodedSize += decoder.Size();
        visit(name, decoder);
    }
    summary.trailing = source.Remaining();
    return {};
}

Failure OpenArchive(const fs::path& path, std::ifstream& in, uint64_t& size) {
    std::error_code ec;
    size = fs::file_size(path, ec);
    in.open(path, std::ios::binary);
    if (ec || !in) return Fail("cannot read " + path.string());
    return {};
}

}  // namespace

Failure ListArchive(const fs::path& path, std::ostream& out) {
    std::ifstream in;
    uint64_t size = 0;
    if (Failure failure = OpenArchive(path, in, size)) return failure;
    return ListArchive(in, size, out);
}

Failure ListArchive(std::istream& in, uint64_t size, std::ostream& out) {
    ArchiveSummary summary;
    const Failure failure = ReadArchive(
        in, size,
        [&](const std::u16string& name, const archive::EntryDecoder& decoder) {
            char sizes[48];
            std::snprintf(sizes, sizeof sizes, "%12d %12d  ", decoder.Size(),
                          decoder.CompressedSize());
            out << sizes << Utf16ToUtf8(name) << '\n';
        },
        summary);
    if (failure) return failure;
    out << std::max<int32_t>(summary.header.entryCount, 0) << " entries, " << summary.decodedSize
        << " bytes decoded, " << size << " bytes of archive\n";
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
    std::ifstream in;
    uint64_t size = 0;
    if (Failure failure = OpenArchive(path, in, size)) return failure;
    std::optional<std::string> data;
    ArchiveSummary summary;
    const Failure failure = ReadArchive(
        in, size,
        [&](const std::u16string& entryName, const archive::EntryDecoder& decoder) {
            if (!data && entryName == *wanted)
                data.emplace(reinterpret_cast<const char*>(decoder.Data()), size_t(decoder.Size()));
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
