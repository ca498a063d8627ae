#include "archive/archive_reader.h"

#include <utility>

namespace archive {

ArchiveReader::ArchiveReader(const unsigned char* data, size_t size) : m_source(data, size) {}

ArchiveReader::~ArchiveReader() = default;

bool ArchiveReader::ReadHeader() {
    if (!archive::ReadHeader(m_source, m_header)) {
        m_headerError = EntryError::ShortRead;
        return false;
    }
    if (m_header.format == 1) return true;
    const size_t rest = size_t(m_source.Remaining());
    m_headerError = m_directory.Open(m_header, m_source.ReadInPlace(rest), rest);
    if (m_headerError != EntryError::None) return false;
    m_entries = std::make_unique<EntryCursor>(m_directory);
    m_contents = std::make_unique<ContentCursor>(m_directory);
    return true;
}

EntryError ArchiveReader::Next(ReadEntry& entry) {
    entry = ReadEntry{};
    const EntryError error = m_header.format == 1 ? NextFormat1(entry) : NextFormat2(entry);
    if (error == EntryError::None) ++m_read;
    return error;
}

EntryError ArchiveReader::NextFormat1(ReadEntry& entry) {
    if (const EntryError error = ReadName(m_source, entry.name); error != EntryError::None)
        return error;
    // Refused before its data is read, as the installer refuses it before decoding.
    entry.nameFault = FindEntryNameFault(entry.name);
    if (entry.nameFault != EntryNameFault::None) return EntryError::UnsafeName;
    if (const EntryError error = m_entryDecoder.ReadData(m_source); error != EntryError::None)
        return error;
    entry.data = m_entryDecoder.Data();
    entry.size = m_entryDecoder.Size();
    entry.content = uint32_t(m_read);
    entry.storedBytes = m_entryDecoder.CompressedSize();
    return EntryError::None;
}

EntryError ArchiveReader::NextFormat2(ReadEntry& entry) {
    EntryRecord record;
    const EntryError error = m_entries->Next(record);
    entry.name.swap(record.name);
    if (error != EntryError::None) return error;
    entry.nameFault = FindEntryNameFault(entry.name);
    if (entry.nameFault != EntryNameFault::None) return EntryError::UnsafeName;
    entry.content = record.content;
    entry.repeat = record.repeat;
    if (!record.repeat) {
        ContentRecord content;
        if (const EntryError bad = m_contents->Next(content); bad != EntryError::None) return bad;
        if (const EntryError bad = DecodeContent(content, entry); bad != EntryError::None)
            return bad;
    }
    entry.data = m_contentBytes;
    entry.size = m_contentSize;
    m_namedSizes += uint64_t(m_contentSize);
    return EntryError::None;
}

EntryError ArchiveReader::DecodeContent(const ContentRecord& content, ReadEntry& entry) {
    static const unsigned char kEmpty = 0;
    m_contentBytes = &kEmpty;
    m_contentSize = int32_t(content.size);
    if (content.size == 0) return EntryError::None;

    if (content.blockCount == 1) {
        if (!m_haveBlock || m_blockIndex != content.firstBlock) {
            m_haveBlock = false;
            BlockRecord block;
            if (const EntryError error = m_directory.Block(content.firstBlock, block);
                error != EntryError::None)
                return error;
            entry.storedBytes = block.storedSize;
            if (block.codec == Codec::Stored) {
                if (const EntryError error = CheckStoredBlock(block); error != EntryError::None)
                    return error;
                m_blockBytes = block.stored;
            } else {
                if (!m_block.Reserve(block.decodedSize)) return EntryError::OutOfMemory;
                if (const EntryError error = m_blockDecoder.Decode(block, m_block.Data());
                    error != EntryError::None)
                    return error;
                m_blockBytes = m_block.Data();
            }
            m_haveBlock = true;
            m_blockIndex = content.firstBlock;
        }
        m_contentBytes = m_blockBytes + content.offset;
        return EntryError::None;
    }

    // The blocks of a content cut into blocks belong to it alone: they are joined into its bytes.
    m_haveBlock = false;
    if (!m_joined.Reserve(content.size)) return EntryError::OutOfMemory;
    size_t at = 0;
    for (uint32_t b = content.firstBlock; b < content.firstBlock + content.blockCount; ++b) {
        BlockRecord block;
        if (const EntryError error = m_directory.Block(b, block); error != EntryError::None)
            return error;
        entry.storedBytes += block.storedSize;
        if (const EntryError error = m_blockDecoder.Decode(block, m_joined.Data() + at);
            error != EntryError::None)
            return error;
        at += block.decodedSize;
    }
    m_contentBytes = m_joined.Data();
    return EntryError::None;
}

EntryError ArchiveReader::Finish() {
    if (m_header.format == 1 || !m_entries) return EntryError::None;
    return m_entries->Finish(m_namedSizes);
}

uint64_t ArchiveReader::TrailingBytes() const {
    return m_header.format == 1 ? m_source.Remaining() : m_directory.TrailingBytes();
}

std::optional<std::vector<std::u16string>> ReadEntryNames(const unsigned char* data, size_t size) {
    MemorySource source(data, size);
    Header header;
    if (!archive::ReadHeader(source, header)) return std::nullopt;
    std::vector<std::u16string> names;
    if (header.format == 2) {
        BlockDirectory directory;
        const size_t rest = size_t(source.Remaining());
        if (directory.Open(header, source.ReadInPlace(rest), rest) != EntryError::None)
            return std::nullopt;
        EntryCursor entries(directory);
        EntryRecord record;
        for (int32_t index = 0; index < header.entryCount; ++index) {
            if (entries.Next(record) != EntryError::None) return std::nullopt;
            names.push_back(std::move(record.name));
        }
        return names;
    }
    for (int32_t index = 0; index < header.entryCount; ++index) {
        std::u16string name;
        EntrySizes sizes;
        if (ReadName(source, name) != EntryError::None ||
            ReadSizes(source, sizes) != EntryError::None || !source.ReadInPlace(sizes.compressed))
            return std::nullopt;
        names.push_back(std::move(name));
    }
    return names;
}

}  // namespace archive
