#pragma once
// The order of a format-2 archive's entries: files grouped by type, identical files together.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pack {

// A file's type: the extension of its last level, letter case folded; empty when it has none.
std::u16string TypeOf(std::u16string_view name);

// Names without a type first, then by type, then by name within a type.
bool TypeOrderLess(const std::u16string& a, const std::u16string& b);

// What two files must share to be compared byte for byte.
struct ContentKey {
    uint64_t size = 0;
    uint32_t crc = 0;
    bool operator==(const ContentKey& other) const {
        return size == other.size && crc == other.crc;
    }
};

// For each file, the index of the first file with the same bytes (itself when none comes before).
// A file without a key shares with none; `sameBytes` decides between candidates of equal keys.
std::vector<size_t> FirstIdentical(const std::vector<std::optional<ContentKey>>& keys,
                                   const std::function<bool(size_t, size_t)>& sameBytes);

// The order in which every file follows the first with its bytes. With `lastPinned`, the final
// file stays last: its group moves to the end instead.
std::vector<size_t> RepeatOrder(const std::vector<size_t>& first, bool lastPinned);

}  // namespace pack
