#pragma once
// Builds payload archives byte by byte, including malformed ones, for tests.

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "install/archive_format.h"

namespace testing_support {

using Bytes = std::vector<unsigned char>;

inline void Put32(Bytes& out, uint32_t v) {
    for (int s = 0; s < 32; s += 8) out.push_back(static_cast<unsigned char>(v >> s));
}

inline Bytes ZlibCompress(const std::string& data, int level = Z_DEFAULT_COMPRESSION) {
    uLongf size = compressBound(uLong(data.size()));
    Bytes out(size);
    compress2(out.data(), &size, reinterpret_cast<const Bytes::value_type*>(data.data()),
              uLong(data.size()), level);
    out.resize(size);
    return out;
}

// windowBits selects the wrapper: 15 zlib, -15 raw deflate, 31 gzip.
inline Bytes DeflateWith(const std::string& data, int windowBits) {
    z_stream z{};
    deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    Bytes out(deflateBound(&z, uLong(data.size())) + 32);
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
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
