#include "log/held_output.h"

#include <system_error>

CHeldOutput::CHeldOutput(Writer write, std::chrono::milliseconds delay, size_t limit)
    : m_write(std::move(write)), m_delay(delay), m_limit(limit) {
    try {
        m_flusher = std::thread([this] { FlushWhenDue(); });
    } catch (const std::system_error&) {
        // Without the thread, text is still written at the limit, with every Write and at the end.
    }
}

CHeldOutput::~CHeldOutput() {
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        m_ending = true;
    }
    m_changed.notify_one();
    if (m_flusher.joinable()) m_flusher.join();
    const std::lock_guard<std::mutex> hold(m_lock);
    WriteHeld();
}

void CHeldOutput::Add(const std::string& text) {
    const std::lock_guard<std::mutex> hold(m_lock);
    const bool wasEmpty = m_held.empty();
    m_held += text;
    if (m_held.size() >= m_limit) {
        WriteHeld();
    } else if (wasEmpty && !m_held.empty()) {
        m_heldSince = std::chrono::steady_clock::now();
        m_changed.notify_one();
    }
}

void CHeldOutput::Write(const std::string& text) {
    const std::lock_guard<std::mutex> hold(m_lock);
    m_held += text;
    WriteHeld();
}

void CHeldOutput::WriteHeld() {
    if (m_held.empty()) return;
    m_write(m_held);
    m_held.clear();
}

void CHeldOutput::FlushWhenDue() {
    std::unique_lock<std::mutex> hold(m_lock);
    while (!m_ending) {
        if (m_held.empty()) {
            m_changed.wait(hold);
            continue;
        }
        const auto due = m_heldSince + m_delay;
        if (std::chrono::steady_clock::now() < due) {
            m_changed.wait_until(hold, due);
            continue;
        }
        WriteHeld();
    }
}
