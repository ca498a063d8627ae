#include "extraction/progress_fraction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

std::vector<float> Fractions(int32_t count, int32_t total, const std::vector<int32_t>& sizes) {
    ProgressFraction progress(count, total);
    std::vector<float> out;
    for (int32_t size : sizes) out.push_back(progress.Next(size));
    return out;
}

TEST(ProgressFraction, WellFormedHeaderGivesBytesOverTotal) {
    const auto f = Fractions(3, 400, {100, 0, 300});
    EXPECT_EQ(f, (std::vector<float>{0.25f, 0.25f, 1.0f}));
    // The large shipped total is not exact in single precision; the last fraction still is.
    const int32_t total = 196150671;
    const auto shipped = Fractions(2, total, {12345, total - 12345});
    EXPECT_EQ(shipped[0], float(12345) / float(total));
    EXPECT_EQ(shipped[1], 1.0f);
}

TEST(ProgressFraction, LyingHeadersStayFiniteMonotonicAndEndAtOne) {
    struct Case {
        const char* what;
        int32_t count;
        int32_t total;
        std::vector<int32_t> sizes;
    };
    const Case cases[] = {
        {"total 0", 4, 0, {10, 20, 30, 40}},
        {"total smaller than the sizes", 4, 50, {40, 40, 40, 40}},
        {"negative total", 3, -5, {1, 2, 3}},
        {"sizes overflowing 32 bits", 3, 2000000000, {2000000000, 2000000000, 2000000000}},
        {"all sizes 0 with total 0", 3, 0, {0, 0, 0}},
        {"total larger than the sizes", 3, 1000, {1, 1, 1}},
        {"one entry, total 0", 1, 0, {0}},
    };
    for (const auto& c : cases) {
        const auto f = Fractions(c.count, c.total, c.sizes);
        float before = 0.0f;
        for (float x : f) {
            EXPECT_TRUE(std::isfinite(x)) << c.what;
            EXPECT_GE(x, before) << c.what;
            EXPECT_LE(x, 1.0f) << c.what;
            before = x;
        }
        EXPECT_EQ(f.back(), 1.0f) << c.what;
    }
    // With an unusable total the entries counted stand in for the bytes.
    EXPECT_EQ(Fractions(4, 0, {10, 20, 30, 40}), (std::vector<float>{0.25f, 0.5f, 0.75f, 1.0f}));
}

TEST(ProgressFraction, MoreEntriesThanTheCountNeverExceedOne) {
    ProgressFraction progress(1, 0);
    EXPECT_EQ(progress.Next(5), 1.0f);
    EXPECT_EQ(progress.Next(5), 1.0f);
}

}  // namespace
