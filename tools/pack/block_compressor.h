#pragma once
// Compresses one block both ways and keeps what decodes fastest for nearly the least room.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "archive/block_format.h"

struct libdeflate_compressor;
struct ZSTD_CCtx_s;

namespace pack {

struct CodecLevels {
    int zstd = 19;
    int deflate = 12;
};
constexpr CodecLevels kReleaseLevels{19, 12};
constexpr CodecLevels kFastLevels{3, 6};

// Stored unless a codec saves 1/64 of the block; of the codecs, the smallest, or a faster one
// (deflate before zstd) within 1 % of it. A size of 0 is a codec that did not fit.
archive::Codec ChooseCodec(uint32_t decodedSize, size_t deflateSize, size_t zstdSize);

// The zstd window a block of `decodedSize` bytes needs, within what a reader accepts.
int ZstdWindowLog(uint32_t decodedSize);

struct CompressedBlock {
    archive::Codec codec = archive::Codec::Stored;
    std::vector<unsigned char> stored;
    uint32_t decodedSize = 0;
    uint32_t check = 0;
    bool failed = false;  // out of memory, or a codec refused the input
};

// One thread's compressors, reused block after block.
class BlockCompressor {
public:
    explicit BlockCompressor(const CodecLevels& levels);

    CompressedBlock Compress(std::vector<unsigned char> decoded);

private:
    struct Free {
        void operator()(ZSTD_CCtx_s* context) const;
        void operator()(libdeflate_compressor* compressor) const;
    };
    CodecLevels m_levels;
    std::unique_ptr<ZSTD_CCtx_s, Free> m_zstd;
    std::unique_ptr<libdeflate_compressor, Free> m_deflate;
};

}  // namespace pack
