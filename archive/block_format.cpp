#include "archive/block_format.h"

#include <libdeflate.h>

#include <algorithm>
#include <new>

#include "archive/entry_name.h"

namespace archive {

namespace {

uint32_t Get32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}

}  // namespace

uint64_t MaxBlockDecodedSize(Codec codec, uint32_t storedSize) {
    switch (codec) {
        case Codec::Stored:
            return storedSize;
        case Codec::Deflate:
            return MaxDecodedSize(storedSize);
        case Codec::Zstd:
            // Every zstd block takes a 3-byte header and decodes to at most 128 KiB.
            return (uint64_t(storedSize) / 3 + 1) * 131072;
    }
    return 0;
}

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
    // libdeflate gives 0 for a null buffer, which an empty one may be.
    return size ? libdeflate_crc32(crc, data, size) : crc;
}

void PutFormat2Header(const Header& header, unsigned char out[kFormat2HeaderSize]) {
    Put32(out, kFormat2Word);
    Put32(out + 4, uint32_t(header.entryCount));
    Put32(out + 8, uint32_t(header.totalSize));
    Put32(out + 12, header.contentCount);
    Put32(out + 16, header.blockCount);
    Put32(out + 20, header.directorySize);
    Put32(out + 24, header.directoryCheck);
}

EntryError BlockDirectory::Open(const Header& header, const unsigned char* rest, size_t restSize) {
    m_header = header;
    if (!rest && restSize) return EntryError::ShortRead;
    if (header.format != 2 || header.directorySize > restSize) return EntryError::DirectoryDamaged;
    const uint64_t tables = uint64_t(header.blockCount) * kBlockRecordSize +
                            uint64_t(header.contentCount) * kContentRecordSize;
    const uint64_t least = tables + uint64_t(header.entryCount) * kEntryRecordFixedSize;
    if (least > header.directorySize || header.contentCount > uint32_t(header.entryCount))
        return EntryError::DirectoryDamaged;
    unsigned char words[kFormat2HeaderSize];
    PutFormat2Header(header, words);
    const uint32_t check = Crc32(rest, header.directorySize, Crc32(words, 24));
    if (check != header.directoryCheck) return EntryError::DirectoryDamaged;

    m_directory = rest;
    m_data = rest + header.directorySize;
    m_dataSize = restSize - header.directorySize;
    // The block table's own bytes justify this much.
    try {
        m_blockOffsets.assign(size_t(header.blockCount) + 1, 0);
    } catch (const std::bad_alloc&) {
        return EntryError::OutOfMemory;
    }
    for (uint32_t b = 0; b < header.blockCount; ++b)
        m_blockOffsets[b + 1] =
            m_blockOffsets[b] + Get32(m_directory + size_t(b) * kBlockRecordSize + 4);
    return EntryError::None;
}

uint64_t BlockDirectory::TrailingBytes() const {
    const uint64_t used = m_blockOffsets.empty() ? 0 : m_blockOffsets.back();
    return used < m_dataSize ? m_dataSize - used : 0;
}

bool BlockDirectory::BlocksFit() const {
    return m_blockOffsets.empty() || m_blockOffsets.back() <= m_dataSize;
}

EntryError BlockDirectory::Block(uint32_t index, BlockRecord& block) const {
    if (index >= m_header.blockCount) return EntryError::BadReference;
    const unsigned char* record = m_directory + size_t(index) * kBlockRecordSize;
    if (record[0] > uint8_t(Codec::Zstd)) return EntryError::UnknownCodec;
    block.codec = Codec(record[0]);
    block.storedSize = Get32(record + 4);
    block.decodedSize = Get32(record + 8);
    block.check = Get32(record + 12);
    if (record[1] || record[2] || record[3] || block.storedSize == 0 || block.decodedSize == 0 ||
        block.decodedSize > kMaxBlockSize ||
        block.decodedSize > MaxBlockDecodedSize(block.codec, block.storedSize) ||
        (block.codec == Codec::Stored && block.storedSize != block.decodedSize))
        return EntryError::BadBlock;
    if (m_blockOffsets[index + 1] > m_dataSize) return EntryError::BlockOutside;
    block.stored = m_data + m_blockOffsets[index];
    return EntryError::None;
}

ContentRecord BlockDirectory::RawContent(uint32_t index) const {
    const unsigned char* record = m_directory + size_t(m_header.blockCount) * kBlockRecordSize +
                                  size_t(index) * kContentRecordSize;
    return ContentRecord{Get32(record), Get32(record + 4), Get32(record + 8), Get32(record + 12)};
}

const unsigned char* BlockDirectory::EntryTable() const {
    return m_directory + size_t(m_header.blockCount) * kBlockRecordSize +
           size_t(m_header.contentCount) * kContentRecordSize;
}

size_t BlockDirectory::EntryTableSize() const {
    return size_t(m_directory + m_header.directorySize - EntryTable());
}

EntryError ContentCursor::Next(ContentRecord& record) {
    if (m_next >= m_directory.ContentCount()) return EntryError::BadReference;
    const ContentRecord content = m_directory.RawContent(m_next);
    if (static_cast<int32_t>(content.size) < 0) return EntryError::NegativeSize;
    if (content.size == 0) {
        if (content.firstBlock || content.blockCount || content.offset)
            return EntryError::ContentOutside;
    } else {
        const uint64_t end = uint64_t(content.firstBlock) + content.blockCount;
        if (content.blockCount == 0 || end > m_directory.BlockCount())
            return EntryError::ContentOutside;
        const bool insideOne = content.blockCount == 1;
        if (m_haveLast && (content.firstBlock < m_lastBlock ||
                           (content.firstBlock == m_lastBlock && !(insideOne && m_lastInsideOne))))
            return EntryError::ContentOrder;
        uint64_t decoded = 0;
        for (uint32_t b = content.firstBlock; b < end; ++b) {
            BlockRecord block;
            if (const EntryError error = m_directory.Block(b, block); error != EntryError::None)
                return error;
            decoded += block.decodedSize;
        }
        if (insideOne ? uint64_t(content.offset) + content.size > decoded
                      : content.offset != 0 || decoded != content.size)
            return EntryError::ContentOutside;
        m_haveLast = true;
        m_lastBlock = uint32_t(end - 1);
        m_lastInsideOne = insideOne;
    }
    record = content;
    ++m_next;
    return EntryError::None;
}

EntryCursor::EntryCursor(const BlockDirectory& directory)
    : m_directory(directory),
      m_at(directory.EntryTable()),
      m_end(directory.EntryTable() + directory.EntryTableSize()) {}

EntryError EntryCursor::Next(EntryRecord& entry) {
    if (size_t(m_end - m_at) < kEntryRecordFixedSize) return EntryError::EntryTableLength;
    const uint32_t content = Get32(m_at);
    const uint32_t length = Get32(m_at + 4);
    if (length == 0) return EntryError::EmptyName;
    if (length > kMaxEntryNameLength) return EntryError::NameTooLong;
    if (uint64_t(length) * 2 > size_t(m_end - m_at) - kEntryRecordFixedSize)
        return EntryError::EntryTableLength;
    std::u16string name;
    try {
        name.resize(length);
    } catch (const std::bad_alloc&) {
        return EntryError::OutOfMemory;
    }
    const unsigned char* units = m_at + kEntryRecordFixedSize;
    for (uint32_t i = 0; i < length; ++i) name[i] = char16_t(units[2 * i] | units[2 * i + 1] << 8);
    entry.name.swap(name);
    // The name is the entry's even when its reference is not: a failure can say whose it is.
    const bool repeat = m_read > 0 && content == m_introduced - 1;
    if (!repeat && (content != m_introduced || content >= m_directory.ContentCount()))
        return EntryError::BadReference;
    m_at = units + size_t(length) * 2;
    ++m_read;
    if (!repeat) ++m_introduced;
    entry.content = content;
    entry.repeat = repeat;
    return EntryError::None;
}

EntryError EntryCursor::Finish(uint64_t namedSizes) const {
    if (m_introduced != m_directory.ContentCount()) return EntryError::UnnamedContent;
    if (m_at != m_end) return EntryError::EntryTableLength;
    if (namedSizes != uint64_t(uint32_t(m_directory.GetHeader().totalSize)))
        return EntryError::TotalMismatch;
    if (!m_directory.BlocksFit()) return EntryError::BlockOutside;
    return EntryError::None;
}

}  // namespace archive
