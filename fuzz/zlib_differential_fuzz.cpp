// The installer's block decoder (libdeflate) against zlib's uncompress2, the decoder it replaced,
// over every entry of an archive: the same block and declared size go to both, and they must agree
// on whether the entry is good and, when it is, on its bytes. zlib decides as the installer used
// to: a good entry decodes with Z_OK to exactly its declared size, with one byte of room beyond it.
//
// One difference is known and allowed: libdeflate decodes deflate codes that RFC 1951 reserves or
// forbids where zlib refuses them (literal/length 286 and 287, distance 30 and 31, more than 286
// or 30 code lengths, a repeat past the code lengths, a precode of one codeword). Such a stream
// still needs its Adler-32 and the exact size to pass; zlib's own words name the construct, and
// any other disagreement fails.
//
// Format 2's deflate blocks are compared the same way: the block decoder against zlib's raw
// inflate, which must end exactly at the block's end with the declared size and the block's check.
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/block_codec.h"
#include "archive/block_format.h"
#include "fuzz/archive_oracle.h"
#include "fuzz/block_reseal.h"
#include "fuzz/check.h"

namespace {

// The old decoding rule, with zlib.
bool ZlibAccepts(const uint8_t* block, const archive::EntrySizes& sizes, std::string& bytes) {
    const uLongf room = uLongf(sizes.size) + 1;
    std::unique_ptr<unsigned char[]> out(new unsigned char[room]);
    uLongf produced = room;
    uLong consumed = sizes.compressed;
    const int status = uncompress2(out.get(), &produced, block, &consumed);
    bytes.assign(reinterpret_cast<const char*>(out.get()), produced);
    return status == Z_OK && produced == sizes.size;
}

// zlib's reason for refusing the stream, in its own words.
std::string ZlibReason(const uint8_t* block, const archive::EntrySizes& sizes) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return "";
    z.next_in = const_cast<Bytef*>(block);
    z.avail_in = sizes.compressed;
    unsigned char chunk[4096];
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
    }
    const std::string reason = z.msg ? z.msg : "";
    inflateEnd(&z);
    return reason;
}

bool IsReservedCode(const std::string& reason) {
    for (const char* known : {"invalid literal/length code", "invalid distance code",
                              "too many length or distance symbols", "invalid bit length repeat",
                              "invalid code lengths set"})
        if (reason == known) return true;
    return false;
}

void Compare(const uint8_t* block, const archive::EntrySizes& sizes) {
    std::string zlibBytes;
    const bool zlibGood = ZlibAccepts(block, sizes, zlibBytes);
    archive::EntryDecoder decoder;
    const archive::EntryError error = decoder.Decode(block, sizes);
    if (error == archive::EntryError::OutOfMemory) return;
    const bool good = error == archive::EntryError::None;
    if (good && !zlibGood) {
        FUZZ_CHECK(IsReservedCode(ZlibReason(block, sizes)),
                   "only a reserved deflate code separates the decoders");
        return;
    }
    FUZZ_CHECK(good == zlibGood, "the same verdict as uncompress2");
    if (!good) return;
    FUZZ_CHECK(decoder.Size() == int32_t(sizes.size), "the declared size");
    FUZZ_CHECK(sizes.size == 0 || std::memcmp(decoder.Data(), zlibBytes.data(), sizes.size) == 0,
               "the same bytes as uncompress2");
}

// zlib's raw inflate of a format-2 deflate block: good when it ends exactly at the block's end
// with the declared size and the bytes have the block's check.
bool ZlibAcceptsBlock(const archive::BlockRecord& block, std::string& bytes, std::string& reason) {
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    bytes.assign(size_t(block.decodedSize) + 1, '\0');
    z.next_in = const_cast<Bytef*>(block.stored);
    z.avail_in = block.storedSize;
    z.next_out = reinterpret_cast<Bytef*>(bytes.data());
    z.avail_out = uInt(bytes.size());
    const int status = inflate(&z, Z_FINISH);
    reason = z.msg ? z.msg : "";
    bytes.resize(bytes.size() - z.avail_out);
    const bool exact = status == Z_STREAM_END && z.avail_in == 0;
    inflateEnd(&z);
    return exact && bytes.size() == block.decodedSize &&
           uint32_t(crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size()))) ==
               block.check;
}

void CompareBlocks(const uint8_t* data, size_t size) {
    fuzz::InPlaceSource source(data, size);
    archive::Header header;
    if (!archive::ReadHeader(source, header) || header.format != 2) return;
    archive::BlockDirectory directory;
    if (directory.Open(header, data + source.Position(), size - source.Position()) !=
        archive::EntryError::None)
        return;
    archive::BlockDecoder decoder;
    for (uint32_t b = 0; b < directory.BlockCount(); ++b) {
        archive::BlockRecord block;
        if (directory.Block(b, block) != archive::EntryError::None ||
            block.codec != archive::Codec::Deflate)
            continue;
        std::string zlibBytes, reason;
        const bool zlibGood = ZlibAcceptsBlock(block, zlibBytes, reason);
        std::unique_ptr<unsigned char[]> out(new unsigned char[block.decodedSize]);
        const bool good = decoder.Decode(block, out.get()) == archive::EntryError::None;
        if (good && !zlibGood) {
            FUZZ_CHECK(IsReservedCode(reason),
                       "only a reserved deflate code separates the decoders");
            continue;
        }
        FUZZ_CHECK(good == zlibGood, "the same verdict on a deflate block as zlib's raw inflate");
        if (good)
            FUZZ_CHECK(std::memcmp(out.get(), zlibBytes.data(), block.decodedSize) == 0,
                       "the same bytes as zlib's raw inflate");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size >= 4 && fuzz::LittleEndian32(data) >> 31) {
        CompareBlocks(data, size);
        std::vector<uint8_t> resealed;
        if (fuzz::Resealed(data, size, resealed)) CompareBlocks(resealed.data(), resealed.size());
        return 0;
    }
    fuzz::InPlaceSource source(data, size);
    archive::Header header;
    if (!archive::ReadHeader(source, header)) return 0;
    for (int32_t index = 0; index < header.entryCount; ++index) {
        // The name is not this target's concern: any that can be read will do.
        std::u16string name;
        if (archive::ReadName(source, name) != archive::EntryError::None) return 0;
        archive::EntrySizes sizes;
        if (archive::ReadSizes(source, sizes) != archive::EntryError::None) return 0;
        const unsigned char* block = source.ReadInPlace(sizes.compressed);
        if (!block) return 0;
        Compare(block, sizes);
    }
    return 0;
}
