#include "tools/pack/block_writer.h"

#include <fstream>
#include <memory>
#include <system_error>

#include "archive/block_format.h"
#include "tools/pack/block_plan.h"
#include "tools/pack/compression_pool.h"

namespace fs = std::filesystem;

namespace pack {

namespace {

constexpr uint64_t kFormatLimit = 0x7FFFFFFF;

void Put32(std::vector<unsigned char>& out, uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back((unsigned char)(value >> shift));
}

// A block's record, once its bytes are in the file.
struct WrittenBlock {
    archive::Codec codec;
    uint32_t storedSize;
    uint32_t decodedSize;
    uint32_t check;
};

// Reads the planned pieces of each content in order, checking that a file still holds what it
// held when it was collected.
class ContentReader {
public:
    explicit ContentReader(std::vector<const SourceFile*> contents)
        : m_contents(std::move(contents)) {}

    bool Read(const Piece& piece, unsigned char* out) {
        const SourceFile& file = *m_contents[piece.content];
        if (file.contents) {
            std::copy_n(file.contents->data() + piece.offset, piece.size, out);
            return true;
        }
        if (piece.content != m_open || !m_in.is_open()) {
            m_in = std::ifstream(file.path, std::ios::binary);
            m_open = piece.content;
            m_crc = 0;
        }
        if (!m_in.read(reinterpret_cast<char*>(out), std::streamsize(piece.size))) return false;
        m_crc = archive::Crc32(out, piece.size, m_crc);
        if (uint64_t(piece.offset) + piece.size < file.size) return true;
        const bool same = m_in.peek() == std::char_traits<char>::eof() && m_crc == file.crc;
        m_in.close();
        return same;
    }
    const SourceFile& File(uint32_t content) const { return *m_contents[content]; }

private:
    std::vector<const SourceFile*> m_contents;
    std::ifstream m_in;
    uint32_t m_open = 0;
    uint32_t m_crc = 0;
};

std::vector<unsigned char> Directory(const BlockPlan& plan, const std::vector<WrittenBlock>& blocks,
                                     const std::vector<SourceFile>& files,
                                     const std::vector<uint32_t>& contentOf) {
    std::vector<unsigned char> out;
    for (const WrittenBlock& block : blocks) {
        out.push_back(uint8_t(block.codec));
        out.insert(out.end(), 3, 0);
        Put32(out, block.storedSize);
        Put32(out, block.decodedSize);
        Put32(out, block.check);
    }
    for (const archive::ContentRecord& content : plan.contents) {
        Put32(out, content.firstBlock);
        Put32(out, content.blockCount);
        Put32(out, content.offset);
        Put32(out, content.size);
    }
    for (size_t i = 0; i < files.size(); ++i) {
        Put32(out, contentOf[i]);
        Put32(out, uint32_t(files[i].name.size()));
        for (char16_t c : files[i].name) out.push_back(uint8_t(c)), out.push_back(uint8_t(c >> 8));
    }
    return out;
}

class TemporaryFile {
public:
    explicit TemporaryFile(fs::path path) : m_path(std::move(path)) {
        m_out.open(m_path, std::ios::binary | std::ios::trunc);
    }
    ~TemporaryFile() {
        if (m_kept) return;
        m_out.close();
        std::error_code ec;
        fs::remove(m_path, ec);
    }
    std::ofstream& Stream() { return m_out; }
    Failure Keep(const fs::path& output) {
        m_out.close();
        if (!m_out) return Failure{"cannot write " + m_path.string()};
        std::error_code ec;
        fs::rename(m_path, output, ec);
        if (ec) return Failure{"cannot create " + output.string() + ": " + ec.message()};
        m_kept = true;
        return {};
    }

private:
    fs::path m_path;
    std::ofstream m_out;
    bool m_kept = false;
};

}  // namespace

Failure WriteBlockArchive(const std::vector<SourceFile>& files, const fs::path& output,
                          const BlockOptions& options, const Progress& progress,
                          BlockSummary* summary) {
    if (options.blockSize == 0 || options.blockSize > archive::kMaxBlockSize)
        return Failure{"the block size must be 1 byte to 64 MiB"};
    uint64_t total = 0;
    std::vector<const SourceFile*> contents;
    std::vector<uint32_t> contentOf, contentSizes;
    for (const SourceFile& file : files) {
        total += file.size;
        if (file.size > kFormatLimit) return Failure{"nothing the archive format can hold"};
        if (!file.repeat || contents.empty()) {
            contents.push_back(&file);
            contentSizes.push_back(uint32_t(file.size));
        }
        contentOf.push_back(uint32_t(contents.size() - 1));
    }
    if (files.empty() || files.size() > kFormatLimit || total > kFormatLimit)
        return Failure{"nothing the archive format can hold"};

    const BlockPlan plan = PlanBlocks(contentSizes, options.blockSize);
    uint64_t directorySize = (plan.blocks.size() + plan.contents.size()) * 16;
    for (const SourceFile& file : files) directorySize += 8 + 2 * file.name.size();
    if (directorySize > UINT32_MAX) return Failure{"too many names for the archive's directory"};

    fs::path temporaryPath = output;
    temporaryPath += ".partial";
    TemporaryFile temporary(temporaryPath);
    std::ofstream& out = temporary.Stream();
    if (!out) return Failure{"cannot write " + temporaryPath.string()};
    const std::vector<char> placeholder(archive::kFormat2HeaderSize + directorySize);
    out.write(placeholder.data(), std::streamsize(placeholder.size()));

    ContentReader reader(contents);
    CompressionPool pool(options.threads, options.levels);
    // Enough blocks ahead to keep every thread busy while the oldest is written.
    const size_t ahead = size_t(pool.Threads()) + 1;
    std::vector<WrittenBlock> written;
    uint64_t done = 0, archiveBytes = placeholder.size();
    auto writeNext = [&]() -> Failure {
        CompressedBlock block = pool.TakeNext();
        if (block.failed) return Failure{"cannot compress a block (out of memory?)"};
        out.write(reinterpret_cast<const char*>(block.stored.data()),
                  std::streamsize(block.stored.size()));
        archiveBytes += block.stored.size();
        done += block.decodedSize;
        if (progress) progress(done, total);
        written.push_back(
            {block.codec, uint32_t(block.stored.size()), block.decodedSize, block.check});
        return {};
    };
    for (const PlannedBlock& planned : plan.blocks) {
        std::vector<unsigned char> decoded(planned.decodedSize);
        size_t at = 0;
        for (const Piece& piece : planned.pieces) {
            if (!reader.Read(piece, decoded.data() + at))
                return Failure{"cannot read " + reader.File(piece.content).path.string() +
                               " (or it changed while packing)"};
            at += piece.size;
        }
        pool.Submit(std::move(decoded));
        while (pool.InFlight() > ahead)
            if (Failure failure = writeNext()) return failure;
    }
    while (pool.InFlight() > 0)
        if (Failure failure = writeNext()) return failure;

    std::vector<unsigned char> directory = Directory(plan, written, files, contentOf);
    archive::Header header;
    header.format = 2;
    header.entryCount = int32_t(files.size());
    header.totalSize = int32_t(total);
    header.contentCount = uint32_t(plan.contents.size());
    header.blockCount = uint32_t(plan.blocks.size());
    header.directorySize = uint32_t(directory.size());
    unsigned char words[archive::kFormat2HeaderSize];
    archive::PutFormat2Header(header, words);
    header.directoryCheck =
        archive::Crc32(directory.data(), directory.size(), archive::Crc32(words, 24));
    archive::PutFormat2Header(header, words);
    out.seekp(0);
    out.write(reinterpret_cast<const char*>(words), sizeof words);
    out.write(reinterpret_cast<const char*>(directory.data()), std::streamsize(directory.size()));
    if (Failure failure = temporary.Keep(output)) return failure;

    if (summary) {
        summary->contents = header.contentCount;
        for (const WrittenBlock& block : written) ++summary->blocks[size_t(block.codec)];
        summary->archiveBytes = archiveBytes;
    }
    return {};
}

}  // namespace pack
