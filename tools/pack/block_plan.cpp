#include "tools/pack/block_plan.h"

namespace pack {

BlockPlan PlanBlocks(const std::vector<uint32_t>& contentSizes, uint32_t blockSize) {
    BlockPlan plan;
    plan.contents.resize(contentSizes.size());
    bool solidOpen = false;  // the last block may still take small contents
    for (uint32_t c = 0; c < contentSizes.size(); ++c) {
        const uint32_t size = contentSizes[c];
        archive::ContentRecord& record = plan.contents[c];
        record.size = size;
        if (size == 0) continue;
        if (size < blockSize) {
            if (!solidOpen || plan.blocks.back().decodedSize > blockSize - size) {
                plan.blocks.emplace_back();
                solidOpen = true;
            }
            PlannedBlock& block = plan.blocks.back();
            record.firstBlock = uint32_t(plan.blocks.size() - 1);
            record.blockCount = 1;
            record.offset = block.decodedSize;
            block.pieces.push_back({c, 0, size});
            block.decodedSize += size;
            continue;
        }
        solidOpen = false;
        record.firstBlock = uint32_t(plan.blocks.size());
        for (uint32_t offset = 0; offset < size; offset += blockSize) {
            const uint32_t part = size - offset < blockSize ? size - offset : blockSize;
            plan.blocks.push_back({part, {{c, offset, part}}});
        }
        record.blockCount = uint32_t(plan.blocks.size()) - record.firstBlock;
    }
    return plan;
}

}  // namespace pack
