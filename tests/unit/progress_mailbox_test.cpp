#include "ui/progress_mailbox.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

TEST(ProgressMailbox, PostsOnceThenRestsAFrameBetweenUpdates) {
    ProgressMailbox mailbox;
    EXPECT_TRUE(mailbox.Put({std::nullopt, 0.0f}));
    EXPECT_FALSE(mailbox.Put({L"a.dll", 0.25f}));
    EXPECT_FALSE(mailbox.Put({L"dict\\b.utf8", 0.5f}));
    ProgressUpdate taken = mailbox.Take();
    ASSERT_TRUE(taken.name);
    EXPECT_EQ(*taken.name, L"dict\\b.utf8");
    EXPECT_FLOAT_EQ(taken.fraction, 0.5f);
    // Resting: what comes meanwhile posts nothing and is handed over when the rest is over.
    EXPECT_FALSE(mailbox.Put({L"c.exe", 0.75f}));
    const auto next = mailbox.RestOver();
    ASSERT_TRUE(next);
    EXPECT_EQ(*next->name, L"c.exe");
    EXPECT_FALSE(mailbox.TakeUnshown());
    // A rest with nothing new ends the rest; the next update posts again.
    EXPECT_FALSE(mailbox.RestOver());
    EXPECT_TRUE(mailbox.Put({L"d.exe", 1.0f}));
    // Before the result the newest unshown update is taken, once.
    const auto last = mailbox.TakeUnshown();
    ASSERT_TRUE(last);
    EXPECT_EQ(*last->name, L"d.exe");
    EXPECT_FALSE(mailbox.TakeUnshown());
}

TEST(ProgressMailbox, AnUndeliverablePostLetsTheNextOneTry) {
    ProgressMailbox mailbox;
    EXPECT_TRUE(mailbox.Put({L"a", 0.1f}));
    mailbox.Undeliverable();
    EXPECT_TRUE(mailbox.Put({L"b", 0.2f}));
}

// The window's side as it plays it: a posted message takes the newest update and starts a rest;
// each rest's end shows what came meanwhile and rests again, or ends resting. What the window has
// shown is what Take and RestOver handed it, nothing read from the mailbox afterwards.
TEST(ProgressMailbox, NoUpdateIsLostBetweenThreads) {
    constexpr int kUpdates = 10000;
    ProgressMailbox mailbox;
    std::atomic<int> posted{0};
    std::atomic<bool> windowIdle{true}, lastNext{false}, lastPut{false}, workerDone{false};
    const auto waitFor = [](const std::atomic<bool>& flag) {
        for (int i = 0; i < 5000 && !flag; ++i) std::this_thread::sleep_for(1ms);
    };
    std::atomic<int> handled{0};
    std::thread worker([&] {
        const auto put = [&](int i) {
            if (mailbox.Put({std::to_wstring(i), float(i) / kUpdates})) ++posted;
        };
        for (int i = 1; i <= kUpdates - 2; ++i) put(i);
        // The one before last finds the window idle and is posted; the last one comes while the
        // window rests after taking it, between its Take and its RestOver.
        for (int i = 0; i < 5000 && !(windowIdle && posted == handled); ++i)
            std::this_thread::sleep_for(1ms);
        put(kUpdates - 1);
        waitFor(lastNext);
        put(kUpdates);
        lastPut = true;
        workerDone = true;
    });

    std::vector<float> shown;
    bool resting = false;
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (!resting) {
            if (posted > handled) {
                ++handled;
                windowIdle = false;
                shown.push_back(mailbox.Take().fraction);
                resting = true;
            } else if (workerDone) {
                break;
            } else {
                std::this_thread::yield();
            }
        } else if (const auto update = mailbox.RestOver()) {
            shown.push_back(update->fraction);
        } else {
            resting = false;
            windowIdle = true;
        }
        if (resting && !shown.empty() && shown.back() == float(kUpdates - 1) / kUpdates &&
            !lastPut) {
            lastNext = true;
            waitFor(lastPut);
        }
    }
    worker.join();
    ASSERT_TRUE(workerDone);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), 1.0f) << "the last update was left unshown";
    EXPECT_TRUE(std::is_sorted(shown.begin(), shown.end())) << "never an older one after a newer";
}

}  // namespace
