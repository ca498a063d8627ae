#pragma once
// What the archive fuzz targets hold the installer's reader to, worked out independently of it:
// the payload as the installer holds it (bytes in memory, blocks decoded where they lie), and an
// entry's data checked against zlib's own streaming inflate of its block.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "archive/archive_format.h"
#include "fuzz/check.h"

namespace fuzz {

// The installer's payload: bytes in memory that blocks are decoded from in place.
class InPlaceSource final : public archive::ByteSource {
public:
    InPlaceSource(const uint8_t* data, size_t size, size_t at = 0)
        : m_data(data), m_size(size), m_at(std::min(at, size)) {}
    size_t Read(void* buffer, size_t count) override {
        const size_t n = std::min(count, m_size - m_at);
        if (n) std::memcpy(buffer, m_data + m_at, n);
        m_at += n;
        return n;
    }
    uint64_t Remaining() const override { return m_size - m_at; }
    const unsigned char* ReadInPlace(size_t count) override {
        if (count > m_size - m_at) return nullptr;
        m_at += count;
        return m_data + m_at - count;
    }
    size_t Position() const { return m_at; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_at = 0;
};

inline uint32_t LittleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The block's output by zlib's streaming decoder, up to one byte past `declared`, and whether the
// stream ended within the block.
struct Inflated {
    std::string bytes;
    bool ended = false;
};

inline Inflated Inflate(const uint8_t* block, size_t size, size_t declared) {
    Inflated result;
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return result;
    z.next_in = const_cast<Bytef*>(block);
    z.avail_in = uInt(size);
    unsigned char chunk[4096];
    int status = Z_OK;
    while (status == Z_OK && result.bytes.size() <= declared) {
        z.next_out = chunk;
        z.avail_out = sizeof chunk;
        status = inflate(&z, Z_NO_FLUSH);
        result.bytes.append(reinterpret_cast<const char*>(chunk), sizeof chunk - z.avail_out);
    }
    inflateEnd(&z);
    result.ended = status == Z_STREAM_END;
    return result;
}

// Checks one entry's data as the reader decoded it (or refused it) against the entry whose sizes
// start at `at` in the input. Returns where the entry's block ends, or 0 when the entry is not
// good: an entry is accepted exactly when an independent inflate of its block ends inside the
// block with the declared size, and then it holds those bytes.
inline size_t CheckEntry(const uint8_t* data, size_t size, size_t at, archive::EntryError error,
                         const unsigned char* decoded, int32_t decodedSize) {
    if (size - at < 8) {
        FUZZ_CHECK(error == archive::EntryError::ShortRead, "sizes cut short");
        return 0;
    }
    const uint32_t declared = LittleEndian32(data + at);
    const uint32_t compressed = LittleEndian32(data + at + 4);
    const size_t block = at + 8;
    if (int32_t(declared) < 0 || int32_t(compressed) < 0) {
        FUZZ_CHECK(error == archive::EntryError::NegativeSize, "a size of 2 GiB or more");
        return 0;
    }
    if (compressed > size - block) {
        FUZZ_CHECK(error == archive::EntryError::ShortRead, "a block past the input");
        return 0;
    }
    const Inflated inflated = Inflate(data + block, compressed, declared);
    const bool good = inflated.ended && inflated.bytes.size() == declared;
    if (declared > archive::MaxDecodedSize(compressed)) {
        FUZZ_CHECK(!good, "a size called impossible was decoded");
        FUZZ_CHECK(error == archive::EntryError::ImpossibleSize, "an impossible size");
        return 0;
    }
    if (error == archive::EntryError::OutOfMemory) return 0;
    FUZZ_CHECK(good == (error == archive::EntryError::None), "accepted exactly the exact streams");
    if (!good) return 0;
    FUZZ_CHECK(decodedSize == int32_t(declared), "the declared size");
    FUZZ_CHECK(declared == 0 || std::memcmp(decoded, inflated.bytes.data(), declared) == 0,
               "the stream's bytes");
    return block + compressed;
}

}  // namespace fuzz
