#include "tools/pack/block_compressor.h"

#include <libdeflate.h>
#include <zstd.h>

namespace pack {

namespace {

// Compressed sizes a reader would refuse for this many decoded bytes do not count.
size_t Acceptable(archive::Codec codec, size_t size, uint32_t decodedSize) {
    if (size == 0 || size >= decodedSize) return 0;
    return archive::MaxBlockDecodedSize(codec, uint32_t(size)) < decodedSize ? 0 : size;
}

}  // namespace

archive::Codec ChooseCodec(uint32_t decodedSize, size_t deflateSize, size_t zstdSize) {
    deflateSize = Acceptable(archive::Codec::Deflate, deflateSize, decodedSize);
    zstdSize = Acceptable(archive::Codec::Zstd, zstdSize, decodedSize);
    size_t best = decodedSize;
    if (deflateSize && deflateSize < best) best = deflateSize;
    if (zstdSize && zstdSize < best) best = zstdSize;
    if (uint64_t(decodedSize - best) * 64 < decodedSize) return archive::Codec::Stored;
    if (deflateSize && uint64_t(deflateSize) * 100 <= uint64_t(best) * 101)
        return archive::Codec::Deflate;
    return archive::Codec::Zstd;
}

int ZstdWindowLog(uint32_t decodedSize) {
    int log = 10;  // the smallest window zstd takes
    while (log < int(archive::kMaxZstdWindowLog) && (uint64_t(1) << log) < decodedSize) ++log;
    return log;
}

BlockCompressor::BlockCompressor(const CodecLevels& levels)
    : m_levels(levels),
      m_zstd(ZSTD_createCCtx()),
      m_deflate(libdeflate_alloc_compressor(levels.deflate)) {}

void BlockCompressor::Free::operator()(ZSTD_CCtx_s* context) const {
    ZSTD_freeCCtx(context);
}

void BlockCompressor::Free::operator()(libdeflate_compressor* compressor) const {
    libdeflate_free_compressor(compressor);
}

CompressedBlock BlockCompressor::Compress(std::vector<unsigned char> decoded) {
    CompressedBlock block;
    block.decodedSize = uint32_t(decoded.size());
    block.check = archive::Crc32(decoded.data(), decoded.size());
    if (!m_zstd || !m_deflate) {
        block.failed = true;
        return block;
    }

    // Neither codec is worth keeping unless it comes out shorter than the block itself.
    std::vector<unsigned char> deflated(decoded.size());
    const size_t deflateSize = libdeflate_deflate_compress(
        m_deflate.get(), decoded.data(), decoded.size(), deflated.data(), deflated.size());

    std::vector<unsigned char> zstd(ZSTD_compressBound(decoded.size()));
    ZSTD_CCtx_reset(m_zstd.get(), ZSTD_reset_session_and_parameters);
    ZSTD_CCtx_setParameter(m_zstd.get(), ZSTD_c_compressionLevel, m_levels.zstd);
    ZSTD_CCtx_setParameter(m_zstd.get(), ZSTD_c_contentSizeFlag, 1);
    ZSTD_CCtx_setParameter(m_zstd.get(), ZSTD_c_checksumFlag, 0);
    ZSTD_CCtx_setParameter(m_zstd.get(), ZSTD_c_windowLog, ZstdWindowLog(block.decodedSize));
    const size_t zstdResult =
        ZSTD_compress2(m_zstd.get(), zstd.data(), zstd.size(), decoded.data(), decoded.size());
    if (ZSTD_isError(zstdResult)) {
        block.failed = true;
        return block;
    }

    block.codec = ChooseCodec(block.decodedSize, deflateSize, zstdResult);
    switch (block.codec) {
        case archive::Codec::Stored:
            block.stored = std::move(decoded);
            break;
        case archive::Codec::Deflate:
            deflated.resize(deflateSize);
            block.stored = std::move(deflated);
            break;
        case archive::Codec::Zstd:
            zstd.resize(zstdResult);
            block.stored = std::move(zstd);
            break;
    }
    return block;
}

}  // namespace pack
