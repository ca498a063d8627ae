// The archive reader one entry at a time (EntryDecoder::ReadData, as the packer reads; the
// installer's worker reads through the decoding pool, see decode_ahead_fuzz.cpp), from memory in
// place and as `pack --list` does (copied out of a stream), held to its promises: the two agree;
// an entry is accepted exactly when an independent streaming inflate of its block ends inside the
// block with the declared size, and then with the same bytes; nothing past the input is read;
// nothing is allocated beyond what the input's blocks could decode to.
#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>

#include "archive/archive_format.h"
#include "archive/block_format.h"
#include "archive/entry_name.h"
#include "fuzz/allocation_watch.h"
#include "fuzz/archive_oracle.h"
#include "fuzz/check.h"
#include "tools/pack/packer.h"

namespace {

using fuzz::InPlaceSource;
using fuzz::LittleEndian32;

// Reads entry after entry with the name rule first; returns how many entries it accepted and
// whether the run ended in failure.
std::pair<int, bool> ReadEntryByEntry(const uint8_t* data, size_t size) {
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
            const size_t end =
                fuzz::CheckEntry(data, size, at, error, decoder.Data(), decoder.Size());
            if (end)
                FUZZ_CHECK(source.Position() == end, "the whole block is consumed, and no more");
        }
        if (error != archive::EntryError::None) return {accepted, true};
        ++accepted;
    }
    return {accepted, false};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Format 2 is block_archive_fuzz's: this reader reads format 1 entry by entry.
    if (size >= 4 && LittleEndian32(data) == archive::kFormat2Word) return 0;
    // Every buffer the reader makes is for a name, a block or a decoded entry of this input.
    const size_t justified =
        size_t(archive::MaxDecodedSize(uint32_t(size))) + 16 * size + (256 << 10);

    fuzz::AllocationWatch readerWatch;
    const auto [accepted, failed] = ReadEntryByEntry(data, size);
    FUZZ_CHECK(readerWatch.Peak() <= justified, "memory the input justifies (entry by entry)");

    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream listing;
    fuzz::AllocationWatch listWatch;
    const pack::Failure failure = pack::ListArchive(in, size, listing);
    FUZZ_CHECK(listWatch.Peak() <= justified, "memory the input justifies (pack --list)");

    FUZZ_CHECK(bool(failure) == failed, "pack --list fails exactly where the reader does");
    const bool headerFault = size < 8 || int32_t(LittleEndian32(data)) < 0;
    if (headerFault) FUZZ_CHECK(failed, "a header cut short or counting below 0 is corrupt");
    if (failed && !headerFault)
        FUZZ_CHECK(failure.message.rfind("entry " + std::to_string(accepted + 1) + " of ", 0) == 0,
                   "pack --list stops at the reader's entry");
    const std::string text = listing.str();
    if (failed)
        FUZZ_CHECK(std::count(text.begin(), text.end(), '\n') == accepted,
                   "pack --list lists the entries before the fault");
    return 0;
}
