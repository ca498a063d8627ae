// The payload reader as the installer takes it (the archive in memory, each block decoded where it
// lies, each name checked before its entry is decoded) and as `pack --list` does (copied out of a
// stream), held to its promises: the two agree; an entry is accepted exactly when an independent
// streaming inflate of its block ends inside the block with the declared size, and then with the
// same bytes; nothing past the input is read; nothing is allocated beyond what the input's blocks
// could decode to.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>

#include "fuzz/allocation_watch.h"
#include "fuzz/check.h"
#include "install/archive_format.h"
#include "install/entry_name.h"
#include "tools/pack/packer.h"

namespace {

// The installer's payload: bytes in memory that blocks are decoded from in place.
class InPlaceSource final : public archive::ByteSource {
public:
    InPlaceSource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
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

uint32_t LittleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The block's output by zlib's streaming decoder, up to one byte past `declared`, and whether the
// stream ended within the block.
struct Inflated {
    std::string bytes;
    bool ended = false;
};

Inflated Inflate(const uint8_t* block, size_t size, size_t declared) {
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

// Checks one entry's data as decoded (or refused) against the block it came from, which starts
// at `at` in the input.
void CheckEntry(const uint8_t* data, size_t size, size_t at, archive::EntryError error,
                const archive::EntryDecoder& decoder, size_t after) {
    if (size - at < 8) {
        FUZZ_CHECK(error == archive::EntryError::ShortRead, "sizes cut short");
        return;
    }
    const uint32_t declared = LittleEndian32(data + at);
    const uint32_t compressed = LittleEndian32(data + at + 4);
    const size_t block = at + 8;
    if (int32_t(declared) < 0 || int32_t(compressed) < 0) {
        FUZZ_CHECK(error == archive::EntryError::NegativeSize, "a size of 2 GiB or more");
        return;
    }
    if (compressed > size - block) {
        FUZZ_CHECK(error == archive::EntryError::ShortRead, "a block past the input");
        return;
    }
    const Inflated inflated = Inflate(data + block, compressed, declared);
    const bool good = inflated.ended && inflated.bytes.size() == declared;
    if (declared > archive::MaxDecodedSize(compressed)) {
        FUZZ_CHECK(!good, "a size called impossible was decoded");
        FUZZ_CHECK(error == archive::EntryError::ImpossibleSize, "an impossible size");
        return;
    }
    if (error == archive::EntryError::OutOfMemory) return;
    FUZZ_CHECK(good == (error == archive::EntryError::None), "accepted exactly the exact streams");
    if (!good) return;
    FUZZ_CHECK(after == block + compressed, "the whole block is consumed, and no more");
    FUZZ_CHECK(decoder.Size() == int32_t(declared), "the declared size");
    FUZZ_CHECK(declared == 0 || std::memcmp(decoder.Data(), inflated.bytes.data(), declared) == 0,
               "the stream's bytes");
}

// Reads as the installer's worker does; returns how many entries it accepted and whether the
// run ended in failure.
std::pair<int, bool> ReadAsInstaller(const uint8_t* data, size_t size) {
    InPlaceSource source(data, size);
    archive::Header header;
    if (!archive::ReadHeader(source, header)) return {0, true};
    archive::EntryDecoder decoder;
    int accepted = 0;
    for (int32_t index = 0; index < header.entryCount; ++index) {
        std::u16string name;
        if (archive::ReadName(source, name) != archive::EntryError::None) return {accepted, true};
        FUZZ_CHECK(name.size() <= kMaxEntryNameLength, "a name a path can carry");
        if (FindEntryNameFault(name) != EntryNameFault::None) return {accepted, true};
        const size_t at = source.Position();
        const archive::EntryError error = decoder.ReadData(source);
        {
            fuzz::AllocationWatch::Pause pause;
            CheckEntry(data, size, at, error, decoder, source.Position());
        }
        if (error != archive::EntryError::None) return {accepted, true};
        ++accepted;
    }
    return {accepted, false};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Every buffer the reader makes is for a name, a block or a decoded entry of this input.
    const size_t justified =
        size_t(archive::MaxDecodedSize(uint32_t(size))) + 16 * size + (256 << 10);

    fuzz::AllocationWatch installerWatch;
    const auto [accepted, failed] = ReadAsInstaller(data, size);
    FUZZ_CHECK(installerWatch.Peak() <= justified, "memory the input justifies (installer)");

    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream listing;
    fuzz::AllocationWatch listWatch;
    const pack::Failure failure = pack::ListArchive(in, size, listing);
    FUZZ_CHECK(listWatch.Peak() <= justified, "memory the input justifies (pack --list)");

    FUZZ_CHECK(bool(failure) == failed, "pack --list fails exactly where the installer does");
    const bool headerFault = size < 8 || int32_t(LittleEndian32(data)) < 0;
    if (headerFault) FUZZ_CHECK(failed, "a header cut short or counting below 0 is corrupt");
    if (failed && !headerFault)
        FUZZ_CHECK(failure.message.rfind("entry " + std::to_string(accepted + 1) + " of ", 0) == 0,
                   "pack --list stops at the installer's entry");
    const std::string text = listing.str();
    if (failed)
        FUZZ_CHECK(std::count(text.begin(), text.end(), '\n') == accepted,
                   "pack --list lists the entries before the fault");
    return 0;
}
