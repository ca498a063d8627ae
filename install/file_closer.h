#pragma once
// Closes the files an installation writes on a small pool of threads. On Windows, real-time
// scanning inspects a file when its handle is closed, which costs about as much as creating and
// writing it; handed to the pool, these closes overlap with the next files instead of adding up.
// Each file is still created and written by the worker in archive order, so a file that cannot be
// written fails the run at that entry, as before; a close cannot fail an entry.

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "platform/unique_handle.h"

struct CloseOptions {
    // Pool threads. 0: each file is closed by the worker as soon as it is written.
    unsigned threads = 0;
};

// Eight threads.
CloseOptions DefaultCloseOptions();

// What a run's closing did; readable while it runs.
struct CloseStats {
    std::atomic<unsigned> peakOpen{0};  // most written files waiting for their close at once
    std::atomic<unsigned> threads{0};   // pool threads that ran
};

class CFileCloser {
public:
    CFileCloser(const CloseOptions& options, CloseStats& stats);
    // Closes every file handed over, then joins the threads.
    ~CFileCloser();
    CFileCloser(const CFileCloser&) = delete;
    CFileCloser& operator=(const CFileCloser&) = delete;

    // Writes `count` bytes to `target`, whose folder exists, as WriteFileBytes does, and leaves
    // its close to the pool. Waits first while a file of the same name is still open, since it
    // would refuse to be created again. False, with the last error set, when it cannot be written.
    bool Write(const std::wstring& target, const void* data, int32_t count);
    // Waits until every file handed over is closed: before the files are moved or removed.
    void Finish();

private:
    struct Pending {
        CFileHandle file;
        std::wstring key;
    };

    void PoolThread();
    static std::wstring Key(const std::wstring& target);

    CloseStats& m_stats;

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_closed;
    std::deque<Pending> m_queue;
    std::unordered_set<std::wstring> m_open;  // names of files not yet closed, in upper case
    unsigned m_pending = 0;                   // files queued or being closed
    bool m_stop = false;
    std::vector<std::thread> m_threads;
};
