// The installer's worker reads its payload through the decoding pool (CDecodeAhead): entries read
// and decoded ahead on threads within a byte budget, small entries decoded by the writer at their
// turn, handed over in archive order. Run as the worker runs it, on one thread, on a pool with
// little headroom, and on a pool that leaves small entries to the writer, it is held to the
// promises of the entry-by-entry reader: each run agrees with `pack --list`; an entry is accepted
// exactly when an independent streaming inflate of its block ends inside the block with the
// declared size, and then with the same bytes; nothing past the input is read; the bytes held for
// entries not yet handed over stay within the budget; nothing is allocated beyond what the input's
// blocks could decode to.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <sstream>
#include <string>

#include "archive/archive_format.h"
#include "archive/decode_ahead.h"
#include "archive/entry_name.h"
#include "fuzz/allocation_watch.h"
#include "fuzz/archive_oracle.h"
#include "fuzz/check.h"
#include "tools/pack/packer.h"

namespace {

struct Run {
    int accepted = 0;
    bool failed = false;
};

// As the worker's loop takes the entries: the first that is not good ends the run. Each entry's
// place in the input is found by reading its name there again, so that a pool that lost its place
// shows as data that does not match.
Run ReadAsWorker(const uint8_t* data, size_t size, const DecodeOptions& options) {
    Run run;
    fuzz::InPlaceSource source(data, size);
    archive::Header header;
    if (!archive::ReadHeader(source, header)) {
        run.failed = true;
        return run;
    }
    const std::atomic<bool> cancel{false};
    DecodeStats stats;
    {
        CDecodeAhead ahead(source, header.entryCount, options, cancel, stats);
        size_t at = 8;
        for (int32_t index = 0; index < header.entryCount; ++index) {
            const AheadEntry& entry = ahead.Next();
            fuzz::AllocationWatch::Pause pause;
            fuzz::InPlaceSource here(data, size, at);
            std::u16string name;
            const bool nameRead = archive::ReadName(here, name) == archive::EntryError::None;
            FUZZ_CHECK(entry.nameRead == nameRead, "the name read where the entry starts");
            if (!entry.nameRead) break;
            FUZZ_CHECK(entry.name == std::wstring(name.begin(), name.end()), "the entry's name");
            FUZZ_CHECK(entry.safe == (FindEntryNameFault(name) == EntryNameFault::None),
                       "the name rule");
            if (!entry.safe) break;
            at = fuzz::CheckEntry(data, size, here.Position(), entry.error, entry.data, entry.size);
            if (entry.error != archive::EntryError::None) break;
            FUZZ_CHECK(at != 0, "a good entry ends where its block does");
            ++run.accepted;
        }
    }
    run.failed = run.accepted < header.entryCount;
    FUZZ_CHECK(stats.peakHeld <= stats.budget, "the bytes held stay within the budget");
    return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr uint64_t kHeadroom = 4096;
    const DecodeOptions runs[] = {
        {0, 0, 0},           // the single-thread path
        {2, kHeadroom, 0},   // every entry on the pool, little room beyond the largest
        {2, kHeadroom, 64},  // entries under 64 bytes decoded by the writer at their turn
    };
    // Held at once: what the budget allows (twice the largest entry, or it plus the headroom), a
    // name and a decoder's state per entry in the window, and the pool's threads.
    const size_t justified =
        2 * size_t(archive::MaxDecodedSize(uint32_t(size))) + kHeadroom + 16 * size + (512 << 10);

    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    std::ostringstream listing;
    const bool listFailed = bool(pack::ListArchive(in, size, listing));
    const std::string text = listing.str();
    const long listed = long(std::count(text.begin(), text.end(), '\n'));

    for (const DecodeOptions& options : runs) {
        fuzz::AllocationWatch watch;
        const Run run = ReadAsWorker(data, size, options);
        FUZZ_CHECK(watch.Peak() <= justified, "memory the input justifies");
        FUZZ_CHECK(run.failed == listFailed, "pack --list fails exactly where the worker does");
        if (run.failed) FUZZ_CHECK(listed == run.accepted, "pack --list lists as many entries");
    }
    return 0;
}
