#include "archive/decode_ahead.h"

#include <algorithm>
#include <new>
#include <utility>

#include "archive/entry_name.h"
#include "platform/pool_threads.h"

namespace {

// Entries ahead per pool thread: enough to keep every thread busy, few enough that the decoders'
// buffers are reused in turn instead of being mapped afresh for each entry. The byte budget is
// what bounds memory.
constexpr size_t kWindowPerThread = 2;
// With the writers' 8 MiB of copies in flight (install/file_writer_pool), what is held for entries
// not yet written stays within the largest entry plus 64 MiB.
constexpr uint64_t kDefaultHeadroom = uint64_t(56) << 20;
// Decoding 256 KiB takes about as long as creating one file under Wine (0.3 ms).
constexpr uint32_t kDefaultPoolFrom = 256 * 1024;

}  // namespace

unsigned DecodeThreadCount(unsigned hardwareThreads) {
    return std::clamp(hardwareThreads, 1u, 8u);
}

uint64_t DecodeBudget(uint64_t largestEntry, uint64_t headroom) {
    return std::max(largestEntry + headroom, 2 * largestEntry);
}

DecodeOptions DefaultDecodeOptions() {
    return DecodeOptions{DecodeThreadCount(std::thread::hardware_concurrency()), kDefaultHeadroom,
                         kDefaultPoolFrom};
}

// A decoder whose output buffer outlives its entry, so a large entry's memory is reused by the
// next one instead of being mapped afresh.
struct CDecodeAhead::Slot {
    archive::EntryDecoder decoder;
    uint64_t capacity = 0;  // what its buffer holds: the largest entry it decoded
};

struct CDecodeAhead::Job {
    enum class State { Waiting, Decoding, Ready };
    int32_t index = 0;
    AheadEntry entry;
    State state = State::Ready;
    archive::EntrySizes sizes;
    const unsigned char* block = nullptr;
    std::unique_ptr<unsigned char[]> copy;  // the block, from a source that cannot lend it
    uint64_t copyCharge = 0;
    std::unique_ptr<Slot> slot;
    bool writerDecodes = false;

    bool NeedsDecoding() const {
        return entry.nameRead && entry.safe && entry.error == archive::EntryError::None;
    }
};

CDecodeAhead::CDecodeAhead(archive::ByteSource& source, int32_t entryCount,
                           const DecodeOptions& options, const std::atomic<bool>& cancel,
                           DecodeStats& stats)
    : m_source(source),
      m_entryCount(entryCount),
      m_options(options),
      m_cancel(cancel),
      m_stats(stats) {
    m_readEnded = entryCount <= 0;
    m_threads = StartPoolThreads(options.threads, [this] { PoolThread(); });
    m_stats.threads = unsigned(m_threads.size());
}

CDecodeAhead::~CDecodeAhead() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_work.notify_all();
    for (std::thread& thread : m_threads) thread.join();
}

const AheadEntry& CDecodeAhead::Next() {
    if (m_current) Release(std::move(m_current));
    Fill();
    std::unique_lock<std::mutex> lock(m_mutex);
    if (m_jobs.empty()) {
        // Asked past the last entry or past a failure: nothing good comes.
        m_current = std::make_unique<Job>();
        return m_current->entry;
    }
    Job& head = *m_jobs.front();
    if (head.state == Job::State::Waiting) {
        // No pool thread has taken it: decoding it here beats waiting for one to.
        head.state = Job::State::Decoding;
        lock.unlock();
        Decode(head);
        lock.lock();
        head.state = Job::State::Ready;
    } else {
        m_ready.wait(lock, [&] { return head.state == Job::State::Ready; });
    }
    m_current = std::move(m_jobs.front());
    m_jobs.pop_front();
    return m_current->entry;
}

void CDecodeAhead::Fill() {
    const size_t window = m_options.threads == 0 ? 1 : (m_options.threads + 1) * kWindowPerThread;
    while (m_waiting || !m_readEnded) {
        if (!m_waiting) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                if (m_jobs.size() >= window) return;
            }
            m_waiting = ReadHead();
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!Admit(*m_waiting)) return;
        }
        if (!ReadBlock(*m_waiting)) m_readEnded = true;
        bool forPool;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_waiting->state = m_waiting->NeedsDecoding() ? Job::State::Waiting : Job::State::Ready;
            m_waiting->writerDecodes = m_waiting->sizes.size < m_options.poolFrom;
            forPool = m_waiting->state == Job::State::Waiting && !m_waiting->writerDecodes;
            m_jobs.push_back(std::move(m_waiting));
        }
        // Under Wine every wake-up is a request to the server that creates the files: wake the
        // pool only for work of its own.
        if (forPool) m_work.notify_one();
    }
}

// The entry's name and sizes, checked before the budget trusts them; its block in place when the
// source can lend it. Reading stops at the first entry that cannot be good.
std::unique_ptr<CDecodeAhead::Job> CDecodeAhead::ReadHead() {
    auto job = std::make_unique<Job>();
    job->index = m_read++;
    m_readEnded = m_read >= m_entryCount;
    AheadEntry& entry = job->entry;
    std::u16string raw;
    entry.error = archive::ReadName(m_source, raw);
    entry.nameRead = entry.error == archive::EntryError::None;
    if (entry.nameRead) {
        entry.name.assign(raw.begin(), raw.end());
        entry.safe = IsSafeEntryName(entry.name);
    }
    if (!entry.nameRead || !entry.safe) {
        m_readEnded = true;
        return job;
    }
    entry.error = archive::ReadSizes(m_source, job->sizes);
    if (entry.error == archive::EntryError::None)
        job->block = m_source.ReadInPlace(job->sizes.compressed);
    else
        m_readEnded = true;
    return job;
}

// Lets the job in when the bytes held stay within the budget, giving it a decoder. Idle decoders'
// buffers count as held; they are dropped, largest first, to make room. With nothing else held
// the job always gets in, so the run always moves on.
bool CDecodeAhead::Admit(Job& job) {
    if (!job.NeedsDecoding()) return true;
    // An empty entry still takes a byte of buffer; the budget counts what is held.
    const uint64_t need = std::max<uint64_t>(job.sizes.size, 1);
    m_largest = std::max(m_largest, need);
    const uint64_t budget = DecodeBudget(m_largest, m_options.headroom);
    m_stats.budget = budget;
    const uint64_t copy = job.block ? 0 : job.sizes.compressed;

    // The smallest idle decoder that holds enough, or else the largest one, which grows least.
    auto fit = m_idle.end(), largest = m_idle.end();
    for (auto it = m_idle.begin(); it != m_idle.end(); ++it) {
        const uint64_t capacity = (*it)->capacity;
        if (capacity >= need && (fit == m_idle.end() || capacity < (*fit)->capacity)) fit = it;
        if (largest == m_idle.end() || capacity > (*largest)->capacity) largest = it;
    }
    std::unique_ptr<Slot> slot;
    if (fit != m_idle.end() || largest != m_idle.end()) {
        const auto chosen = fit != m_idle.end() ? fit : largest;
        slot = std::move(*chosen);
        m_idle.erase(chosen);
    }
    const uint64_t capacity = slot ? slot->capacity : 0;
    const uint64_t growth = capacity >= need ? 0 : need - capacity;
    while (m_held + growth + copy > budget && !m_idle.empty()) {
        const auto biggest = std::max_element(
            m_idle.begin(), m_idle.end(),
            [](const auto& a, const auto& b) { return a->capacity < b->capacity; });
        m_held -= (*biggest)->capacity;
        m_idle.erase(biggest);
    }
    const bool othersHeld = !m_jobs.empty() || m_current;
    if (m_held + growth + copy > budget && othersHeld) {
        if (slot) m_idle.push_back(std::move(slot));
        return false;
    }
    if (!slot) slot = std::make_unique<Slot>();
    slot->capacity += growth;
    m_held += growth + copy;
    job.copyCharge = copy;
    job.slot = std::move(slot);
    m_stats.RaisePeakHeld(m_held);
    return true;
}

// The block of an admitted job: in place, or copied when the source cannot lend it.
bool CDecodeAhead::ReadBlock(Job& job) {
    if (!job.NeedsDecoding() || job.block) return job.NeedsDecoding();
    const uint32_t length = job.sizes.compressed;
    job.copy.reset(new (std::nothrow) unsigned char[length ? length : 1]);
    if (!job.copy) {
        job.entry.error = archive::EntryError::OutOfMemory;
    } else if (m_source.Read(job.copy.get(), length) != length) {
        job.entry.error = archive::EntryError::ShortRead;
    } else {
        job.block = job.copy.get();
        return true;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held -= std::exchange(job.copyCharge, 0);
    return false;
}

void CDecodeAhead::Release(std::unique_ptr<Job> job) {
    job->copy.reset();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_held -= job->copyCharge;
    if (job->slot) m_idle.push_back(std::move(job->slot));
}

void CDecodeAhead::Decode(Job& job) {
    archive::EntryDecoder& decoder = job.slot->decoder;
    job.entry.error = decoder.Decode(job.block, job.sizes);
    job.entry.data = decoder.Data();
    job.entry.size = decoder.Size();
    job.entry.pieceSize = uint32_t(std::max(job.entry.size, 0));
    m_stats.decoded.fetch_add(1, std::memory_order_relaxed);
}

// The first job nobody has taken that is the pool's to decode; null when there is none, or when
// it lies past a failure.
CDecodeAhead::Job* CDecodeAhead::FindWork() {
    if (m_cancel.load(std::memory_order_relaxed)) return nullptr;
    for (const std::unique_ptr<Job>& job : m_jobs) {
        if (job->state != Job::State::Waiting || job->writerDecodes) continue;
        return job->index < m_firstFailure ? job.get() : nullptr;
    }
    return nullptr;
}

void CDecodeAhead::PoolThread() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        Job* work = nullptr;
        m_work.wait(lock, [&] { return m_stop || (work = FindWork()); });
        if (m_stop) return;
        Job& job = *work;
        job.state = Job::State::Decoding;
        lock.unlock();
        Decode(job);
        lock.lock();
        job.state = Job::State::Ready;
        if (job.entry.error != archive::EntryError::None)
            m_firstFailure = std::min(m_firstFailure, job.index);
        m_ready.notify_all();
    }
}
