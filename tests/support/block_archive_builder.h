#pragma once
// Builds format-2 archives field by field, including damaged ones: every field of a record can be
// set to a wrong value, and the directory's check is resealed over the damage unless asked not to,
// so that the damage reaches the rule meant to catch it.

#include <libdeflate.h>
#include <zstd.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/block_format.h"
#include "tests/support/archive_builder.h"

namespace testing_support {

// `data` as one raw deflate stream, or as one zstd frame that declares its content size.
inline Bytes DeflateBlock(const std::string& data, int level = 6) {
    return Compress(data, Wrapper::Raw, level);
}

inline Bytes ZstdBlock(const std::string& data, int level = 3, bool withChecksum = false,
                       bool withContentSize = true) {
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, withChecksum ? 1 : 0);
    ZSTD_CCtx_setParameter(context, ZSTD_c_contentSizeFlag, withContentSize ? 1 : 0);
    Bytes out(ZSTD_compressBound(data.size()));
    const size_t size = ZSTD_compress2(context, out.data(), out.size(), data.data(), data.size());
    ZSTD_freeCCtx(context);
    out.resize(ZSTD_isError(size) ? 0 : size);
    return out;
}

// A block record and its stored bytes. The fields start as the bytes make them; a test may then
// change any of them.
struct BlockSpec {
    uint8_t codec = 0;
    uint8_t reserved[3] = {0, 0, 0};
    uint32_t storedSize = 0;
    uint32_t decodedSize = 0;
    uint32_t check = 0;
    Bytes stored;
    std::string decoded;  // what the block holds, for the tests' expectations
};

struct ContentSpec {
    uint32_t firstBlock = 0;
    uint32_t blockCount = 0;
    uint32_t offset = 0;
    uint32_t size = 0;
};

struct EntrySpec {
    uint32_t content = 0;
    std::u16string name;
    std::optional<uint32_t> nameLength;  // the name's own length unless set
};

// Header fields left unset are what the tables make them.
struct HeaderSpec {
    std::optional<uint32_t> word, entryCount, totalSize, contentCount, blockCount, directorySize,
        check;
};

inline BlockSpec MakeBlock(archive::Codec codec, const std::string& decoded, Bytes stored) {
    BlockSpec block;
    block.codec = uint8_t(codec);
    block.storedSize = uint32_t(stored.size());
    block.decodedSize = uint32_t(decoded.size());
    block.check = archive::Crc32(decoded.data(), decoded.size());
    block.stored = std::move(stored);
    block.decoded = decoded;
    return block;
}

inline BlockSpec StoredBlock(const std::string& decoded) {
    return MakeBlock(archive::Codec::Stored, decoded, Bytes(decoded.begin(), decoded.end()));
}

inline BlockSpec CompressedBlock(archive::Codec codec, const std::string& decoded) {
    switch (codec) {
        case archive::Codec::Stored:
            return StoredBlock(decoded);
        case archive::Codec::Deflate:
            return MakeBlock(codec, decoded, DeflateBlock(decoded));
        case archive::Codec::Zstd:
            return MakeBlock(codec, decoded, ZstdBlock(decoded));
    }
    return StoredBlock(decoded);
}

class BlockArchiveBuilder {
public:
    std::vector<BlockSpec> blocks;
    std::vector<ContentSpec> contents;
    std::vector<EntrySpec> entries;
    HeaderSpec header;
    Bytes directoryTail;  // after the entry table, inside the directory
    Bytes trailing;       // after the last block

    uint32_t AddBlock(BlockSpec block) {
        blocks.push_back(std::move(block));
        return uint32_t(blocks.size() - 1);
    }
    uint32_t AddBlock(archive::Codec codec, const std::string& decoded) {
        return AddBlock(CompressedBlock(codec, decoded));
    }
    uint32_t AddContent(uint32_t firstBlock, uint32_t blockCount, uint32_t offset, uint32_t size) {
        contents.push_back({firstBlock, blockCount, offset, size});
        return uint32_t(contents.size() - 1);
    }
    // A content over the whole of `count` blocks from `first`.
    uint32_t AddWholeBlocks(uint32_t first, uint32_t count = 1) {
        uint32_t size = 0;
        for (uint32_t b = first; b < first + count; ++b) size += blocks[b].decodedSize;
        return AddContent(first, count, 0, size);
    }
    BlockArchiveBuilder& AddEntry(uint32_t content, const std::u16string& name) {
        entries.push_back({content, name, std::nullopt});
        return *this;
    }

    // The bytes a content's entries hold, from the blocks' decoded bytes.
    std::string ContentBytes(uint32_t index) const {
        const ContentSpec& c = contents[index];
        if (c.size == 0) return {};
        if (c.blockCount == 1) return blocks[c.firstBlock].decoded.substr(c.offset, c.size);
        std::string out;
        for (uint32_t b = c.firstBlock; b < c.firstBlock + c.blockCount; ++b)
            out += blocks[b].decoded;
        return out;
    }

    uint32_t SumOfNamedSizes() const {
        uint64_t sum = 0;
        for (const auto& e : entries)
            if (e.content < contents.size()) sum += contents[e.content].size;
        return uint32_t(sum);
    }

    Bytes Directory() const {
        Bytes out;
        for (const auto& b : blocks) {
            out.push_back(b.codec);
            out.insert(out.end(), b.reserved, b.reserved + 3);
            Put32(out, b.storedSize);
            Put32(out, b.decodedSize);
            Put32(out, b.check);
        }
        for (const auto& c : contents) {
            Put32(out, c.firstBlock);
            Put32(out, c.blockCount);
            Put32(out, c.offset);
            Put32(out, c.size);
        }
        for (const auto& e : entries) {
            Put32(out, e.content);
            Put32(out, e.nameLength.value_or(uint32_t(e.name.size())));
            for (char16_t c : e.name) {
                out.push_back(static_cast<unsigned char>(c & 0xFF));
                out.push_back(static_cast<unsigned char>(c >> 8));
            }
        }
        out.insert(out.end(), directoryTail.begin(), directoryTail.end());
        return out;
    }

    // The header as written, its check over the directory as it is now unless one is set.
    archive::Header BuiltHeader(const Bytes& directory) const {
        archive::Header h;
        h.format = 2;
        h.entryCount = int32_t(header.entryCount.value_or(uint32_t(entries.size())));
        h.totalSize = int32_t(header.totalSize.value_or(SumOfNamedSizes()));
        h.contentCount = header.contentCount.value_or(uint32_t(contents.size()));
        h.blockCount = header.blockCount.value_or(uint32_t(blocks.size()));
        h.directorySize = header.directorySize.value_or(uint32_t(directory.size()));
        unsigned char words[archive::kFormat2HeaderSize];
        archive::PutFormat2Header(h, words);
        if (header.word) PutWord(words, *header.word);
        // libdeflate's CRC of a null buffer is 0 whatever came before, and an empty vector's
        // data may be null.
        const uint32_t headerCrc = archive::Crc32(words, 24);
        const uint32_t sealed = directory.empty()
                                    ? headerCrc
                                    : archive::Crc32(directory.data(), directory.size(), headerCrc);
        h.directoryCheck = header.check.value_or(sealed);
        return h;
    }

    Bytes Build() const {
        const Bytes directory = Directory();
        const archive::Header h = BuiltHeader(directory);
        unsigned char words[archive::kFormat2HeaderSize];
        archive::PutFormat2Header(h, words);
        if (header.word) PutWord(words, *header.word);
        size_t size = sizeof words + directory.size() + trailing.size();
        for (const auto& b : blocks) size += b.stored.size();
        Bytes out(size);
        unsigned char* at = std::copy(words, words + sizeof words, out.data());
        at = std::copy(directory.begin(), directory.end(), at);
        for (const auto& b : blocks) at = std::copy(b.stored.begin(), b.stored.end(), at);
        std::copy(trailing.begin(), trailing.end(), at);
        return out;
    }

    // Where block `index`'s stored bytes begin in what Build returns.
    size_t BlockDataOffset(uint32_t index) const {
        size_t at = archive::kFormat2HeaderSize + Directory().size();
        for (uint32_t b = 0; b < index; ++b) at += blocks[b].stored.size();
        return at;
    }
    // Where the directory's entry table begins in what Build returns.
    size_t EntryTableOffset() const {
        return archive::kFormat2HeaderSize + blocks.size() * archive::kBlockRecordSize +
               contents.size() * archive::kContentRecordSize;
    }

private:
    static void PutWord(unsigned char* words, uint32_t v) {
        for (int i = 0; i < 4; ++i) words[i] = static_cast<unsigned char>(v >> (8 * i));
    }
};

}  // namespace testing_support
