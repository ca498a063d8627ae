#pragma once
// Decodes one block of format 2 with the codec it names and checks its bytes against the block's
// check. Each decoding thread owns one decoder.

#include <memory>

#include "archive/block_format.h"

struct libdeflate_decompressor;
struct ZSTD_DCtx_s;

namespace archive {

class BlockDecoder {
public:
    BlockDecoder();
    ~BlockDecoder();
    BlockDecoder(const BlockDecoder&) = delete;
    BlockDecoder& operator=(const BlockDecoder&) = delete;

    // Decodes `block` into `out`, which holds exactly its decoded size; a stored block is copied.
    EntryError Decode(const BlockRecord& block, unsigned char* out);

private:
    EntryError Inflate(const BlockRecord& block, unsigned char* out);
    EntryError Unzstd(const BlockRecord& block, unsigned char* out);

    struct Free {
        void operator()(libdeflate_decompressor* decompressor) const;
        void operator()(ZSTD_DCtx_s* context) const;
    };
    std::unique_ptr<libdeflate_decompressor, Free> m_inflate;
    std::unique_ptr<ZSTD_DCtx_s, Free> m_zstd;
};

// Whether a stored block's bytes, read in place, pass its check.
EntryError CheckStoredBlock(const BlockRecord& block);

}  // namespace archive
