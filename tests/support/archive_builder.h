#pragma once
// Builds payload archives byte by byte, including malformed ones, for tests.

#include <libdeflate.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "archive/archive_format.h"

namespace testing_support {

using Bytes = std::vector<unsigned char>;

inline void Put32(Bytes& out, uint32_t v) {
    for (int s = 0; s < 32; s += 8) out.push_back(static_cast<unsigned char>(v >> s));
}

enum class Wrapper { Zlib, Raw, Gzip };

// `data` compressed at `level` (libdeflate's 0 to 12) in the given wrapper.
inline Bytes Compress(const std::string& data, Wrapper wrapper, int level = 6) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    const size_t bound = libdeflate_zlib_compress_bound(compressor, data.size()) + 32;
    Bytes out(bound);
    size_t size = 0;
    switch (wrapper) {
        case Wrapper::Zlib:
            size =
                libdeflate_zlib_compress(compressor, data.data(), data.size(), out.data(), bound);
            break;
        case Wrapper::Raw:
            size = libdeflate_deflate_compress(compressor, data.data(), data.size(), out.data(),
                                               bound);
            break;
        case Wrapper::Gzip:
            size =
                libdeflate_gzip_compress(compressor, data.data(), data.size(), out.data(), bound);
            break;
    }
    libdeflate_free_compressor(compressor);
    out.resize(size);
    return out;
}

inline Bytes ZlibCompress(const std::string& data, int level = 6) {
    return Compress(data, Wrapper::Zlib, level);
}

inline void PutBigEndian32(Bytes& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<unsigned char>(v >> s));
}

// A zlib stream of `data` whose header asks for the preset dictionary `dictionary`.
inline Bytes WithPresetDictionary(const std::string& data, const std::string& dictionary) {
    Bytes out = {0x78, 0xBB};  // 32 KiB window, dictionary flag, check bits: 0x78BB % 31 == 0
    PutBigEndian32(out, libdeflate_adler32(1, dictionary.data(), dictionary.size()));
    const Bytes deflated = Compress(data, Wrapper::Raw);
    out.insert(out.end(), deflated.begin(), deflated.end());
    PutBigEndian32(out, libdeflate_adler32(1, data.data(), data.size()));
    return out;
}

struct RawEntry {
    std::u16string name;
    uint32_t size;
    Bytes block;
};

class ArchiveBuilder {
public:
    ArchiveBuilder& Add(const std::u16string& name, const std::string& data) {
        m_entries.push_back({name, uint32_t(data.size()), ZlibCompress(data)});
        return *this;
    }
    ArchiveBuilder& AddRaw(RawEntry entry) {
        m_entries.push_back(std::move(entry));
        return *this;
    }
    // Header fields default to the entry count and the sum of the sizes.
    Bytes Build(int64_t count = -1, int64_t total = -1) const {
        Bytes out;
        uint64_t sum = 0;
        for (const auto& e : m_entries) sum += e.size;
        Put32(out, uint32_t(count >= 0 ? count : int64_t(m_entries.size())));
        Put32(out, uint32_t(total >= 0 ? total : int64_t(sum)));
        for (const auto& e : m_entries) {
            Put32(out, uint32_t(e.name.size()));
            for (char16_t c : e.name) {
                out.push_back(static_cast<unsigned char>(c & 0xFF));
                out.push_back(static_cast<unsigned char>(c >> 8));
            }
            Put32(out, e.size);
            Put32(out, uint32_t(e.block.size()));
            out.insert(out.end(), e.block.begin(), e.block.end());
        }
        return out;
    }
    // Offset just past each entry, in build order.
    std::vector<size_t> EntryEnds() const {
        std::vector<size_t> ends;
        size_t at = 8;
        for (const auto& e : m_entries) {
            at += 4 + 2 * e.name.size() + 8 + e.block.size();
            ends.push_back(at);
        }
        return ends;
    }

private:
    std::vector<RawEntry> m_entries;
};

// Reads from memory; tells how much is left only when asked to.
class MemorySource : public archive::ByteSource {
public:
    MemorySource(const Bytes& bytes, size_t length, bool knowsRemaining = true)
        : m_bytes(bytes), m_length(std::min(length, bytes.size())), m_knows(knowsRemaining) {}
    explicit MemorySource(const Bytes& bytes) : MemorySource(bytes, bytes.size()) {}
    size_t Read(void* buffer, size_t count) override {
        const size_t n = std::min(count, m_length - m_at);
        if (n) std::memcpy(buffer, m_bytes.data() + m_at, n);
        m_at += n;
        return n;
    }
    uint64_t Remaining() const override { return m_knows ? m_length - m_at : UINT64_MAX; }

private:
    const Bytes& m_bytes;
    size_t m_length;
    size_t m_at = 0;
    bool m_knows;
};

}  // namespace testing_support
