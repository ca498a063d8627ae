#include "log/trace_buffer.h"

#include <windows.h>
#include <io.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>

#include "platform/unique_handle.h"
#include "platform/utf8.h"

namespace {

// Lines gathered before they are handed over without waiting for the delay.
constexpr size_t kHeldLimit = 256 * 1024;

}  // namespace

// Shared with its thread, which may outlive the buffer while a write it cannot cancel blocks.
class CTraceBuffer::CWriter {
public:
    explicit CWriter(std::FILE* out) : m_out(out) {}

    // Never waits for the stream.
    void Hand(std::string batch) {
        const std::lock_guard<std::mutex> hold(m_lock);
        if (m_broken || m_waiting + batch.size() > kMostWaiting) {
            m_dropped += batch.size();
            return;
        }
        m_waiting += batch.size();
        m_queue.push_back(std::move(batch));
        m_changed.notify_all();
    }

    // Waits at most `bound` for what was handed over; a write still blocked then is cancelled
    // where the system can, and whatever is left is dropped.
    bool End(std::chrono::milliseconds bound) {
        std::unique_lock<std::mutex> hold(m_lock);
        m_ending = true;
        m_changed.notify_all();
        if (m_changed.wait_for(hold, bound, [&] { return m_done; })) return true;
        m_broken = true;
        m_dropped += m_waiting;
        m_queue.clear();
        if (m_thread) CancelSynchronousIo(m_thread);
        return false;
    }

    size_t Dropped() const {
        const std::lock_guard<std::mutex> hold(m_lock);
        return m_dropped;
    }

    void Run() {
        HANDLE self = nullptr;
        DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0,
                        FALSE, DUPLICATE_SAME_ACCESS);
        std::unique_lock<std::mutex> hold(m_lock);
        m_thread.Reset(self);
        for (;;) {
            m_changed.wait(hold, [&] { return !m_queue.empty() || m_ending; });
            if (m_queue.empty()) break;
            std::string batch = std::move(m_queue.front());
            m_queue.pop_front();
            hold.unlock();
            const bool written = Write(batch);
            hold.lock();
            m_waiting -= std::min(m_waiting, batch.size());
            if (!written) {
                m_broken = true;
                m_dropped += batch.size() + m_waiting;
                m_waiting = 0;
                m_queue.clear();
            }
        }
        m_done = true;
        m_changed.notify_all();
    }

    // Marks the writer ended at once, for a buffer whose thread could not be made.
    void Abandon() {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_broken = m_done = true;
    }

private:
    bool Write(const std::string& batch) {
        // Past the stream: the C runtime writes an unbuffered stream that it has not marked as
        // such (standard output on a character device) a byte at a time for all but whole 4 KiB
        // of a write.
        std::fflush(m_out);
        return _write(_fileno(m_out), batch.data(), unsigned(batch.size())) >= 0;
    }

    std::FILE* const m_out;
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<std::string> m_queue;
    size_t m_waiting = 0;
    size_t m_dropped = 0;
    bool m_ending = false;
    bool m_done = false;
    bool m_broken = false;
    CKernelHandle m_thread;
};

CTraceBuffer::CTraceBuffer(std::FILE* out, std::chrono::milliseconds delay,
                           std::chrono::milliseconds endWait)
    : m_writer(std::make_shared<CWriter>(out)), m_endWait(endWait) {
    try {
        std::thread([writer = m_writer] { writer->Run(); }).detach();
    } catch (const std::system_error&) {
        // Without its thread the trace is dropped: it must never hold up the run.
        m_writer->Abandon();
    }
    m_output = std::make_unique<CHeldOutput>(
        [writer = m_writer](const std::string& batch) { writer->Hand(batch); }, delay, kHeldLimit);
}

CTraceBuffer::~CTraceBuffer() {
    m_output.reset();
    m_writer->End(m_endWait);
}

void CTraceBuffer::AddLine(const std::wstring& name) {
    m_output->Add(WideToUtf8(name) + '\n');
}

void CTraceBuffer::Flush() {
    m_output->Write();
}

size_t CTraceBuffer::Dropped() const {
    return m_writer->Dropped();
}
