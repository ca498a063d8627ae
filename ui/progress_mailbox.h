#pragma once
// Hands the worker's latest progress to the window's thread without making the worker wait, at
// the pace a person can read. The worker leaves the newest entry name and fraction here and posts
// one message when the window is idle. Once the window has shown an update it rests for a frame
// and then takes whatever came meanwhile, so it shows at most one update a frame however many
// entries there are, and the worker's cost per entry is a lock and a copy of the name.

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
    // A frame at 30 updates a second.
    static constexpr unsigned kRestMilliseconds = 33;

    // True when the caller must post a message: the window is neither told already nor resting.
    bool Put(ProgressUpdate update) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!update.name && m_latest.name) update.name = std::move(m_latest.name);
        m_latest = std::move(update);
        m_unshown = true;
        if (m_state != State::Idle) return false;
        m_state = State::Posted;
        return true;
    }
    // For the posted message: the newest update, to be shown now; the window then rests.
    ProgressUpdate Take() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_state = State::Resting;
        m_unshown = false;
        return m_latest;
    }
    // At the end of a rest: the update that came meanwhile, to be shown followed by another rest,
    // or nothing, and then the next Put posts again.
    std::optional<ProgressUpdate> RestOver() {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_unshown) {
            m_state = State::Idle;
            return std::nullopt;
        }
        m_unshown = false;
        return m_latest;
    }
    // Before the result is shown: the newest update if the window has not shown it yet.
    std::optional<ProgressUpdate> TakeUnshown() {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!std::exchange(m_unshown, false)) return std::nullopt;
        return m_latest;
    }
    // A post that could not be delivered, or a rest that cannot be timed: the next Put posts.
    void Undeliverable() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_state = State::Idle;
    }

private:
    enum class State { Idle, Posted, Resting };
    std::mutex m_mutex;
    ProgressUpdate m_latest;
    bool m_unshown = false;
    State m_state = State::Idle;
};
