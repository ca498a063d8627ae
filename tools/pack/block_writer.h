#pragma once
// Writes format 2: each distinct content once, in blocks compressed on every core.

#include <cstdint>
#include <filesystem>
#include <vector>

#include "tools/pack/block_compressor.h"
#include "tools/pack/packer.h"

namespace pack {

constexpr uint32_t kDefaultBlockSize = 8u << 20;

struct BlockOptions {
    uint32_t blockSize = kDefaultBlockSize;  // 1 byte to archive::kMaxBlockSize
    CodecLevels levels = kReleaseLevels;
    unsigned threads = 0;  // 0: as many as the machine has
};

// What was written, for the packer's closing line.
struct BlockSummary {
    uint32_t contents = 0;
    uint32_t blocks[3] = {};  // by codec
    uint64_t archiveBytes = 0;
};

// `files` as CollectFiles orders them for format 2, repeats right after their first. Written
// through a temporary file, so a failed run leaves no archive.
Failure WriteBlockArchive(const std::vector<SourceFile>& files, const std::filesystem::path& output,
                          const BlockOptions& options, const Progress& progress,
                          BlockSummary* summary = nullptr);

}  // namespace pack
