#include <gtest/gtest.h>

#include "controls/button_ex.h"
#include "controls/check_box.h"
#include "controls/expand_button.h"
#include "controls/link_button.h"
#include "tests/support/rect_compare.h"

namespace {

struct IconMetricsCase {
    int dpi;
    int iconSide;
    int gap;
    int textDrop;
};

TEST(ButtonExGeometry, IconSizeGapAndTextDropFollowTheDpi) {
    const IconMetricsCase cases[] = {{96, 14, 8, 1}, {120, 18, 10, 1}, {144, 21, 12, 2}};
    for (const IconMetricsCase& c : cases) {
        SCOPED_TRACE(c.dpi);
        const ButtonExMetrics m = ButtonExMetricsAt(c.dpi);
        EXPECT_EQ(m.iconSide, c.iconSide);
        EXPECT_EQ(m.gap, c.gap);
        EXPECT_EQ(m.textDrop, c.textDrop);
    }
}

TEST(ButtonExGeometry, IconAndTextAreCentredTogether) {
    const ButtonExLayout at96 = LayoutButtonEx(100, 30, Gdiplus::SizeF(40, 16), true, 96);
    EXPECT_FLOAT_EQ(at96.icon.X, 19);  // (100 - 40 - 8 - 14) / 2
    EXPECT_FLOAT_EQ(at96.icon.Y, 8);
    EXPECT_FLOAT_EQ(at96.icon.Width, 14);
    EXPECT_FLOAT_EQ(at96.icon.Height, 14);
    EXPECT_FLOAT_EQ(at96.text.X, 41);
    EXPECT_FLOAT_EQ(at96.text.Y, 8);  // one pixel below centred

    const ButtonExLayout at144 = LayoutButtonEx(150, 45, Gdiplus::SizeF(60, 24), true, 144);
    EXPECT_FLOAT_EQ(at144.icon.X, 28.5f);  // (150 - 60 - 12 - 21) / 2
    EXPECT_FLOAT_EQ(at144.icon.Y, 12);
    EXPECT_FLOAT_EQ(at144.text.X, 61.5f);
    EXPECT_FLOAT_EQ(at144.text.Y, 12.5f);  // 10.5 + 2
}

TEST(ButtonExGeometry, TextAloneIsCentredEvenWhenWiderThanTheButton) {
    const ButtonExLayout fits = LayoutButtonEx(100, 30, Gdiplus::SizeF(40, 16), false, 96);
    EXPECT_FLOAT_EQ(fits.text.X, 30);
    EXPECT_FLOAT_EQ(fits.text.Y, 7);
    EXPECT_FLOAT_EQ(fits.icon.Width, 0);

    const ButtonExLayout wide = LayoutButtonEx(50, 30, Gdiplus::SizeF(80, 16), false, 96);
    EXPECT_FLOAT_EQ(wide.text.X, -15);
    EXPECT_FLOAT_EQ(wide.text.X + 80 - 50, 15) << "cut off equally at both edges";
}

struct BoxCase {
    int dpi;
    int height;
    RECT box;
    float textLeft;
};

TEST(CheckBoxGeometry, BoxIsCentredVerticallyRoundingTowardTheTop) {
    const BoxCase cases[] = {
        {96, 20, {0, 2, 16, 18}, 18},
        // 15 - 16 = -1 halves to 0: the box overhangs the bottom by one pixel.
        {96, 15, {0, 0, 16, 16}, 18},
        {144, 30, {0, 3, 24, 27}, 27},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.dpi << " dpi, height " << c.height);
        const BoxedTextLayout layout = LayoutCheckBox(RECT{0, 0, 200, c.height}, c.dpi);
        EXPECT_EQ(layout.box, c.box);
        EXPECT_FLOAT_EQ(layout.text.X, c.textLeft);
        EXPECT_FLOAT_EQ(layout.text.Y, 0);
        EXPECT_FLOAT_EQ(layout.text.Width, 200 - c.textLeft);
        EXPECT_FLOAT_EQ(layout.text.Height, float(c.height));
    }
}

struct IdealCase {
    int dpi;
    float width;
    float height;
    LONG cx;
    LONG cy;
};

TEST(CheckBoxGeometry, IdealSizeAddsBoxGapAndTwoPixels) {
    const IdealCase cases[] = {
        {96, 100.4f, 17.2f, 120, 19},  // 18 + 100.4 + 2, truncated
        {96, 100.4f, 12.5f, 120, 18},  // text lower than the box: the box decides
        {144, 100.4f, 17.2f, 129, 26},
        {96, 0, 0, 20, 18},  // no text: the box alone
    };
    for (const IdealCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.dpi << " dpi, " << c.width << "x" << c.height);
        const SIZE size = IdealSizeFor(Gdiplus::SizeF(c.width, c.height), c.dpi);
        EXPECT_EQ(size.cx, c.cx);
        EXPECT_EQ(size.cy, c.cy);
    }
}

TEST(LinkGeometry, LinkSizeTruncatesAndAddsTwoToTheWidth) {
    const SIZE size = LinkSizeFor(Gdiplus::SizeF(120.7f, 17.9f));
    EXPECT_EQ(size.cx, 122);
    EXPECT_EQ(size.cy, 17);
    const SIZE empty = LinkSizeFor(Gdiplus::SizeF(0, 0));
    EXPECT_EQ(empty.cx, 2);
    EXPECT_EQ(empty.cy, 0);
}

TEST(ExpandButtonGeometry, ChevronAtTheRightAndTextBeforeIt) {
    const ExpandButtonLayout at96 = LayoutExpandButton(RECT{0, 0, 200, 20}, 96);
    EXPECT_EQ(at96.chevron, (RECT{184, 2, 200, 18}));
    EXPECT_FLOAT_EQ(at96.text.X, 0);
    EXPECT_FLOAT_EQ(at96.text.Y, 0);
    EXPECT_FLOAT_EQ(at96.text.Width, 182);
    EXPECT_FLOAT_EQ(at96.text.Height, 20);

    const ExpandButtonLayout at144 = LayoutExpandButton(RECT{0, 0, 200, 30}, 144);
    EXPECT_EQ(at144.chevron, (RECT{176, 3, 200, 27}));
    EXPECT_FLOAT_EQ(at144.text.Width, 173);
}

}  // namespace
