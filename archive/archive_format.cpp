#include "archive/archive_format.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "archive/entry_name.h"

namespace archive {

namespace {

uint32_t LittleEndian32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool ReadExactly(ByteSource& source, void* buffer, size_t count) {
    return source.Read(buffer, count) == count;
}

bool Read32(ByteSource& source, uint32_t& value) {
    unsigned char bytes[4];
    if (!ReadExactly(source, bytes, sizeof bytes)) return false;
    value = LittleEndian32(bytes);
    return true;
}

}  // namespace

size_t MemorySource::Read(void* buffer, size_t count) {
    count = std::min(count, m_left);
    if (count) std::memcpy(buffer, m_at, count);
    m_at += count;
    m_left -= count;
    return count;
}

const unsigned char* MemorySource::ReadInPlace(size_t count) {
    if (count > m_left) return nullptr;
    const unsigned char* bytes = m_at;
    m_at += count;
    m_left -= count;
    return bytes;
}

const char* Describe(EntryError error) {
    switch (error) {
        case EntryError::None:
            return "ok";
        case EntryError::ShortRead:
            return "the archive ends early";
        case EntryError::EmptyName:
            return "an entry name of length 0";
        case EntryError::NameTooLong:
            return "an entry name longer than a Windows path";
        case EntryError::NegativeSize:
            return "a size of 2 GiB or more";
        case EntryError::ImpossibleSize:
            return "a size no block of that length can decode to";
        case EntryError::OutOfMemory:
            return "not enough memory for the entry";
        case EntryError::DecodeFailed:
            return "a block that is not a valid zlib stream";
        case EntryError::SizeMismatch:
            return "a block that decodes to another size";
        case EntryError::DirectoryDamaged:
            return "a directory that is cut short or fails its check";
        case EntryError::UnknownCodec:
            return "a block of a codec this reader does not know";
        case EntryError::BadBlock:
            return "a block whose sizes break the format's rules";
        case EntryError::BlockOutside:
            return "a block that reaches past the end of the archive";
        case EntryError::ChecksumMismatch:
            return "a block whose decoded bytes fail their check";
        case EntryError::BadReference:
            return "an entry naming a content that is neither the one before nor the next";
        case EntryError::ContentOutside:
            return "a content that reaches outside its blocks";
        case EntryError::ContentOrder:
            return "a content that goes back to an earlier block";
        case EntryError::UnnamedContent:
            return "a content no entry names";
        case EntryError::EntryTableLength:
            return "an entry table of another length than its entries";
        case EntryError::TotalMismatch:
            return "a header whose total is not the sum of its entries";
        case EntryError::UnsafeName:
            return "a name that leads out of the folder or names a device";
    }
    return "unknown";
}

bool ReadHeader(ByteSource& source, Header& header) {
    unsigned char bytes[28];
    if (!ReadExactly(source, bytes, 8)) return false;
    const uint32_t first = LittleEndian32(bytes);
    header = Header{};
    if (first & 0x80000000u) {
        if (first != 0x80000002u || !ReadExactly(source, bytes + 8, 20)) return false;
        header.format = 2;
        header.entryCount = static_cast<int32_t>(LittleEndian32(bytes + 4));
        header.totalSize = static_cast<int32_t>(LittleEndian32(bytes + 8));
        header.contentCount = LittleEndian32(bytes + 12);
        header.blockCount = LittleEndian32(bytes + 16);
        header.directorySize = LittleEndian32(bytes + 20);
        header.directoryCheck = LittleEndian32(bytes + 24);
        return header.entryCount >= 0 && header.totalSize >= 0;
    }
    header.entryCount = static_cast<int32_t>(first);
    header.totalSize = static_cast<int32_t>(LittleEndian32(bytes + 4));
    return header.entryCount >= 0;
}

EntryError ReadName(ByteSource& source, std::u16string& name) {
    uint32_t length = 0;
    if (!Read32(source, length)) return EntryError::ShortRead;
    if (length == 0) return EntryError::EmptyName;
    const uint64_t bytes = uint64_t(length) * 2;
    if (bytes > source.Remaining()) return EntryError::ShortRead;
    if (length > kMaxEntryNameLength) return EntryError::NameTooLong;

    std::unique_ptr<unsigned char[]> raw(new (std::nothrow) unsigned char[bytes]);
    if (!raw) return EntryError::OutOfMemory;
    if (!ReadExactly(source, raw.get(), bytes)) return EntryError::ShortRead;

    std::u16string result;
    try {
        result.resize(length);
    } catch (const std::bad_alloc&) {
        return EntryError::OutOfMemory;
    }
    for (uint32_t i = 0; i < length; ++i) result[i] = char16_t(raw[2 * i] | raw[2 * i + 1] << 8);
    name.swap(result);
    return EntryError::None;
}

bool Buffer::Reserve(size_t size) {
    if (size <= m_capacity && m_data) return true;
    m_data.reset();
    m_capacity = 0;
    // At least one byte, so an empty entry still has a valid address to decode into.
    const size_t capacity = size ? size : 1;
    m_data.reset(new (std::nothrow) unsigned char[capacity]);
    if (!m_data) return false;
    m_capacity = capacity;
    return true;
}

uint64_t MaxDecodedSize(uint32_t compressed) {
    return uint64_t(compressed) * 1032 + 1024;
}

EntryError ReadSizes(ByteSource& source, EntrySizes& sizes) {
    if (!Read32(source, sizes.size)) return EntryError::ShortRead;
    if (!Read32(source, sizes.compressed)) return EntryError::ShortRead;
    // Both sizes are signed 32-bit numbers in the format; refuse before allocating anything.
    if (static_cast<int32_t>(sizes.size) < 0 || static_cast<int32_t>(sizes.compressed) < 0)
        return EntryError::NegativeSize;
    if (sizes.compressed > source.Remaining()) return EntryError::ShortRead;
    if (sizes.size > MaxDecodedSize(sizes.compressed)) return EntryError::ImpossibleSize;
    return EntryError::None;
}

EntryError EntryDecoder::ReadData(ByteSource& source) {
    EntrySizes sizes;
    if (const EntryError error = ReadSizes(source, sizes); error != EntryError::None) return error;
    const unsigned char* block = source.ReadInPlace(sizes.compressed);
    if (!block) {
        if (!m_block.Reserve(sizes.compressed)) return EntryError::OutOfMemory;
        if (!ReadExactly(source, m_block.Data(), sizes.compressed)) return EntryError::ShortRead;
        block = m_block.Data();
    }
    return Decode(block, sizes);
}

EntryDecoder::EntryDecoder() = default;
EntryDecoder::~EntryDecoder() = default;

void EntryDecoder::FreeDecompressor::operator()(libdeflate_decompressor* decompressor) const {
    libdeflate_free_decompressor(decompressor);
}

EntryError EntryDecoder::Decode(const unsigned char* block, const EntrySizes& sizes) {
    m_size = static_cast<int32_t>(sizes.size);
    m_compressedSize = static_cast<int32_t>(sizes.compressed);
    if (!m_decompressor) m_decompressor.reset(libdeflate_alloc_decompressor());
    if (!m_decompressor || !m_decoded.Reserve(sizes.size)) return EntryError::OutOfMemory;

    // Exactly the declared room: a stream that decodes longer is told apart as lacking space, and
    // asking for the bytes produced keeps a shorter one from passing.
    size_t consumed = 0, produced = 0;
    const libdeflate_result status =
        libdeflate_zlib_decompress_ex(m_decompressor.get(), block, sizes.compressed,
                                      m_decoded.Data(), sizes.size, &consumed, &produced);
    if (status == LIBDEFLATE_INSUFFICIENT_SPACE) return EntryError::SizeMismatch;
    if (status != LIBDEFLATE_SUCCESS) return EntryError::DecodeFailed;
    if (produced != sizes.size) return EntryError::SizeMismatch;
    return EntryError::None;
}

}  // namespace archive
