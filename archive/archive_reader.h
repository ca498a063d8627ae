#pragma once
// Reads an archive of either format front to back on the caller's thread, with every check the
// installer makes, its name rule included: the packer's --list and --extract, the installer's
// look at the names before it starts, the tests and the fuzz targets read through it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/block_codec.h"
#include "archive/block_format.h"
#include "archive/entry_name.h"

namespace archive {

struct ReadEntry {
    std::u16string name;
    const unsigned char* data = nullptr;  // valid until the next call
    int32_t size = 0;
    uint32_t content = 0;  // format 2: the content the entry names; format 1: the entry's index
    bool repeat = false;   // format 2: the same content as the entry before
    // The stored bytes first decoded for this entry: its block in format 1; in format 2 the
    // blocks its content began (0 for a repeat, or for a content in a block already decoded).
    int64_t storedBytes = 0;
    EntryNameFault nameFault = EntryNameFault::None;
};

class ArchiveReader {
public:
    // Over `size` bytes in memory that stay valid while it reads.
    ArchiveReader(const unsigned char* data, size_t size);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // The header and, for format 2, the directory's check. False when either fails.
    bool ReadHeader();
    const Header& GetHeader() const { return m_header; }
    // Why ReadHeader failed, for format 2's directory.
    EntryError HeaderError() const { return m_headerError; }

    // The next entry, decoded. Not to be called again after an entry that fails, nor more than the
    // header's entry count times.
    EntryError Next(ReadEntry& entry);
    // After the last entry: format 2's checks of the whole (every content named, the entry table
    // used exactly, the header's total); format 1 has none.
    EntryError Finish();
    // Bytes after the last entry (format 1) or block (format 2), which a reader ignores.
    uint64_t TrailingBytes() const;

private:
    EntryError NextFormat1(ReadEntry& entry);
    EntryError NextFormat2(ReadEntry& entry);
    EntryError DecodeContent(const ContentRecord& content, ReadEntry& entry);

    MemorySource m_source;
    Header m_header;
    EntryError m_headerError = EntryError::None;
    int32_t m_read = 0;
    // Format 1.
    EntryDecoder m_entryDecoder;
    // Format 2.
    BlockDirectory m_directory;
    std::unique_ptr<EntryCursor> m_entries;
    std::unique_ptr<ContentCursor> m_contents;
    BlockDecoder m_blockDecoder;
    Buffer m_block;  // the solid block decoded last
    bool m_haveBlock = false;
    uint32_t m_blockIndex = 0;
    const unsigned char* m_blockBytes = nullptr;
    Buffer m_joined;  // a content cut into blocks
    const unsigned char* m_contentBytes = nullptr;
    int32_t m_contentSize = 0;
    uint64_t m_namedSizes = 0;
};

// Every entry's name, without decoding anything; none when the names cannot all be read.
std::optional<std::vector<std::u16string>> ReadEntryNames(const unsigned char* data, size_t size);

}  // namespace archive
