#include "ui/hit_test.h"

#include <gtest/gtest.h>

#include "tests/support/rect_compare.h"

namespace {

TEST(Frame, DragBandIsRowsOneToNinetyNine) {
    struct Case {
        int y;
        LRESULT code;
    };
    for (auto c : {Case{-1, HTCLIENT}, Case{0, HTCLIENT}, Case{1, HTCAPTION}, Case{50, HTCAPTION},
                   Case{99, HTCAPTION}, Case{100, HTCLIENT}, Case{545, HTCLIENT}}) {
        for (int x : {-5, 0, 300, 899}) {
            EXPECT_EQ(HitTestCode({x, c.y}), c.code) << x << ", " << c.y;
        }
    }
}

TEST(Frame, CursorPointIsSigned) {
    struct Case {
        int x, y;
    };
    for (auto c : {Case{660, 358}, Case{-5, 300}, Case{1919, -1080}, Case{-32768, 32767}}) {
        const LPARAM lParam = MAKELPARAM(static_cast<WORD>(c.x), static_cast<WORD>(c.y));
        const POINT p = PointFromLParam(lParam);
        EXPECT_EQ(p.x, c.x);
        EXPECT_EQ(p.y, c.y);
    }
}

TEST(Frame, ClientAreaLosesOnlyTheLastRow) {
    const RECT window{660, 358, 1260, 722};
    EXPECT_EQ(ProposedClientRect(window, true), (RECT{660, 358, 1260, 721}));
    EXPECT_EQ(ProposedClientRect(window, false), window);
}

}  // namespace
