#include "ui/layout.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/rect_compare.h"
#include "ui/pages.h"

namespace {

const RECT kClient96{0, 0, 600, 364};
const RECT kScreen{0, 0, 1920, 1080};

RECT Rect(ControlRole role, const ControlRects& rects) {
    return rects[RoleIndex(role)];
}

MeasuredSizes Sizes(SIZE agree, SIZE link, SIZE toggle, SIZE location, SIZE shortcut, SIZE launch) {
    MeasuredSizes sizes{};
    sizes[RoleIndex(ControlRole::AgreeCheck)] = agree;
    sizes[RoleIndex(ControlRole::LicenceLink)] = link;
    sizes[RoleIndex(ControlRole::CustomToggle)] = toggle;
    sizes[RoleIndex(ControlRole::LocationLabel)] = location;
    sizes[RoleIndex(ControlRole::ShortcutCheck)] = shortcut;
    sizes[RoleIndex(ControlRole::LaunchCheck)] = launch;
    return sizes;
}

const MeasuredSizes kTypical =
    Sizes({120, 20}, {140, 20}, {130, 20}, {100, 20}, {150, 20}, {140, 20});

TEST(PlaceRect, EveryAnchorInAClientRectangle) {
    struct Case {
        int anchor;
        RECT reference;
        int dpi;
        RECT expected;
    };
    const RECT client120{0, 0, 750, 455};
    for (auto c : {
             Case{AnchorTopLeft, kClient96, 96, {8, 4, 38, 34}},
             Case{AnchorTopRight, kClient96, 96, {562, 4, 592, 34}},
             Case{AnchorCenter, kClient96, 96, {285, 167, 315, 197}},
             // 30 units become 38 pixels and 8 become 10 at 120 DPI (rounded to nearest).
             Case{AnchorTopLeft, client120, 120, {10, 5, 48, 43}},
             Case{AnchorTopRight, client120, 120, {702, 5, 740, 43}},
             Case{AnchorCenter, client120, 120, {356, 208, 394, 246}},
             // Unknown anchors behave as top-left.
             Case{9, kClient96, 96, {8, 4, 38, 34}},
             Case{-1, kClient96, 96, {8, 4, 38, 34}},
         }) {
        const LayoutSpec spec{static_cast<LayoutAnchor>(c.anchor), 8, 4, 30, 30};
        EXPECT_EQ(PlaceRect(spec, c.reference, c.dpi), c.expected)
            << "anchor " << c.anchor << " at " << c.dpi;
    }
}

TEST(PlaceRect, ReferenceSmallerThanTheDesignGivesNegativeEdges) {
    const LayoutSpec centred{AnchorCenter, 0, 0, 30, 30};
    EXPECT_EQ(PlaceRect(centred, {0, 0, 20, 10}, 96), (RECT{-5, -10, 25, 20}));
    // Signed division truncates toward zero: -9 / 2 is -4, not -5.
    EXPECT_EQ(PlaceRect(centred, {0, 0, 21, 11}, 96), (RECT{-4, -9, 26, 21}));
    EXPECT_EQ(PlaceRect({AnchorTopRight, 8, 4, 30, 30}, {0, 0, 20, 10}, 96),
              (RECT{-18, 4, 12, 34}));
}

TEST(PlaceRect, ReferenceAwayFromTheOriginOffsetsEveryAnchor) {
    const RECT workArea{100, 50, 700, 414};
    struct Case {
        LayoutAnchor anchor;
        RECT expected;
    };
    for (auto c :
         {Case{AnchorTopLeft, {108, 54, 138, 84}}, Case{AnchorTopRight, {662, 54, 692, 84}},
          Case{AnchorCenter, {385, 217, 415, 247}}}) {
        EXPECT_EQ(PlaceRect({c.anchor, 8, 4, 30, 30}, workArea, 96), c.expected) << c.anchor;
    }
}

TEST(PlaceRect, BadLengthsAndDpi) {
    // A negative size collapses to an empty rectangle at the anchored edge.
    EXPECT_EQ(PlaceRect({AnchorTopRight, 8, 4, -30, -5}, kClient96, 96), (RECT{592, 4, 592, 4}));
    // A failed DPI query (0) is treated as 96.
    EXPECT_EQ(PlaceRect({AnchorTopRight, 8, 4, 30, 30}, kClient96, 0), (RECT{562, 4, 592, 34}));
    EXPECT_EQ(PixelsToUnits(150, -1), 150);
}

TEST(WindowRect, CentredOnTheScreenAtEachDpi) {
    struct Case {
        int dpi, page;
        bool expanded;
        RECT expected;
    };
    for (auto c : {
             Case{96, PageWelcome, false, {660, 358, 1260, 722}},
             Case{96, PageWelcome, true, {660, 335, 1260, 745}},
             Case{96, PageInstalling, true, {660, 358, 1260, 722}},
             Case{96, 0, true, {660, 358, 1260, 722}},
             Case{120, PageWelcome, false, {585, 312, 1335, 767}},
             Case{144, PageWelcome, false, {510, 267, 1410, 813}},
             Case{144, PageWelcome, true, {510, 232, 1410, 847}},
             Case{144, PageSucceeded, false, {510, 267, 1410, 813}},
         }) {
        EXPECT_EQ(WindowRect(kScreen, c.dpi, c.page, c.expanded), c.expected)
            << c.dpi << " DPI, page " << c.page << (c.expanded ? ", expanded" : "");
    }
}

TEST(WindowRect, CustomToggleGrowsAndShrinksByTheSection) {
    struct Case {
        int dpi, delta;
    };
    for (auto c : {Case{96, 46}, Case{120, 58}, Case{144, 69}, Case{192, 92}}) {
        const RECT collapsed = WindowRect(kScreen, c.dpi, PageWelcome, false);
        const RECT grown = ToggleCustomSection(collapsed, false, c.dpi);
        EXPECT_EQ(grown, (RECT{collapsed.left, collapsed.top, collapsed.right,
                               collapsed.bottom + c.delta}))
            << c.dpi;
        EXPECT_EQ(grown.bottom - grown.top, WindowRect(kScreen, c.dpi, PageWelcome, true).bottom -
                                                WindowRect(kScreen, c.dpi, PageWelcome, true).top)
            << c.dpi;
        EXPECT_EQ(ToggleCustomSection(grown, true, c.dpi), collapsed) << c.dpi;
    }
}

TEST(Layout, FixedControlsAt96Dpi) {
    struct Case {
        ControlRole role;
        RECT expected;
    };
    const ControlRects rects = LayoutControlRects(kClient96, 96, PageWelcome, kTypical);
    for (auto c : {
             Case{ControlRole::Title, {16, 13, 516, 37}},
             Case{ControlRole::CloseButton, {562, 4, 592, 34}},
             Case{ControlRole::Banner, {0, 0, 600, 236}},
             Case{ControlRole::InstallButton, {200, 260, 400, 300}},
             Case{ControlRole::BrowseButton, {488, 366, 584, 394}},
             Case{ControlRole::StatusLabel, {16, 302, 584, 324}},
             Case{ControlRole::ProgressBar, {16, 332, 584, 344}},
             Case{ControlRole::ResultImage, {274, 89, 326, 141}},
             Case{ControlRole::ResultTitle, {16, 156, 584, 184}},
             Case{ControlRole::ResultText, {16, 188, 584, 208}},
             Case{ControlRole::FinishButton, {202, 248, 402, 288}},
             Case{ControlRole::ContactButton, {169, 250, 432, 292}},
         }) {
        EXPECT_EQ(Rect(c.role, rects), c.expected) << RoleIndex(c.role);
    }
}

TEST(Layout, MeasuredControlsAt96Dpi) {
    struct Case {
        ControlRole role;
        RECT expected;
    };
    const ControlRects rects = LayoutControlRects(kClient96, 96, PageWelcome, kTypical);
    for (auto c : {
             Case{ControlRole::AgreeCheck, {16, 330, 136, 350}},
             Case{ControlRole::LicenceLink, {136, 330, 276, 350}},
             Case{ControlRole::CustomToggle, {454, 330, 584, 350}},
             Case{ControlRole::LocationLabel, {16, 374, 116, 394}},
             Case{ControlRole::PathEdit, {121, 366, 480, 394}},
             Case{ControlRole::ShortcutCheck, {16, 326, 166, 346}},
             Case{ControlRole::LaunchCheck, {186, 326, 326, 346}},
         }) {
        EXPECT_EQ(Rect(c.role, rects), c.expected) << RoleIndex(c.role);
    }
}

TEST(Layout, BannerHeightFollowsThePage) {
    struct Case {
        int page, dpi, height;
    };
    for (auto c : {Case{0, 96, 282}, Case{PageWelcome, 96, 236}, Case{PageInstalling, 96, 282},
                   Case{PageUpdating, 96, 282}, Case{PageWelcome, 144, 354},
                   Case{PageSucceeded, 144, 423}}) {
        const RECT banner =
            Rect(ControlRole::Banner, LayoutControlRects(kClient96, c.dpi, c.page, kTypical));
        EXPECT_EQ(banner.bottom - banner.top, c.height) << "page " << c.page << " at " << c.dpi;
    }
}

TEST(Layout, NeighboursFollowTheCaptionsTheyStandBeside) {
    MeasuredSizes longer = kTypical;
    longer[RoleIndex(ControlRole::AgreeCheck)].cx += 30;
    longer[RoleIndex(ControlRole::ShortcutCheck)].cx += 45;
    longer[RoleIndex(ControlRole::LocationLabel)].cx += 20;
    const ControlRects before = LayoutControlRects(kClient96, 96, PageWelcome, kTypical);
    const ControlRects after = LayoutControlRects(kClient96, 96, PageWelcome, longer);
    struct Case {
        ControlRole role;
        int shift;
    };
    for (auto c : {Case{ControlRole::LicenceLink, 30}, Case{ControlRole::LaunchCheck, 45},
                   Case{ControlRole::PathEdit, 20}}) {
        EXPECT_EQ(Rect(c.role, after).left - Rect(c.role, before).left, c.shift)
            << RoleIndex(c.role);
        EXPECT_EQ(Rect(c.role, after).top, Rect(c.role, before).top) << RoleIndex(c.role);
    }
    // The path edit keeps its right edge; only its left edge follows the caption.
    EXPECT_EQ(Rect(ControlRole::PathEdit, after).right, 480);
}

TEST(Layout, LaunchBoxStartsTwentyUnitsAfterTheShortcutBoxAtEveryDpi) {
    for (int dpi : {96, 120, 144, 168, 192}) {
        for (int width : {90, 151, 233}) {
            MeasuredSizes sizes = kTypical;
            sizes[RoleIndex(ControlRole::ShortcutCheck)] = {width, 21};
            const ControlRects rects =
                LayoutControlRects({0, 0, 1200, 728}, dpi, PageSucceeded, sizes);
            const RECT shortcut = Rect(ControlRole::ShortcutCheck, rects);
            const RECT launch = Rect(ControlRole::LaunchCheck, rects);
            // Measured pixels travel through units and back, so one pixel either way is allowed.
            EXPECT_LE(std::abs(launch.left - shortcut.right - UnitsToPixels(20, dpi)), 1)
                << dpi << " DPI, width " << width;
            EXPECT_LE(std::abs(launch.top - shortcut.top), 1) << dpi << " DPI, width " << width;
            EXPECT_LE(std::abs(shortcut.right - shortcut.left - width), 1) << dpi;
        }
    }
}

TEST(Layout, OverlongLocationCaptionLeavesTheEditEmptyAtItsRightEdge) {
    MeasuredSizes sizes = kTypical;
    sizes[RoleIndex(ControlRole::LocationLabel)] = {500, 20};
    const RECT edit =
        Rect(ControlRole::PathEdit, LayoutControlRects(kClient96, 96, PageWelcome, sizes));
    EXPECT_EQ(edit, (RECT{480, 366, 480, 394}));
}

TEST(Layout, OnlyTheMeasuredControlsReadTheirSizes) {
    MeasuredSizes noisy = kTypical;
    for (ControlRole role : kMemberOrder) {
        if (!IsMeasured(role)) noisy[RoleIndex(role)] = {777, 555};
    }
    EXPECT_EQ(LayoutControlRects(kClient96, 120, PageWelcome, noisy),
              LayoutControlRects(kClient96, 120, PageWelcome, kTypical));
}

TEST(Layout, RightAnchoredControlsKeepTheirMarginWhereverTheWindowIs) {
    struct Case {
        RECT window;
        int dpi;
    };
    for (auto c : {Case{{1000, 200, 1900, 746}, 144}, Case{{-1500, -300, -750, 155}, 120},
                   Case{{0, 0, 600, 364}, 96}}) {
        const RECT client = ClientReference(c.window);
        EXPECT_EQ(client,
                  (RECT{0, 0, c.window.right - c.window.left, c.window.bottom - c.window.top}));
        const ControlRects rects = LayoutControlRects(client, c.dpi, PageWelcome, kTypical);
        EXPECT_EQ(Rect(ControlRole::CloseButton, rects).right,
                  client.right - UnitsToPixels(8, c.dpi));
        EXPECT_EQ(Rect(ControlRole::BrowseButton, rects).right,
                  client.right - UnitsToPixels(16, c.dpi));
        EXPECT_EQ(Rect(ControlRole::CustomToggle, rects).right,
                  client.right - UnitsToPixels(16, c.dpi));
    }
}

TEST(Layout, FontsPerControl) {
    for (ControlRole role : kMemberOrder) {
        LayoutFont expected = LayoutFont::Small;
        if (role == ControlRole::CloseButton || role == ControlRole::Banner ||
            role == ControlRole::ResultImage) {
            expected = LayoutFont::None;
        }
        if (role == ControlRole::ResultTitle) expected = LayoutFont::Large;
        EXPECT_EQ(FontFor(role), expected) << RoleIndex(role);
    }
}

}  // namespace
