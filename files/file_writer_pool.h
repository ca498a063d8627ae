#pragma once
// Creates, writes and closes the files of an installation on a small pool of threads. On Windows,
// real-time scanning inspects a file when its handle is closed and filter drivers add to its
// creation; handed to the pool, these costs overlap with the next files instead of adding up.
// Files are handed over in archive order, and everything a user or the log sees stays in that order
// on the caller's thread; only the file system's work overlaps. The failure reported is the first
// in the order of hand-over, whichever thread met it, and the caller hands over at most `depth`
// files before it learns of a failure.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "files/file_bytes.h"
#include "platform/slim_lock.h"

struct WriteOptions {
    // Pool threads. 0: each file is created, written and closed by the caller at its turn.
    unsigned threads = 0;
    // Files handed over and not yet closed, at most.
    unsigned depth = 0;
    // Bytes copied for files handed over and not yet written, at most; one file always goes.
    uint64_t bytesInFlight = 0;
    // Larger files are created and written by the caller, and only their close is handed over: a
    // copy would cost more than the creation it lets overlap.
    uint32_t largestCopied = 0;
};

// Eight threads, 16 files and 8 MiB in flight, files up to 1 MiB copied.
WriteOptions DefaultWriteOptions();

// What a run's writing did; readable while it runs.
struct WriteStats {
    std::atomic<unsigned> threads{0};    // pool threads that ran
    std::atomic<unsigned> peakFiles{0};  // most files handed over and not yet closed
    std::atomic<uint64_t> peakHeld{0};   // most bytes copied at once
    std::atomic<unsigned> dropped{0};    // files not yet begun when the run was cancelled
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

    // Writes the bytes to `target`, whose folder exists, as WriteFileBytes does; `name` names the
    // file in a failure. Waits first for room, and while an earlier file of the same name is
    // still open, since the later content must remain. A file that comes in pieces is written here
    // and only closed on the pool. False, with the last error set, only for a file that failed
    // here; a failure on the pool is kept for Finish.
    bool Write(const std::wstring& target, const FileBytes& bytes, const std::wstring& name);
    bool Write(const std::wstring& target, const void* data, int32_t count,
               const std::wstring& name) {
        return Write(target, FileBytes::Whole(data, count), name);
    }
    // True once a file handed over has failed: nothing after it is worth handing over.
    bool HasFailed() const { return m_failed.load(std::memory_order_acquire); }
    // The run is cancelled: files handed over and not yet begun are not written, since the
    // staging that would hold them is removed next. Files begun are finished, and those the caller
    // created are closed, so a failure among them is still kept for Finish. Returns how many were
    // dropped.
    unsigned DropQueued();
    // Waits until every file handed over is closed, and gives the failure first in the order of
    // hand-over. Before the files are moved or removed.
    std::optional<WriteFailure> Finish();

private:
    struct Job;

    bool HasRoom(const Job& job) const;
    // Leaves `job` with the caller when it throws.
    void Enqueue(std::unique_ptr<Job>&& job);
    void Done(Job& job, bool written, DWORD error);
    void PoolThread();

    const WriteOptions m_options;
    WriteStats& m_stats;
    std::atomic<bool> m_failed{false};

    CSlimLock m_lock;
    CSlimCondition m_work;
    CSlimCondition m_done;
    std::deque<std::unique_ptr<Job>> m_queue;
    std::unordered_set<std::wstring> m_open;  // keys (EntryNameKey) of files not yet closed
    unsigned m_pending = 0;                   // files handed over and not yet closed
    unsigned m_idle = 0;                      // pool threads waiting for work
    bool m_callerWaits = false;
    uint64_t m_held = 0;
    uint64_t m_handedOver = 0;
    std::optional<uint64_t> m_failedAt;
    WriteFailure m_failure;
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};
