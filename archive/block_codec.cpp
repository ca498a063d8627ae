#include "archive/block_codec.h"

#define ZSTD_STATIC_LINKING_ONLY
#include <libdeflate.h>
#include <zstd.h>

#include <cstring>

namespace archive {

namespace {

EntryError Checked(const BlockRecord& block, const unsigned char* bytes) {
    return Crc32(bytes, block.decodedSize) == block.check ? EntryError::None
                                                          : EntryError::ChecksumMismatch;
}

}  // namespace

BlockDecoder::BlockDecoder() = default;
BlockDecoder::~BlockDecoder() = default;

void BlockDecoder::Free::operator()(libdeflate_decompressor* decompressor) const {
    libdeflate_free_decompressor(decompressor);
}

void BlockDecoder::Free::operator()(ZSTD_DCtx_s* context) const {
    ZSTD_freeDCtx(context);
}

EntryError BlockDecoder::Decode(const BlockRecord& block, unsigned char* out) {
    EntryError error = EntryError::None;
    switch (block.codec) {
        case Codec::Stored:
            std::memcpy(out, block.stored, block.decodedSize);
            break;
        case Codec::Deflate:
            error = Inflate(block, out);
            break;
        case Codec::Zstd:
            error = Unzstd(block, out);
            break;
        default:
            error = EntryError::UnknownCodec;
    }
    return error == EntryError::None ? Checked(block, out) : error;
}

EntryError BlockDecoder::Inflate(const BlockRecord& block, unsigned char* out) {
    if (!m_inflate) m_inflate.reset(libdeflate_alloc_decompressor());
    if (!m_inflate) return EntryError::OutOfMemory;
    size_t consumed = 0, produced = 0;
    const libdeflate_result status =
        libdeflate_deflate_decompress_ex(m_inflate.get(), block.stored, block.storedSize, out,
                                         block.decodedSize, &consumed, &produced);
    if (status == LIBDEFLATE_INSUFFICIENT_SPACE) return EntryError::SizeMismatch;
    if (status != LIBDEFLATE_SUCCESS || consumed != block.storedSize)
        return EntryError::DecodeFailed;
    return produced == block.decodedSize ? EntryError::None : EntryError::SizeMismatch;
}

// One frame that fills the block and declares the block's size, with no dictionary: decoded in one
// call into exactly that room, so the decoder never streams and never holds a window of its own.
EntryError BlockDecoder::Unzstd(const BlockRecord& block, unsigned char* out) {
    ZSTD_frameHeader frame;
    if (ZSTD_getFrameHeader(&frame, block.stored, block.storedSize) != 0 ||
        frame.frameType != ZSTD_frame || frame.dictID != 0 ||
        frame.windowSize > (1ull << kMaxZstdWindowLog))
        return EntryError::DecodeFailed;
    if (frame.frameContentSize != block.decodedSize) return EntryError::SizeMismatch;
    if (ZSTD_findFrameCompressedSize(block.stored, block.storedSize) != block.storedSize)
        return EntryError::DecodeFailed;
    if (!m_zstd) {
        m_zstd.reset(ZSTD_createDCtx());
        if (!m_zstd) return EntryError::OutOfMemory;
        if (ZSTD_isError(
                ZSTD_DCtx_setParameter(m_zstd.get(), ZSTD_d_windowLogMax, int(kMaxZstdWindowLog))))
            return EntryError::OutOfMemory;
    }
    const size_t produced =
        ZSTD_decompressDCtx(m_zstd.get(), out, block.decodedSize, block.stored, block.storedSize);
    if (ZSTD_isError(produced)) return EntryError::DecodeFailed;
    return produced == block.decodedSize ? EntryError::None : EntryError::SizeMismatch;
}

EntryError CheckStoredBlock(const BlockRecord& block) {
    return Checked(block, block.stored);
}

}  // namespace archive
