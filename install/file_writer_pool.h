#pragma once
// Writes the files of an installation on a small pool of threads, so that a slow creation or close
// (real-time scanning inspects each file when its handle is closed) overlaps with the next files
// instead of adding up. Files are handed over in archive order, and whatever a user or the log sees
// stays in that order; only the creating, writing and closing overlap. A failure is reported as the
// first in the order the files were handed over, whichever thread met it first.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

struct WriteOptions {
    // Pool threads. 0: each file is written on the caller's thread when it is handed over.
    unsigned threads = 0;
    // Bytes copied for files handed over and not yet written; a hand-over waits for room.
    uint64_t bytesInFlight = 0;
    // Larger files are written by the caller at once: they would only be copied, and their cost
    // is the writing, not the creation or the close.
    uint32_t largestHandedOver = 0;
};

// Eight threads, 8 MiB in flight, files up to 1 MiB handed over.
WriteOptions DefaultWriteOptions();

// What a run's writing did; readable while it runs.
struct WriteStats {
    std::atomic<uint64_t> peakHeld{0};  // most bytes copied at once for files not yet written
    std::atomic<unsigned> threads{0};   // pool threads that ran
};

// A file that could not be written: the name it was handed over with, and the system's reason.
struct WriteFailure {
    std::wstring name;
    DWORD error = ERROR_SUCCESS;
};

class CFileWriterPool {
public:
    CFileWriterPool(const WriteOptions& options, WriteStats& stats);
    // Waits for every file handed over, then joins the threads.
    ~CFileWriterPool();
    CFileWriterPool(const CFileWriterPool&) = delete;
    CFileWriterPool& operator=(const CFileWriterPool&) = delete;

    // Writes `count` bytes to `target`, whose folder exists, as WriteFileBytes does; `name` names
    // the file in a failure. A file handed to the pool is copied first, and this returns true at
    // once; a file written here returns whether it was, with the last error set. Waits while an
    // earlier file of the same target is still being written, so that the later content remains.
    bool Write(const std::wstring& target, const void* data, int32_t count,
               const std::wstring& name);
    // True once a file handed over has failed; nothing after it is worth writing.
    bool HasFailed();
    // Waits for every file handed over and gives the failure first in the order of hand-over.
    std::optional<WriteFailure> Finish();

private:
    struct Job;

    void PoolThread();
    void Done(std::unique_ptr<Job> job, bool written, DWORD error);
    static std::wstring Key(const std::wstring& target);

    const WriteOptions m_options;
    WriteStats& m_stats;

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_done;
    std::deque<std::unique_ptr<Job>> m_queue;
    std::unordered_set<std::wstring> m_busy;  // targets queued or being written, in upper case
    size_t m_pending = 0;                     // files queued or being written
    uint64_t m_held = 0;
    uint64_t m_handedOver = 0;
    std::optional<uint64_t> m_failedAt;
    WriteFailure m_failure;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};
