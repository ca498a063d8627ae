#include "ui/progress_mailbox.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

TEST(ProgressMailbox, PostsOnceWhilePendingAndHandsOverTheNewest) {
    ProgressMailbox mailbox;
    EXPECT_TRUE(mailbox.Put({std::nullopt, 0.0f}));
    EXPECT_FALSE(mailbox.Put({L"a.dll", 0.25f}));
    EXPECT_FALSE(mailbox.Put({L"dict\\b.utf8", 0.5f}));
    ProgressUpdate taken = mailbox.Take();
    ASSERT_TRUE(taken.name);
    EXPECT_EQ(*taken.name, L"dict\\b.utf8");
    EXPECT_FLOAT_EQ(taken.fraction, 0.5f);
    // Taken: the next update needs a message again.
    EXPECT_TRUE(mailbox.Put({L"c.exe", 1.0f}));
    EXPECT_EQ(*mailbox.Take().name, L"c.exe");
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
    for (int i = 0; i < 100000 && last < 1.0f; ++i) last = mailbox.Take().fraction;
    worker.join();
    // Whatever was taken in between, the newest state is the final one.
    const ProgressUpdate final = mailbox.Take();
    EXPECT_EQ(*final.name, L"10000");
    EXPECT_FLOAT_EQ(final.fraction, 1.0f);
    EXPECT_GE(posts, 1);
}

}  // namespace
