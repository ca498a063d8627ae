#include "install/file_writer_pool.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "install/paths.h"
#include "install/pool_threads.h"

namespace {

constexpr unsigned kDefaultThreads = 8;
constexpr uint64_t kDefaultBytesInFlight = uint64_t(8) << 20;
constexpr uint32_t kDefaultLargestHandedOver = 1 << 20;

}  // namespace

WriteOptions DefaultWriteOptions() {
    return WriteOptions{kDefaultThreads, kDefaultBytesInFlight, kDefaultLargestHandedOver};
}

struct CFileWriterPool::Job {
    uint64_t order = 0;
    std::wstring target;
    std::wstring key;
    std::wstring name;
    std::unique_ptr<unsigned char[]> bytes;
    int32_t count = 0;
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
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_work.notify_all();
    for (std::thread& thread : m_threads) thread.join();
}

std::wstring CFileWriterPool::Key(const std::wstring& target) {
    std::wstring key = target;
    if (!key.empty()) CharUpperBuffW(&key[0], DWORD(key.size()));
    return key;
}

bool CFileWriterPool::Write(const std::wstring& target, const void* data, int32_t count,
                            const std::wstring& name) {
    if (count < 0) return false;
    auto job = std::make_unique<Job>();
    job->key = Key(target);
    const uint64_t size = uint64_t(count);
    const bool handOver = !m_threads.empty() && size <= m_options.largestHandedOver;
    std::unique_lock<std::mutex> lock(m_mutex);
    // With nothing in flight a file always goes in, so that one larger than the room does too.
    m_done.wait(lock, [&] {
        return !m_busy.count(job->key) &&
               (!handOver || m_pending == 0 || m_held + size <= m_options.bytesInFlight);
    });
    const uint64_t order = m_handedOver++;
    if (!handOver) {
        lock.unlock();
        return WriteFileBytes(target, data, count);
    }
    if (m_failedAt) return true;  // nothing after a failure is written; Finish reports it
    job->bytes.reset(new (std::nothrow) unsigned char[size ? size : 1]);
    if (!job->bytes) {
        lock.unlock();
        return WriteFileBytes(target, data, count);
    }
    if (size) std::memcpy(job->bytes.get(), data, size_t(size));
    job->order = order;
    job->target = target;
    job->name = name;
    job->count = count;
    m_busy.insert(job->key);
    try {
        m_queue.push_back(std::move(job));
    } catch (...) {
        m_busy.erase(Key(target));
        throw;
    }
    m_held += size;
    m_stats.peakHeld = std::max(m_stats.peakHeld.load(), m_held);
    ++m_pending;
    lock.unlock();
    m_work.notify_one();
    return true;
}

bool CFileWriterPool::HasFailed() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failedAt.has_value();
}

std::optional<WriteFailure> CFileWriterPool::Finish() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_done.wait(lock, [&] { return m_pending == 0; });
    if (!m_failedAt) return std::nullopt;
    return m_failure;
}

void CFileWriterPool::PoolThread() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [&] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty()) return;
        std::unique_ptr<Job> job = std::move(m_queue.front());
        m_queue.pop_front();
        // A file after a failure is not written: the run ends there and removes what it staged.
        const bool skip = m_failedAt && job->order > *m_failedAt;
        lock.unlock();
        const bool written = skip || WriteFileBytes(job->target, job->bytes.get(), job->count);
        const DWORD error = written ? ERROR_SUCCESS : GetLastError();
        lock.lock();
        Done(std::move(job), written, error);
    }
}

// With the lock held.
void CFileWriterPool::Done(std::unique_ptr<Job> job, bool written, DWORD error) {
    if (!written && (!m_failedAt || job->order < *m_failedAt)) {
        m_failedAt = job->order;
        m_failure = WriteFailure{job->name, error};
    }
    m_held -= uint64_t(job->count);
    m_busy.erase(job->key);
    --m_pending;
    m_done.notify_all();
}
