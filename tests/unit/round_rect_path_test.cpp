#include "controls/round_rect_path.h"

#include <gtest/gtest.h>

#include <array>

#include "tests/support/gdiplus_test.h"

namespace {

struct ArcCase {
    const char* name;
    int width;
    int height;
    std::array<PathArc, 4> arcs;
};

const ArcCase kArcCases[] = {
    // Wider than high: half-circle ends of the height; the lower arcs start one pixel higher.
    {"120x40", 120, 40, {{{0, 0, 40, 180}, {79, 0, 40, 270}, {79, -1, 40, 0}, {0, -1, 40, 90}}}},
    // A diameter of 20 takes the corner rule.
    {"100x20", 100, 20, {{{0, 0, 20, 180}, {78, 0, 21, 270}, {78, -2, 21, 0}, {0, -2, 21, 90}}}},
    // Narrower than high: the width limits the diameter and the pill stands upright.
    {"30x40", 30, 40, {{{0, 0, 30, 180}, {-1, 0, 30, 270}, {-1, 9, 30, 0}, {0, 9, 30, 90}}}},
};

TEST(RoundRectArcs, PillArcsForButtonSizes) {
    for (const ArcCase& c : kArcCases) {
        const auto arcs = RoundRectArcs(0, 0, c.width, c.height, c.height);
        for (size_t i = 0; i < arcs.size(); ++i) {
            SCOPED_TRACE(::testing::Message() << c.name << " arc " << i);
            EXPECT_EQ(arcs[i].x, c.arcs[i].x);
            EXPECT_EQ(arcs[i].y, c.arcs[i].y);
            EXPECT_EQ(arcs[i].side, c.arcs[i].side);
            EXPECT_EQ(arcs[i].startAngle, c.arcs[i].startAngle);
        }
    }
}

TEST(RoundRectArcs, OffsetRectangleMovesEveryArc) {
    const auto arcs = RoundRectArcs(10, 5, 120, 40, 40);
    EXPECT_EQ(arcs[0].x, 10);
    EXPECT_EQ(arcs[0].y, 5);
    EXPECT_EQ(arcs[2].x, 89);
    EXPECT_EQ(arcs[2].y, 4);
}

class RoundRectPath : public testing_support::GdiplusTest {};

TEST_F(RoundRectPath, IsClosedAndSpansThePill) {
    const CGpPath path = BuildRoundRectPath(0, 0, 120, 40, 40);
    ASSERT_NE(path, nullptr);
    Gdiplus::RectF bounds;
    ASSERT_EQ(Gdiplus::DllExports::GdipGetPathWorldBounds(path.Get(), &bounds, nullptr, nullptr),
              Gdiplus::Ok);
    EXPECT_NEAR(bounds.X, 0, 0.5);
    EXPECT_NEAR(bounds.X + bounds.Width, 119, 0.5);
    // The lower arcs sit one pixel higher, so the pill ends on row 39.
    EXPECT_NEAR(bounds.Y, 0, 0.5);
    EXPECT_NEAR(bounds.Y + bounds.Height, 39, 0.5);

    BOOL inside = FALSE;
    Gdiplus::DllExports::GdipIsVisiblePathPointI(path.Get(), 60, 20, nullptr, &inside);
    EXPECT_TRUE(inside);
    Gdiplus::DllExports::GdipIsVisiblePathPointI(path.Get(), 1, 1, nullptr, &inside);
    EXPECT_FALSE(inside) << "the corner lies outside the half circle";
}

TEST_F(RoundRectPath, EmptyRectangleGivesAPathWithNothingInside) {
    const CGpPath path = BuildRoundRectPath(0, 0, 0, 0, 0);
    ASSERT_NE(path, nullptr);
    BOOL inside = TRUE;
    Gdiplus::DllExports::GdipIsVisiblePathPointI(path.Get(), 0, 0, nullptr, &inside);
    EXPECT_FALSE(inside);
}

}  // namespace
