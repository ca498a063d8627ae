#include "controls/progress_bar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "res/fonts.h"
#include "tests/support/gdiplus_test.h"
#include "tests/support/pixel_canvas.h"
#include "tests/support/reflecting_parent.h"
#include "tests/support/run_environment.h"

namespace {

using testing_support::CPixelCanvas;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInfinity = std::numeric_limits<float>::infinity();

TEST(ProgressBarArithmetic, FillAndPercentFollowTheFraction) {
    struct Case {
        float progress;
        int fill;
        const wchar_t* text;
    };
    for (const Case& c : {Case{0.0f, 0, L"00%"}, Case{0.05f, 26, L"05%"}, Case{0.5f, 260, L"50%"},
                          Case{0.999f, 520, L"99%"}, Case{1.0f, 521, L"100%"}}) {
        const ProgressBarGeometry g = MeasureProgressBar(568, 12, 96, c.progress);
        EXPECT_EQ(g.fillWidth, c.fill) << c.progress;
        EXPECT_EQ(FormatPercent(c.progress), c.text) << c.progress;
    }
}

TEST(ProgressBarArithmetic, OutOfRangeValuesAreClampedToEmptyOrFull) {
    struct Case {
        float progress;
        int fill;
        const wchar_t* text;
    };
    for (const Case& c :
         {Case{kNaN, 0, L"00%"}, Case{-0.25f, 0, L"00%"}, Case{-kInfinity, 0, L"00%"},
          Case{1.5f, 521, L"100%"}, Case{kInfinity, 521, L"100%"}, Case{3.0e9f, 521, L"100%"}}) {
        const ProgressBarGeometry g = MeasureProgressBar(568, 12, 96, c.progress);
        EXPECT_EQ(g.fillWidth, c.fill) << c.progress;
        EXPECT_EQ(FormatPercent(c.progress), c.text) << c.progress;
    }
}

TEST(ProgressBarArithmetic, BarAndColumnAtEachDpi) {
    struct Case {
        int width;
        int height;
        UINT dpi;
        int bar;
        int barHeight;
        int column;
    };
    for (const Case& c : {Case{568, 12, 96, 521, 11, 47}, Case{852, 18, 144, 781, 17, 71},
                          Case{710, 15, 120, 651, 14, 59},
                          // Narrower than the column, or flat: an empty bar, never a negative one.
                          Case{30, 12, 96, 0, 11, 47}, Case{568, 0, 96, 521, 0, 47}}) {
        const ProgressBarGeometry g = MeasureProgressBar(c.width, c.height, c.dpi, 1.0f);
        EXPECT_EQ(g.barWidth, c.bar) << c.width << "@" << c.dpi;
        EXPECT_EQ(g.barHeight, c.barHeight) << c.width << "@" << c.dpi;
        EXPECT_EQ(g.columnWidth, c.column) << c.width << "@" << c.dpi;
        EXPECT_EQ(g.fillWidth, c.bar) << c.width << "@" << c.dpi;
    }
}

constexpr COLORREF kBorder = RGB(220, 220, 220);
constexpr COLORREF kTrack = RGB(255, 255, 255);
constexpr COLORREF kBar = RGB(255, 213, 33);
constexpr int kWidth = 568;
constexpr int kHeight = 12;

// Rendered at the run's DPI: 96 in the ordinary runs, 144 in the DPI run.
class ProgressBarWindow : public testing_support::GdiplusTest {
protected:
    void SetUp() override {
        GdiplusTest::SetUp();
        ASSERT_NE(m_parent.CreateVisible(700, 100), nullptr);
        m_font = CreateUiFont(L"Segoe UI", kSmallFontUnits, GetWindowDpi(m_parent));
        ASSERT_NE(m_bar.Create(m_parent, RECT{10, 10, 10 + kWidth, 10 + kHeight}, nullptr,
                               WS_CHILD | WS_VISIBLE),
                  nullptr);
        m_bar.SetFont(m_font.Get());
        m_bar.SetColors(kBorder, kTrack, kBar);
        const int column = testing_support::ExpectedDpi() == 144 ? 71 : 47;
        m_barWidth = kWidth - column;
        ASSERT_EQ(m_barWidth, testing_support::ExpectedDpi() == 144 ? 497 : 521);
    }
    void TearDown() override { m_parent.DestroyWindow(); }

    void Print(CPixelCanvas& canvas, float progress) {
        m_bar.SetProgress(progress);
        canvas.Fill(RGB(0, 128, 0));
        m_bar.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.Dc()), PRF_CLIENT);
    }

    // Columns of the middle row that show the bar's colour.
    int BarColumns(const CPixelCanvas& canvas) const {
        return canvas.Count(RECT{0, kHeight / 2, kWidth, kHeight / 2 + 1}, kBar);
    }

    // Leftmost and rightmost columns holding a dark (text) pixel, or -1.
    std::pair<int, int> TextColumns(const CPixelCanvas& canvas) const {
        int first = -1;
        int last = -1;
        for (int x = 0; x < kWidth; ++x) {
            for (int y = 0; y < kHeight; ++y) {
                const COLORREF c = canvas.At(x, y);
                if (GetRValue(c) < 128 && GetGValue(c) < 128 && GetBValue(c) < 128) {
                    if (first < 0) first = x;
                    last = x;
                    break;
                }
            }
        }
        return {first, last};
    }

    void ExpectFrame(const CPixelCanvas& canvas) const {
        for (int y = 0; y < kHeight; ++y) {
            EXPECT_EQ(canvas.At(0, y), kBorder) << "left edge, row " << y;
            EXPECT_EQ(canvas.At(m_barWidth, y), kBorder) << "right edge, row " << y;
        }
        for (int x = 0; x <= m_barWidth; ++x) {
            ASSERT_EQ(canvas.At(x, 0), kBorder) << "top edge, column " << x;
            ASSERT_EQ(canvas.At(x, kHeight - 1), kBorder) << "bottom edge, column " << x;
        }
    }

    testing_support::CReflectingParent m_parent;
    FontHandle m_font;
    CProgressBar m_bar;
    int m_barWidth = 0;
};

TEST_F(ProgressBarWindow, FullFillsTheWholeBarInsideItsFrame) {
    CPixelCanvas canvas(kWidth, kHeight);
    Print(canvas, 1.0f);
    ExpectFrame(canvas);
    // The fill spans columns 0 to bw - 1; the frame's left edge covers column 0.
    for (int x = 1; x < m_barWidth; ++x) {
        ASSERT_EQ(canvas.At(x, kHeight / 2), kBar) << x;
    }
    EXPECT_EQ(BarColumns(canvas), m_barWidth - 1);
    const auto text = TextColumns(canvas);
    EXPECT_GT(text.first, m_barWidth) << "the percentage is never drawn over the bar";
    EXPECT_GE(text.second, kWidth - 6) << "the percentage is right-aligned";
}

TEST_F(ProgressBarWindow, EmptyShowsOnlyTheTrackAndTheFrame) {
    CPixelCanvas canvas(kWidth, kHeight);
    Print(canvas, 0.0f);
    ExpectFrame(canvas);
    EXPECT_EQ(canvas.Count(RECT{0, 0, kWidth, kHeight}, kBar), 0);
    EXPECT_EQ(canvas.Count(RECT{1, 1, m_barWidth, kHeight - 1}, kTrack),
              (m_barWidth - 1) * (kHeight - 2));
    // The off-screen bitmap is white before drawing: nothing of the canvas shows through.
    EXPECT_EQ(canvas.Count(RECT{0, 0, kWidth, kHeight}, RGB(0, 128, 0)), 0);
}

TEST_F(ProgressBarWindow, DefaultValueShowsHalfABar) {
    CPixelCanvas canvas(kWidth, kHeight);
    Print(canvas, m_bar.Progress());
    const int fill = int(float(m_barWidth) * 0.5f);
    EXPECT_EQ(canvas.At(fill - 1, kHeight / 2), kBar);
    EXPECT_EQ(canvas.At(fill, kHeight / 2), kTrack);
    EXPECT_EQ(BarColumns(canvas), fill - 1);
}

TEST_F(ProgressBarWindow, LongerPercentageReachesFurtherLeft) {
    CPixelCanvas empty(kWidth, kHeight);
    CPixelCanvas full(kWidth, kHeight);
    Print(empty, 0.0f);
    Print(full, 1.0f);
    const auto two = TextColumns(empty);
    const auto three = TextColumns(full);
    ASSERT_GE(two.first, 0);
    ASSERT_GE(three.first, 0);
    EXPECT_LT(three.first, two.first) << "\"100%\" is wider than \"00%\"";
    EXPECT_EQ(three.second, two.second) << "both end at the right edge";
}

TEST_F(ProgressBarWindow, OutOfRangeValuesPaintAsEmptyOrFull) {
    CPixelCanvas empty(kWidth, kHeight);
    CPixelCanvas full(kWidth, kHeight);
    Print(empty, 0.0f);
    Print(full, 1.0f);
    struct Case {
        float progress;
        const CPixelCanvas* expected;
    };
    for (const Case& c : {Case{kNaN, &empty}, Case{-0.5f, &empty}, Case{-kInfinity, &empty},
                          Case{1.25f, &full}, Case{kInfinity, &full}}) {
        CPixelCanvas canvas(kWidth, kHeight);
        Print(canvas, c.progress);
        int differing = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) differing += canvas.At(x, y) != c.expected->At(x, y);
        }
        EXPECT_EQ(differing, 0) << c.progress;
    }
}

TEST_F(ProgressBarWindow, NewValueRepaintsOnScreenWithoutErasing) {
    m_bar.UpdateWindow();
    m_bar.SetProgress(1.0f);
    m_bar.UpdateWindow();
    CPixelCanvas canvas(kWidth, kHeight);
    CWindowDC screen(m_bar, CWindowDC::ClientArea);
    ASSERT_TRUE(::BitBlt(canvas.Dc(), 0, 0, kWidth, kHeight, screen, 0, 0, SRCCOPY));
    EXPECT_EQ(canvas.At(0, kHeight / 2), kBorder);
    EXPECT_EQ(canvas.At(m_barWidth - 1, kHeight / 2), kBar);
    EXPECT_EQ(canvas.At(m_barWidth, kHeight / 2), kBorder);
    EXPECT_EQ(m_bar.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Dc())), 1);
    EXPECT_EQ(canvas.At(m_barWidth - 1, kHeight / 2), kBar) << "nothing was erased";
}

}  // namespace
