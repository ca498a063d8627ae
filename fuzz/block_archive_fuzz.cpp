// The reader of either format (ArchiveReader) over format-2 input, held to what an independent
// reading of the header and the block table says: the header is taken exactly when its words and
// its directory's check (zlib's CRC-32) are right; every accepted entry holds its content's
// declared size, and its bytes are those of its blocks, each block's decoded bytes matching the
// block's check (the blocks recomputed here, with zlib for deflate); an entry names the content
// before it or the next one; every data pointer lies inside the input or in memory the reader holds
// for the entry; nothing is allocated beyond what the blocks the input can hold justify. Each input
// is read as it is and again with its directory's check resealed.
#include <sanitizer/asan_interface.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/block_format.h"
#include "fuzz/allocation_watch.h"
#include "fuzz/block_reseal.h"
#include "fuzz/check.h"

namespace {

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint32_t ZlibCrc(const void* data, size_t size) {
    return uint32_t(crc32(crc32(0, nullptr, 0), static_cast<const Bytef*>(data), uInt(size)));
}

// The header and tables as the format describes them, read without the reader's code.
struct Layout {
    bool valid = false;
    uint32_t entries = 0, total = 0, contents = 0, blocks = 0, directorySize = 0;
    const uint8_t* blockTable = nullptr;
    const uint8_t* contentTable = nullptr;
    const uint8_t* data = nullptr;  // the block data
    size_t dataSize = 0;
    std::vector<uint64_t> offsets;  // where each block begins in the block data
};

Layout ReadLayout(const uint8_t* input, size_t size) {
    Layout l;
    if (size < 28 || Le32(input) != archive::kFormat2Word) return l;
    l.entries = Le32(input + 4);
    l.total = Le32(input + 8);
    l.contents = Le32(input + 12);
    l.blocks = Le32(input + 16);
    l.directorySize = Le32(input + 20);
    if (l.entries >> 31 || l.total >> 31 || l.contents > l.entries) return l;
    if (l.directorySize > size - 28 ||
        16 * (uint64_t(l.blocks) + l.contents) + 8 * uint64_t(l.entries) > l.directorySize)
        return l;
    uint32_t check = uint32_t(crc32(crc32(0, nullptr, 0), input, 24));
    check = uint32_t(crc32(check, input + 28, l.directorySize));
    if (check != Le32(input + 24)) return l;
    l.valid = true;
    l.blockTable = input + 28;
    l.contentTable = l.blockTable + 16 * size_t(l.blocks);
    l.data = input + 28 + l.directorySize;
    l.dataSize = size - 28 - l.directorySize;
    uint64_t at = 0;
    for (uint32_t b = 0; b < l.blocks; ++b) {
        l.offsets.push_back(at);
        at += Le32(l.blockTable + 16 * size_t(b) + 4);
    }
    l.offsets.push_back(at);
    return l;
}

struct Block {
    uint8_t codec;
    uint32_t stored, decoded, check;
};

Block BlockAt(const Layout& l, uint32_t b) {
    const uint8_t* r = l.blockTable + 16 * size_t(b);
    return {r[0], Le32(r + 4), Le32(r + 8), Le32(r + 12)};
}

// What a block's bytes could justify holding: its declared size when the bytes lie in the input,
// no more than its codec can make of them and never past the block limit.
uint64_t JustifiedBlock(const Layout& l, uint32_t b) {
    const Block block = BlockAt(l, b);
    if (l.offsets[b + 1] > l.dataSize || block.codec > 2) return 0;
    return std::min<uint64_t>(
        {block.decoded, archive::kMaxBlockSize,
         archive::MaxBlockDecodedSize(archive::Codec(block.codec), block.stored)});
}

// A block's decoded bytes, decoded here; empty when it does not decode to its declared size.
std::string DecodeBlock(const Layout& l, uint32_t b) {
    const Block block = BlockAt(l, b);
    const uint8_t* stored = l.data + l.offsets[b];
    std::string out;
    switch (block.codec) {
        case 0:
            out.assign(reinterpret_cast<const char*>(stored), block.stored);
            break;
        case 1: {
            z_stream z{};
            if (inflateInit2(&z, -15) != Z_OK) return {};
            out.resize(block.decoded);
            z.next_in = const_cast<Bytef*>(stored);
            z.avail_in = block.stored;
            z.next_out = reinterpret_cast<Bytef*>(out.data());
            z.avail_out = uInt(out.size());
            const int status = inflate(&z, Z_FINISH);
            const bool exact = status == Z_STREAM_END && z.avail_in == 0 && z.avail_out == 0;
            inflateEnd(&z);
            if (!exact) return {};
            break;
        }
        case 2: {
            out.resize(block.decoded);
            const size_t n = ZSTD_decompress(out.data(), out.size(), stored, block.stored);
            if (ZSTD_isError(n) || n != block.decoded) return {};
            break;
        }
        default:
            return {};
    }
    return out;
}

// The entry's bytes against its blocks: each block's share of them has the block's check, and a
// content inside one block is the block's bytes from its offset, decoded here.
void CheckBytes(const Layout& l, uint32_t content, const unsigned char* data, int32_t size) {
    const uint8_t* r = l.contentTable + 16 * size_t(content);
    const uint32_t first = Le32(r), count = Le32(r + 4), offset = Le32(r + 8),
                   declared = Le32(r + 12);
    FUZZ_CHECK(uint32_t(size) == declared, "an entry holds its content's declared size");
    if (declared == 0) return;
    FUZZ_CHECK(count >= 1 && uint64_t(first) + count <= l.blocks, "a content within the table");
    FUZZ_CHECK(l.offsets[first + count] <= l.dataSize, "a content's blocks within the input");
    if (count == 1) {
        const Block block = BlockAt(l, first);
        const std::string decoded = DecodeBlock(l, first);
        FUZZ_CHECK(decoded.size() == block.decoded, "the block decodes to its declared size here");
        FUZZ_CHECK(ZlibCrc(decoded.data(), decoded.size()) == block.check, "the block's check");
        FUZZ_CHECK(uint64_t(offset) + declared <= decoded.size(), "the content inside its block");
        FUZZ_CHECK(std::memcmp(decoded.data() + offset, data, declared) == 0,
                   "the content is its block's bytes from its offset");
        return;
    }
    uint64_t at = 0;
    for (uint32_t b = first; b < first + count; ++b) {
        const Block block = BlockAt(l, b);
        FUZZ_CHECK(at + block.decoded <= declared, "a cut content is the sum of its blocks");
        FUZZ_CHECK(ZlibCrc(data + at, block.decoded) == block.check,
                   "each block's share of a cut content has the block's check");
        at += block.decoded;
    }
    FUZZ_CHECK(at == declared, "a cut content is the sum of its blocks");
}

// The entry's bytes lie inside the input, or in memory the reader holds for all of them.
void CheckPlace(const uint8_t* input, size_t inputSize, const unsigned char* data, int32_t size) {
    if (size == 0) return;
    FUZZ_CHECK(data != nullptr, "data for a non-empty entry");
    const uintptr_t p = uintptr_t(data), begin = uintptr_t(input), end = begin + inputSize;
    if (p >= begin && p < end) {
        FUZZ_CHECK(uint64_t(size) <= end - p, "an entry's bytes end inside the input");
        return;
    }
    FUZZ_CHECK(__asan_region_is_poisoned(const_cast<unsigned char*>(data), size_t(size)) == nullptr,
               "an entry's bytes in memory the reader holds");
}

// The reader over one input, held to every promise above.
void Read(const uint8_t* input, size_t size) {
    const Layout layout = ReadLayout(input, size);
    // Held at once at most: a block being decoded and the one before it, the largest content, the
    // names, and the decoders' own state.
    uint64_t largestBlock = 0, largestContent = 0;
    if (layout.valid) {
        for (uint32_t b = 0; b < layout.blocks; ++b)
            largestBlock = std::max(largestBlock, JustifiedBlock(layout, b));
        for (uint32_t c = 0; c < layout.contents; ++c) {
            const uint8_t* r = layout.contentTable + 16 * size_t(c);
            const uint32_t first = Le32(r), count = Le32(r + 4);
            uint64_t held = 0;
            for (uint64_t b = first; b < uint64_t(first) + count && b < layout.blocks; ++b)
                held += JustifiedBlock(layout, uint32_t(b));
            largestContent = std::max(largestContent, std::min<uint64_t>(held, Le32(r + 12)));
        }
    }
    const uint64_t justified = 2 * largestBlock + largestContent + 16 * uint64_t(size) + (2 << 20);

    fuzz::AllocationWatch watch;
    {
        archive::ArchiveReader reader(input, size);
        const bool headerRead = reader.ReadHeader();
        if (size >= 4 && Le32(input) >> 31) {
            fuzz::AllocationWatch::Pause pause;
            FUZZ_CHECK(headerRead == layout.valid, "the header taken exactly when it is right");
        }
        if (headerRead && reader.GetHeader().format == 2) {
            uint32_t introduced = 0;
            uint64_t named = 0;
            int32_t accepted = 0;
            archive::EntryError error = archive::EntryError::None;
            for (; accepted < reader.GetHeader().entryCount; ++accepted) {
                archive::ReadEntry entry;
                error = reader.Next(entry);
                if (error != archive::EntryError::None) break;
                fuzz::AllocationWatch::Pause pause;
                FUZZ_CHECK(entry.content < layout.contents, "a content of the table");
                const bool next = entry.content == introduced;
                FUZZ_CHECK(next || (accepted > 0 && entry.content + 1 == introduced),
                           "the content before or the next one");
                FUZZ_CHECK(entry.repeat == !next, "a repeat is the content before");
                if (next) ++introduced;
                CheckPlace(input, size, entry.data, entry.size);
                CheckBytes(layout, entry.content, entry.data, entry.size);
                named += uint32_t(entry.size);
            }
            if (error == archive::EntryError::None &&
                reader.Finish() == archive::EntryError::None) {
                fuzz::AllocationWatch::Pause pause;
                FUZZ_CHECK(introduced == layout.contents, "every content named");
                FUZZ_CHECK(named == layout.total, "the total is the sum of the entries");
                FUZZ_CHECK(layout.offsets.back() <= layout.dataSize,
                           "every block inside the input");
                FUZZ_CHECK(reader.TrailingBytes() == layout.dataSize - layout.offsets.back(),
                           "the bytes after the last block");
            }
        }
    }
    FUZZ_CHECK(watch.Peak() <= justified, "memory the input justifies");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    Read(input, size);
    std::vector<uint8_t> resealed;
    if (fuzz::Resealed(input, size, resealed)) Read(resealed.data(), resealed.size());
    return 0;
}
