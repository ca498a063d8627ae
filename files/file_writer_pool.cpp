#include "files/file_writer_pool.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "archive/entry_name.h"
#include "files/entry_file.h"
#include "files/paths.h"
#include "platform/pool_threads.h"
#include "platform/unique_handle.h"

namespace {

constexpr unsigned kDefaultThreads = 8;
constexpr unsigned kDefaultDepth = 2 * kDefaultThreads;
constexpr uint64_t kDefaultBytesInFlight = uint64_t(8) << 20;
constexpr uint32_t kDefaultLargestCopied = 1 << 20;

}  // namespace

WriteOptions DefaultWriteOptions() {
    return WriteOptions{kDefaultThreads, kDefaultDepth, kDefaultBytesInFlight,
                        kDefaultLargestCopied};
}

// One file handed over: its bytes, copied, for a pool thread to write, or the file the caller has
// written, for a pool thread to close.
struct CFileWriterPool::Job {
    uint64_t order = 0;
    std::wstring target;
    std::wstring key;
    std::wstring name;
    int32_t count = 0;
    uint64_t held = 0;  // bytes of the room in flight it takes
    std::unique_ptr<unsigned char[]> bytes;
    CFileHandle file;
};

CFileWriterPool::CFileWriterPool(const WriteOptions& options, WriteStats& stats)
    : m_options(options),
      m_stats(stats),
      m_threads(StartPoolThreads(options.threads, [this] { PoolThread(); })) {
    m_stats.threads = unsigned(m_threads.size());
}

CFileWriterPool::~CFileWriterPool() {
    Finish();
    {
        std::lock_guard<CSlimLock> lock(m_lock);
        m_stop = true;
    }
    m_work.notify_all();
    for (std::thread& thread : m_threads) thread.join();
}

// With the lock held. A file larger than the room still goes when nothing else is held.
bool CFileWriterPool::HasRoom(const Job& job) const {
    return !m_open.count(job.key) && m_pending < std::max(m_options.depth, 1u) &&
           (m_held == 0 || m_held + job.held <= m_options.bytesInFlight);
}

bool CFileWriterPool::Write(const std::wstring& target, const FileBytes& bytes,
                            const std::wstring& name) {
    const int32_t count = bytes.total;
    if (m_threads.empty() || count < 0) return WriteFileBytes(target, bytes);
    auto job = std::make_unique<Job>();
    job->target = target;
    job->key = EntryNameKey(target);
    job->name = name;
    job->count = count;
    const bool copy = !bytes.InPieces() && uint32_t(count) <= m_options.largestCopied;
    if (copy) job->held = uint64_t(count);
    {
        std::unique_lock<CSlimLock> lock(m_lock);
        if (!HasRoom(*job)) {
            m_callerWaits = true;
            m_done.wait(lock, [&] { return HasRoom(*job); });
            m_callerWaits = false;
        }
        job->order = m_handedOver++;
        m_open.insert(job->key);
        ++m_pending;
        m_held += job->held;
        m_stats.peakFiles = std::max(m_stats.peakFiles.load(), m_pending);
        m_stats.peakHeld = std::max(m_stats.peakHeld.load(), m_held);
    }
    // Counted now, so every way on from here ends the job, or Finish and the teardown would wait
    // for it for ever.
    try {
        if (copy) {
            job->bytes.reset(new (std::nothrow) unsigned char[count ? size_t(count) : 1]);
            if (job->bytes) std::memcpy(job->bytes.get(), bytes.data, size_t(count));
        }
        if (!job->bytes) {
            // Too large to copy, or no memory for the copy: written here, closed on the pool.
            job->file = WriteOpenFile(target, bytes);
            if (!job->file) {
                const DWORD error = GetLastError();
                {
                    std::lock_guard<CSlimLock> lock(m_lock);
                    Done(*job, true, ERROR_SUCCESS);  // the caller reports it
                }
                SetLastError(error);
                return false;
            }
        }
        Enqueue(std::move(job));
    } catch (...) {
        if (job) {
            std::lock_guard<CSlimLock> lock(m_lock);
            Done(*job, false, ERROR_NOT_ENOUGH_MEMORY);
        }
        throw;
    }
    return true;
}

void CFileWriterPool::Enqueue(std::unique_ptr<Job>&& job) {
    bool wake;
    {
        std::lock_guard<CSlimLock> lock(m_lock);
        m_queue.push_back(std::move(job));
        wake = m_idle > 0;
    }
    // Under Wine every wake-up is a request to the server that also creates the files: only a
    // thread that sleeps is woken.
    if (wake) m_work.notify_one();
}

unsigned CFileWriterPool::DropQueued() {
    std::lock_guard<CSlimLock> lock(m_lock);
    unsigned dropped = 0;
    std::deque<std::unique_ptr<Job>> kept;
    for (std::unique_ptr<Job>& job : m_queue) {
        if (job->file) {
            kept.push_back(std::move(job));
            continue;
        }
        Done(*job, true, ERROR_SUCCESS);
        ++dropped;
    }
    m_queue.swap(kept);
    m_stats.dropped += dropped;
    return dropped;
}

std::optional<WriteFailure> CFileWriterPool::Finish() {
    std::unique_lock<CSlimLock> lock(m_lock);
    if (m_pending) {
        m_callerWaits = true;
        m_done.wait(lock, [&] { return m_pending == 0; });
        m_callerWaits = false;
    }
    if (!m_failedAt) return std::nullopt;
    return m_failure;
}

// With the lock held.
void CFileWriterPool::Done(Job& job, bool written, DWORD error) {
    if (!written && (!m_failedAt || job.order < *m_failedAt)) {
        m_failedAt = job.order;
        m_failure = WriteFailure{job.name, error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT};
        m_failed.store(true, std::memory_order_release);
    }
    m_held -= job.held;
    m_open.erase(job.key);
    --m_pending;
    if (m_callerWaits) m_done.notify_all();
}

void CFileWriterPool::PoolThread() {
    std::unique_lock<CSlimLock> lock(m_lock);
    for (;;) {
        if (m_queue.empty() && !m_stop) {
            ++m_idle;
            m_work.wait(lock, [&] { return m_stop || !m_queue.empty(); });
            --m_idle;
        }
        if (m_queue.empty()) return;
        std::unique_ptr<Job> job = std::move(m_queue.front());
        m_queue.pop_front();
        // A file after a failure is not written: the run ends there and removes what it staged.
        const bool skip = m_failedAt && job->order > *m_failedAt;
        lock.unlock();
        bool written = true;
        DWORD error = ERROR_SUCCESS;
        try {
            if (job->file) {
                CloseEntryFile(std::move(job->file));
            } else if (!skip) {
                written = WriteFileBytes(job->target, job->bytes.get(), job->count);
                if (!written) error = GetLastError();
            }
        } catch (...) {
            // Out of memory: this file fails, the thread and its count go on.
            written = false;
            error = ERROR_NOT_ENOUGH_MEMORY;
        }
        job->bytes.reset();
        lock.lock();
        Done(*job, written, error);
    }
}
