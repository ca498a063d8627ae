#include "install/file_closer.h"

#include <algorithm>

#include "install/entry_file.h"
#include "install/paths.h"
#include "install/pool_threads.h"

CloseOptions DefaultCloseOptions() {
    return CloseOptions{8};
}

CFileCloser::CFileCloser(const CloseOptions& options, CloseStats& stats)
    : m_stats(stats), m_threads(StartPoolThreads(options.threads, [this] { PoolThread(); })) {
    m_stats.threads = unsigned(m_threads.size());
}

CFileCloser::~CFileCloser() {
    Finish();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_work.notify_all();
    for (std::thread& thread : m_threads) thread.join();
}

std::wstring CFileCloser::Key(const std::wstring& target) {
    std::wstring key = target;
    if (!key.empty()) CharUpperBuffW(&key[0], DWORD(key.size()));
    return key;
}

bool CFileCloser::Write(const std::wstring& target, const void* data, int32_t count) {
    if (m_threads.empty()) return WriteFileBytes(target, data, count);
    std::wstring key = Key(target);
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_closed.wait(lock, [&] { return !m_open.count(key); });
    }
    CFileHandle file = WriteOpenFile(target, data, count);
    if (!file) return false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_queue.push_back(Pending{std::move(file), key});
        m_open.insert(std::move(key));
        ++m_pending;
        m_stats.peakOpen = std::max(m_stats.peakOpen.load(), m_pending);
    }
    m_work.notify_one();
    return true;
}

void CFileCloser::Finish() {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_closed.wait(lock, [&] { return m_pending == 0; });
}

void CFileCloser::PoolThread() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_work.wait(lock, [&] { return m_stop || !m_queue.empty(); });
        if (m_queue.empty()) return;
        Pending pending = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        CloseEntryFile(std::move(pending.file));
        lock.lock();
        m_open.erase(pending.key);
        --m_pending;
        m_closed.notify_all();
    }
}
