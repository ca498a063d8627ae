#pragma once
// Reads archive entries ahead of the one being written and decodes them on a small pool of
// threads, handing them back strictly in archive order. The bytes held for entries not yet
// written stay within a budget set by the largest entry met so far, and no entry is decoded twice.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "archive/archive_format.h"

struct DecodeOptions {
    // Pool threads. 0 is the single-thread path: each entry is read and decoded on the caller's
    // thread when it is its turn, nothing ahead.
    unsigned threads = 0;
    // Bytes that may be held beyond the largest entry.
    uint64_t headroom = 0;
    // Entries smaller than this are decoded by the writer when their turn comes: they decode in
    // far less time than their file takes to create, so a hand-over to the pool only costs.
    uint32_t poolFrom = 0;
};

// As many as the machine has hardware threads, at most 8, at least 1 (0 means unknown).
unsigned DecodeThreadCount(unsigned hardwareThreads);
// The largest entry plus the headroom, or twice the largest entry when that is more.
uint64_t DecodeBudget(uint64_t largestEntry, uint64_t headroom);
// The pool on this machine with 56 MiB of headroom.
DecodeOptions DefaultDecodeOptions();

// What a run's decoding did; readable while it runs.
struct DecodeStats {
    std::atomic<int32_t> decoded{0};    // entries decoded
    std::atomic<uint64_t> peakHeld{0};  // most bytes held at once for entries not yet written
    std::atomic<uint64_t> budget{0};    // the budget at the end
    std::atomic<unsigned> threads{0};   // pool threads that ran

    // Raises peakHeld to `held` when that is more, whichever thread sees it first.
    void RaisePeakHeld(uint64_t held) {
        uint64_t seen = peakHeld.load(std::memory_order_relaxed);
        while (seen < held && !peakHeld.compare_exchange_weak(seen, held)) {
        }
    }
};

// One entry as the writer gets it, in archive order. A run stops at the first entry that is not
// good: its name could not be read, it is unsafe, or its data could not be read or decoded.
struct AheadEntry {
    bool nameRead = false;
    bool safe = false;
    std::wstring name;
    archive::EntryError error = archive::EntryError::None;
    const unsigned char* data = nullptr;
    int32_t size = 0;
    // Bytes at `data`: the whole entry, or the first piece of one that comes in pieces (format 2's
    // content cut into blocks, a block at a time), whose rest NextPiece gives.
    uint32_t pieceSize = 0;
};

// The entries of a run in archive order, whichever the archive's format: what the writer takes.
class AheadEntries {
public:
    virtual ~AheadEntries() = default;
    // The next entry, once decoded; it stays valid until the next call. Not to be called again
    // after an entry that is not good, nor more than the header's entry count times.
    virtual const AheadEntry& Next() = 0;
    // The next piece of the entry Next gave last, valid until the next call; only while the
    // pieces given so far hold less than its size. A piece that cannot be read gives its reason,
    // and the run stops there.
    virtual archive::EntryError NextPiece(const unsigned char*& data, uint32_t& size) = 0;
};

class CDecodeAhead final : public AheadEntries {
public:
    // Reads `entryCount` entries from `source` (positioned after the header) as the caller asks
    // for them. The pool stops taking work once `cancel` is set.
    CDecodeAhead(archive::ByteSource& source, int32_t entryCount, const DecodeOptions& options,
                 const std::atomic<bool>& cancel, DecodeStats& stats);
    // Stops the pool and joins every thread of it.
    ~CDecodeAhead() override;
    CDecodeAhead(const CDecodeAhead&) = delete;
    CDecodeAhead& operator=(const CDecodeAhead&) = delete;

    const AheadEntry& Next() override;
    // Its entries never come in pieces.
    archive::EntryError NextPiece(const unsigned char*&, uint32_t&) override {
        return archive::EntryError::ShortRead;
    }

private:
    struct Slot;
    struct Job;

    void Fill();
    std::unique_ptr<Job> ReadHead();
    bool Admit(Job& job);
    bool ReadBlock(Job& job);
    void Release(std::unique_ptr<Job> job);
    void Decode(Job& job);
    Job* FindWork();
    void PoolThread();

    archive::ByteSource& m_source;
    const int32_t m_entryCount;
    const DecodeOptions m_options;
    const std::atomic<bool>& m_cancel;
    DecodeStats& m_stats;

    // The writer's thread only.
    int32_t m_read = 0;
    bool m_readEnded = false;
    std::unique_ptr<Job> m_waiting;  // read up to its block, not yet let in by the budget
    std::unique_ptr<Job> m_current;  // handed to the writer

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_ready;
    std::deque<std::unique_ptr<Job>> m_jobs;  // in archive order
    int32_t m_firstFailure = INT32_MAX;       // no entry after it is worth decoding
    std::vector<std::unique_ptr<Slot>> m_idle;
    uint64_t m_held = 0;
    uint64_t m_largest = 0;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};
