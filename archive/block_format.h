#pragma once
// The layout of format 2 (docs/archive-format.md): contents stored once, in independent blocks,
// behind a directory with a check. Every rule a reader applies lives here, with no platform and no
// codec in it: the installer, the packer and the fuzz targets read through it, and the packer
// writes with its constants.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/archive_format.h"

namespace archive {

constexpr uint32_t kFormat2Word = 0x80000002u;
constexpr size_t kFormat2HeaderSize = 28;
constexpr size_t kBlockRecordSize = 16;
constexpr size_t kContentRecordSize = 16;
constexpr size_t kEntryRecordFixedSize = 8;
// Largest decoded block: what one decoding thread holds at most for a solid block.
constexpr uint32_t kMaxBlockSize = 64u << 20;
// The largest zstd window a block may ask for; a block is decoded whole, so this bounds nothing
// but what the frame may claim.
constexpr unsigned kMaxZstdWindowLog = 27;

enum class Codec : uint8_t { Stored = 0, Deflate = 1, Zstd = 2 };

// A block as its record declares it, with where its stored bytes lie.
struct BlockRecord {
    Codec codec = Codec::Stored;
    uint32_t storedSize = 0;
    uint32_t decodedSize = 0;
    uint32_t check = 0;
    const unsigned char* stored = nullptr;
};

struct ContentRecord {
    uint32_t firstBlock = 0;
    uint32_t blockCount = 0;
    uint32_t offset = 0;
    uint32_t size = 0;
};

// One entry of the entry table: its name and the content it names.
struct EntryRecord {
    std::u16string name;
    uint32_t content = 0;
    bool repeat = false;  // the same content as the entry before it
};

// Largest decoded size stored bytes of `codec` can justify: nothing is allocated beyond it.
uint64_t MaxBlockDecodedSize(Codec codec, uint32_t storedSize);

// The CRC-32 of zlib, gzip and PNG.
uint32_t Crc32(const void* data, size_t size, uint32_t crc = 0);

// The header's words, in the order they are written; `check` over the first six and the directory.
void PutFormat2Header(const Header& header, unsigned char out[kFormat2HeaderSize]);

// A format-2 archive's directory over bytes that outlive it. Open checks what the header and the
// directory's check decide; every other rule is checked when the entry that needs it is reached, so
// a fault fails at that entry and what comes before it reads as it would without the fault.
class BlockDirectory {
public:
    // `rest` is everything after the 28-byte header whose fields are in `header`.
    EntryError Open(const Header& header, const unsigned char* rest, size_t restSize);

    const Header& GetHeader() const { return m_header; }
    uint32_t BlockCount() const { return m_header.blockCount; }
    uint32_t ContentCount() const { return m_header.contentCount; }
    // Bytes after the last block, which a reader ignores.
    uint64_t TrailingBytes() const;
    // Whether the last block ends within the archive, named by a content or not.
    bool BlocksFit() const;

    // Block `index` whose fields pass the block rules and whose bytes lie within the archive.
    EntryError Block(uint32_t index, BlockRecord& block) const;
    // Content `index`, read raw: ContentCursor checks it against the blocks and the one before.
    ContentRecord RawContent(uint32_t index) const;
    const unsigned char* EntryTable() const;
    size_t EntryTableSize() const;

private:
    Header m_header;
    const unsigned char* m_directory = nullptr;
    const unsigned char* m_data = nullptr;
    uint64_t m_dataSize = 0;
    std::vector<uint64_t> m_blockOffsets;  // B + 1 running sums of the stored sizes
};

// Checks each content in turn against the rules of its kind and the content before it.
class ContentCursor {
public:
    explicit ContentCursor(const BlockDirectory& directory) : m_directory(directory) {}
    // The next content, checked; None and `record` filled, or the reason.
    EntryError Next(ContentRecord& record);
    uint32_t Checked() const { return m_next; }

private:
    const BlockDirectory& m_directory;
    uint32_t m_next = 0;
    bool m_haveLast = false;
    uint32_t m_lastBlock = 0;
    bool m_lastInsideOne = false;
};

// Walks the entry table, checking each record's length, name and content reference.
class EntryCursor {
public:
    explicit EntryCursor(const BlockDirectory& directory);
    // The next entry; its name is filled once read, also when its reference then fails.
    EntryError Next(EntryRecord& entry);
    uint32_t Read() const { return m_read; }
    // After the last entry: every content named, the table used exactly, the total right, every
    // block within the archive.
    // `namedSizes` is the sum of the sizes of the contents the entries named, once per entry.
    EntryError Finish(uint64_t namedSizes) const;

private:
    const BlockDirectory& m_directory;
    const unsigned char* m_at;
    const unsigned char* m_end;
    uint32_t m_read = 0;
    uint32_t m_introduced = 0;
};

}  // namespace archive
