#pragma once
// An entry's bytes as a pool hands them over, its pieces joined: what the writer would write.

#include <string>

#include "archive/decode_ahead.h"

namespace testing_support {

// The entry Next gave last, whole; the error of the first piece that could not be read.
inline archive::EntryError JoinPieces(AheadEntries& entries, const AheadEntry& entry,
                                      std::string& bytes) {
    bytes.assign(reinterpret_cast<const char*>(entry.data), entry.pieceSize);
    while (bytes.size() < size_t(entry.size)) {
        const unsigned char* data = nullptr;
        uint32_t size = 0;
        const archive::EntryError error = entries.NextPiece(data, size);
        if (error != archive::EntryError::None) return error;
        if (size == 0) return archive::EntryError::ShortRead;
        bytes.append(reinterpret_cast<const char*>(data), size);
    }
    return bytes.size() == size_t(entry.size) ? archive::EntryError::None
                                              : archive::EntryError::SizeMismatch;
}

}  // namespace testing_support
