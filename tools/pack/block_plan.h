#pragma once
// Which bytes of which content go into which block: arithmetic over sizes alone.

#include <cstdint>
#include <vector>

#include "archive/block_format.h"

namespace pack {

// A run of one content's bytes, laid in a block after the pieces before it.
struct Piece {
    uint32_t content = 0;
    uint32_t offset = 0;  // into the content
    uint32_t size = 0;
};

struct PlannedBlock {
    uint32_t decodedSize = 0;
    std::vector<Piece> pieces;
};

struct BlockPlan {
    std::vector<archive::ContentRecord> contents;
    std::vector<PlannedBlock> blocks;
};

// Contents smaller than `blockSize` share solid blocks in order, none cut across two; a larger one
// is cut into blocks of exactly `blockSize` and a last shorter one, used by it alone.
BlockPlan PlanBlocks(const std::vector<uint32_t>& contentSizes, uint32_t blockSize);

}  // namespace pack
