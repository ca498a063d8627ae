// The installer's worker reads its payload through the decoding pool (CDecodeAhead): entries read
// and decoded ahead on threads within a byte budget, small entries decoded by the writer at their
// turn, handed over in archive order. Run as the worker runs it, on one thread, on a pool with
// little headroom, and on a pool that leaves small entries to the writer, it is held to the
// promises of the entry-by-entry reader: each run agrees with `pack --list`; an entry is accepted
// exactly when an independent streaming inflate of its block ends inside the block with the
// declared size, and then with the same bytes; nothing past the input is read; the bytes held for
// entries not yet handed over stay within the budget; nothing is allocated beyond what the input's
// blocks could decode to. Format-2 input goes through ArchiveReader and the block pool
// (CBlockDecodeAhead) instead: the pool, on one thread and on two, must hand over the same entries
// with the same bytes and fail at the same entry with the same reason as the reader alone.
#include <algorithm>
#include <atomic>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "archive/archive_format.h"
#include "archive/archive_reader.h"
#include "archive/block_decode_ahead.h"
#include "archive/block_format.h"
#include "archive/decode_ahead.h"
#include "archive/entry_name.h"
#include "fuzz/allocation_watch.h"
#include "fuzz/archive_oracle.h"
#include "fuzz/block_reseal.h"
#include "fuzz/check.h"
#include "tests/support/ahead_bytes.h"
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

// What a format-2 run handed over: each good entry's name and bytes, and how it ended.
struct BlockRun {
    bool headerRead = false;
    std::vector<std::u16string> names;
    std::vector<std::string> bytes;
    archive::EntryError error = archive::EntryError::None;
    bool operator==(const BlockRun& other) const {
        return headerRead == other.headerRead && names == other.names && bytes == other.bytes &&
               error == other.error;
    }
};

BlockRun ReadBlocksAlone(const uint8_t* data, size_t size) {
    BlockRun run;
    archive::ArchiveReader reader(data, size);
    run.headerRead = reader.ReadHeader();
    if (!run.headerRead) {
        run.error = reader.HeaderError();
        return run;
    }
    for (int32_t i = 0; i < reader.GetHeader().entryCount; ++i) {
        archive::ReadEntry entry;
        run.error = reader.Next(entry);
        if (run.error != archive::EntryError::None) return run;
        fuzz::AllocationWatch::Pause pause;
        run.names.push_back(entry.name);
        run.bytes.emplace_back(reinterpret_cast<const char*>(entry.data), size_t(entry.size));
    }
    run.error = reader.Finish();
    return run;
}

// As the worker takes them: the last entry carries the checks of the whole (with its bytes), an
// unsafe name is handed over unsafe.
BlockRun ReadBlocksOnPool(const uint8_t* data, size_t size, const DecodeOptions& options) {
    BlockRun run;
    fuzz::InPlaceSource source(data, size);
    archive::Header header;
    run.headerRead = archive::ReadHeader(source, header);
    if (!run.headerRead) {
        run.error = archive::EntryError::ShortRead;
        return run;
    }
    const std::atomic<bool> cancel{false};
    DecodeStats stats;
    {
        CBlockDecodeAhead ahead(source, header, options, cancel, stats);
        for (int32_t i = 0; i < header.entryCount; ++i) {
            const AheadEntry& entry = ahead.Next();
            fuzz::AllocationWatch::Pause pause;
            run.error = entry.error;
            // The pool opens the directory itself: its faults arrive with the first entry.
            if (i == 0 && run.error == archive::EntryError::DirectoryDamaged) {
                run.headerRead = false;
                break;
            }
            if (run.error == archive::EntryError::None && !entry.safe)
                run.error = archive::EntryError::UnsafeName;
            const bool endCheck = run.error == archive::EntryError::UnnamedContent ||
                                  run.error == archive::EntryError::EntryTableLength ||
                                  run.error == archive::EntryError::TotalMismatch;
            if (run.error != archive::EntryError::None &&
                !(i + 1 == header.entryCount && endCheck && entry.nameRead && entry.safe))
                break;
            FUZZ_CHECK(entry.pieceSize <= uint32_t(entry.size) &&
                           entry.pieceSize <= archive::kMaxBlockSize,
                       "a piece is at most a block and its entry");
            std::string bytes;
            const archive::EntryError pieces = testing_support::JoinPieces(ahead, entry, bytes);
            if (pieces != archive::EntryError::None) {
                run.error = pieces;
                break;
            }
            run.names.emplace_back(entry.name.begin(), entry.name.end());
            run.bytes.push_back(std::move(bytes));
        }
    }
    FUZZ_CHECK(stats.peakHeld <= stats.budget, "the bytes held stay within the budget");
    return run;
}

void CompareBlockRuns(const uint8_t* data, size_t size, const DecodeOptions (&runs)[3]) {
    // Two blocks of the largest size the input's bytes could justify per thread, the entry being
    // handed over, and the pool's threads.
    const size_t justified =
        4 * size_t(std::min<uint64_t>(
                archive::kMaxBlockSize,
                archive::MaxBlockDecodedSize(archive::Codec::Zstd, uint32_t(size)))) +
        16 * size + (2 << 20);
    // With no entry the worker asks the pool for nothing, so there is nothing to compare.
    if (size < 8 || fuzz::LittleEndian32(data + 4) == 0) return;
    const BlockRun alone = ReadBlocksAlone(data, size);
    for (const DecodeOptions& options : runs) {
        fuzz::AllocationWatch watch;
        const BlockRun pooled = ReadBlocksOnPool(data, size, options);
        FUZZ_CHECK(watch.Peak() <= justified, "memory the input justifies");
        FUZZ_CHECK(pooled == alone, "the pool hands over what the reader alone reads");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr uint64_t kHeadroom = 4096;
    const DecodeOptions runs[] = {
        {0, 0, 0},           // the single-thread path
        {2, kHeadroom, 0},   // every entry on the pool, little room beyond the largest
        {2, kHeadroom, 64},  // entries under 64 bytes decoded by the writer at their turn
    };
    if (size >= 4 && fuzz::LittleEndian32(data) >> 31) {
        CompareBlockRuns(data, size, runs);
        std::vector<uint8_t> resealed;
        if (fuzz::Resealed(data, size, resealed))
            CompareBlockRuns(resealed.data(), resealed.size(), runs);
        return 0;
    }
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
