#pragma once
// Finds the files of a folder that hold the same bytes, so that format 2 stores them once.

#include <vector>

#include "tools/pack/packer.h"

namespace pack {

// Reads every file, records its CRC-32, and moves each file whose bytes equal an earlier one's
// (compared in full) right after it, marked as a repeat. With `lastPinned` the final file stays
// last. Entries the packer makes itself are never shared: their bytes depend on this order.
Failure GroupIdenticalFiles(std::vector<SourceFile>& files, bool lastPinned);

}  // namespace pack
