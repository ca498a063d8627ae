#pragma once
// A file's bytes as they reach the writer: those at hand and, for a large file that comes in
// pieces (the blocks of a content cut into blocks), where the rest comes from, so that no buffer
// ever holds the whole of it.

#include <cstdint>

class FilePieces {
public:
    virtual ~FilePieces() = default;
    // The next piece, valid until the next call; false, with the last error set, when it cannot
    // be had.
    virtual bool Next(const void*& data, uint32_t& size) = 0;
};

struct FileBytes {
    const void* data = nullptr;
    uint32_t size = 0;  // bytes at `data`
    int32_t total = 0;  // the whole file's; more than `size` only with `rest`
    FilePieces* rest = nullptr;

    static FileBytes Whole(const void* data, int32_t count) {
        return FileBytes{data, count > 0 ? uint32_t(count) : 0, count, nullptr};
    }
    bool InPieces() const { return rest && int64_t(size) < int64_t(total); }
};
