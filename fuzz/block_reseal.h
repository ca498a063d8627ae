#pragma once
// A mutation almost never keeps a format-2 directory's check right, so the targets read each
// input again with the check recomputed: damage inside the directory then reaches the rules behind
// the check. The check is zlib's CRC-32, not the reader's.

#include <zlib.h>

#include <cstdint>
#include <vector>

namespace fuzz {

// `input` with its directory's check recomputed; false when it is no format-2 input whose
// directory lies inside it, or the check was right already.
inline bool Resealed(const uint8_t* input, size_t size, std::vector<uint8_t>& out) {
    auto le32 = [&](size_t at) {
        return uint32_t(input[at]) | uint32_t(input[at + 1]) << 8 | uint32_t(input[at + 2]) << 16 |
               uint32_t(input[at + 3]) << 24;
    };
    if (size < 28 || le32(0) != 0x80000002u || le32(20) > size - 28) return false;
    uint32_t check = uint32_t(crc32(crc32(0, nullptr, 0), input, 24));
    check = uint32_t(crc32(check, input + 28, le32(20)));
    if (check == le32(24)) return false;
    out.assign(input, input + size);
    for (int i = 0; i < 4; ++i) out[24 + i] = uint8_t(check >> (8 * i));
    return true;
}

}  // namespace fuzz
