#include "ui/progress_mailbox.h"

#include <gtest/gtest.h>

#include <thread>

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

TEST(ProgressMailbox, NoUpdateIsLostBetweenThreads) {
    ProgressMailbox mailbox;
    int posts = 0;
    std::thread worker([&] {
        for (int i = 1; i <= 10000; ++i)
            if (mailbox.Put({std::to_wstring(i), float(i) / 10000})) ++posts;
    });
    float last = 0.0f;
    for (int i = 0; i < 100000 && last < 1.0f; ++i)
        if (const auto update = mailbox.RestOver()) last = update->fraction;
    worker.join();
    // Whatever was taken in between, the newest state is the final one.
    const ProgressUpdate final = mailbox.Take();
    EXPECT_EQ(*final.name, L"10000");
    EXPECT_FLOAT_EQ(final.fraction, 1.0f);
    EXPECT_GE(posts, 1);
}

}  // namespace
