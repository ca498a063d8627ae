#pragma once
// Hands the worker's latest progress to the window's thread without making the worker wait: the
// worker leaves the newest entry name and fraction here and posts one message while none is
// pending; the window takes whatever is newest when it gets to it.

#include <mutex>
#include <optional>
#include <string>
#include <utility>

struct ProgressUpdate {
    std::optional<std::wstring> name;  // no name for the begin report
    float fraction = 0.0f;
};

class ProgressMailbox {
public:
    // True when the caller must post a message: nothing was waiting to be taken.
    bool Put(ProgressUpdate update) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!update.name && m_latest.name) update.name = std::move(m_latest.name);
        m_latest = std::move(update);
        return !std::exchange(m_pending, true);
    }
    // The newest update; the next Put posts again.
    ProgressUpdate Take() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending = false;
        return m_latest;
    }
    // A post that could not be delivered: let the next Put try again.
    void Undeliverable() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending = false;
    }

private:
    std::mutex m_mutex;
    ProgressUpdate m_latest;
    bool m_pending = false;
};
