#pragma once
// Text gathered for one write instead of a write per line, yet never held for long: a thread of
// its own writes what is held once its oldest part has waited `delay`, so a run that is killed or
// hangs still leaves all but its last moment behind. On a character device (NUL or a console;
// /dev/null or a terminal under Wine) every write is a system call that costs more than a small
// file, which is why lines are not written one by one.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class CHeldOutput {
public:
    // Given the whole batch, in order, one call at a time; never throws.
    using Writer = std::function<void(const std::string& batch)>;

    // `limit`: held bytes that are written at once, without waiting for the delay.
    CHeldOutput(Writer write, std::chrono::milliseconds delay, size_t limit);
    // Writes what is left.
    ~CHeldOutput();
    CHeldOutput(const CHeldOutput&) = delete;
    CHeldOutput& operator=(const CHeldOutput&) = delete;

    void Add(const std::string& text);
    // Writes what is held now, `text` last.
    void Write(const std::string& text = std::string());

private:
    void WriteHeld();
    void FlushWhenDue();

    Writer m_write;
    const std::chrono::milliseconds m_delay;
    const size_t m_limit;
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::string m_held;
    std::chrono::steady_clock::time_point m_heldSince;
    bool m_ending = false;
    // Last, so that it starts once everything it uses is there.
    std::thread m_flusher;
};
