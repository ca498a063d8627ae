#include <gtest/gtest.h>

#include <algorithm>

#include "controls/image_view.h"
#include "controls/label.h"
#include "res/dpi.h"
#include "res/fonts.h"
#include "tests/support/gdiplus_test.h"
#include "tests/support/pixel_canvas.h"
#include "tests/support/reflecting_parent.h"
#include "tests/support/solid_image.h"

namespace {

using testing_support::CPixelCanvas;
using testing_support::SendDrawItem;

TEST(LabelArithmetic, AlignmentOfEachValue) {
    struct Case {
        LabelAlignment align;
        Gdiplus::StringAlignment expected;
    };
    for (const Case& c : {Case{LabelAlignment::Near, Gdiplus::StringAlignmentNear},
                          Case{LabelAlignment::Centre, Gdiplus::StringAlignmentCenter},
                          Case{LabelAlignment::Far, Gdiplus::StringAlignmentFar}}) {
        EXPECT_EQ(StringAlignmentOf(c.align), c.expected) << int(c.align);
    }
}

TEST(LabelArithmetic, MeasuredSizeIsTruncated) {
    const SIZE size = TruncateSize(Gdiplus::SizeF(80.9f, 16.6f));
    EXPECT_EQ(size.cx, 80);
    EXPECT_EQ(size.cy, 16);
}

constexpr COLORREF kCanvas = RGB(0, 128, 0);
constexpr COLORREF kLabelBk = RGB(0, 0, 160);
constexpr COLORREF kLabelText = RGB(255, 40, 0);
constexpr int kLabelWidth = 300;
constexpr int kLabelHeight = 40;

// Pixels that are text: reddish, whatever the anti-aliasing blended them with.
bool IsTextPixel(COLORREF c) {
    return GetRValue(c) > 128;
}

struct Extent {
    int left = -1;
    int right = -1;
    int top = -1;
    int bottom = -1;
    int count = 0;
};

Extent TextExtent(const CPixelCanvas& canvas, int width, int height) {
    Extent e;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (!IsTextPixel(canvas.At(x, y))) continue;
            if (e.count++ == 0) {
                e.left = e.right = x;
                e.top = e.bottom = y;
            }
            e.left = std::min(e.left, x);
            e.right = std::max(e.right, x);
            e.top = std::min(e.top, y);
            e.bottom = std::max(e.bottom, y);
        }
    }
    return e;
}

class LabelWindow : public testing_support::GdiplusTest {
protected:
    void SetUp() override {
        GdiplusTest::SetUp();
        ASSERT_NE(m_parent.CreateVisible(400, 120), nullptr);
        m_font = CreateUiFont(L"Segoe UI", 20, GetWindowDpi(m_parent));
    }
    void TearDown() override { m_parent.DestroyWindow(); }

    void Create(const wchar_t* text, DWORD style = WS_CHILD | SS_OWNERDRAW) {
        ASSERT_NE(m_label.Create(m_parent, RECT{10, 10, 10 + kLabelWidth, 10 + kLabelHeight}, text,
                                 style, 0, 1020),
                  nullptr);
        m_label.SetFont(m_font.Get());
        m_label.SetBackgroundColor(kLabelBk);
        m_label.SetTextColor(kLabelText);
    }

    void Draw(CPixelCanvas& canvas) {
        canvas.Fill(kCanvas);
        EXPECT_EQ(SendDrawItem(m_label, canvas.Dc(), 0, ODT_STATIC), TRUE);
    }

    testing_support::CReflectingParent m_parent;
    FontHandle m_font;
    CLabel m_label;
};

TEST_F(LabelWindow, OpaqueLabelPaintsItsBackgroundAndTextInItsColour) {
    Create(L"WWW");
    CPixelCanvas canvas(kLabelWidth, kLabelHeight);
    Draw(canvas);
    EXPECT_EQ(canvas.Count(RECT{0, 0, kLabelWidth, kLabelHeight}, kCanvas), 0);
    EXPECT_EQ(canvas.At(0, 0), kLabelBk);
    EXPECT_EQ(canvas.At(kLabelWidth - 1, kLabelHeight - 1), kLabelBk);
    EXPECT_GT(canvas.Count(RECT{0, 0, kLabelWidth, kLabelHeight}, kLabelText), 10)
        << "glyph interiors carry the exact text colour";
}

TEST_F(LabelWindow, SimpleLabelErasesItsWholeAreaWithItsBrushUnlessTransparent) {
    Create(L"W", WS_CHILD | SS_SIMPLE);
    m_label.SetBackgroundMode(OPAQUE);
    CPixelCanvas canvas(kLabelWidth, kLabelHeight);
    canvas.Fill(kCanvas);
    ::SendMessageW(m_label, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
    ::GdiFlush();
    EXPECT_EQ(canvas.Count(RECT{0, 0, kLabelWidth, kLabelHeight}, kCanvas), 0);
    EXPECT_EQ(canvas.At(kLabelWidth - 1, kLabelHeight / 2), kLabelBk);

    m_label.SetBackgroundMode(TRANSPARENT);
    canvas.Fill(kCanvas);
    ::SendMessageW(m_label, WM_ERASEBKGND, reinterpret_cast<WPARAM>(canvas.Dc()), 0);
    ::GdiFlush();
    EXPECT_EQ(canvas.Count(RECT{0, 0, kLabelWidth, kLabelHeight}, kLabelBk), 0);
}

TEST_F(LabelWindow, ShorterSimpleTextLeavesNothingOfTheLongerOne) {
    Create(L"WWWWWWWWWW", WS_CHILD | WS_VISIBLE | SS_SIMPLE);
    m_label.SetBackgroundColor(RGB(255, 255, 255));
    m_label.SetBackgroundMode(OPAQUE);
    ::UpdateWindow(m_label);
    m_label.SetWindowText(L"W");
    ::UpdateWindow(m_label);
    // What is on screen right of the one letter: nothing but the background.
    CWindowDC dc(m_label, CWindowDC::ClientArea);
    int dark = 0;
    for (int x = kLabelWidth / 2; x < kLabelWidth; ++x)
        for (int y = 0; y < kLabelHeight; ++y)
            if (::GetPixel(dc, x, y) != RGB(255, 255, 255)) ++dark;
    EXPECT_EQ(dark, 0);
}

TEST_F(LabelWindow, TransparentLabelLeavesWhatWasUnderneath) {
    Create(L"WWW");
    m_label.SetBackgroundMode(TRANSPARENT);
    CPixelCanvas canvas(kLabelWidth, kLabelHeight);
    Draw(canvas);
    EXPECT_EQ(canvas.Count(RECT{0, 0, kLabelWidth, kLabelHeight}, kLabelBk), 0);
    EXPECT_EQ(canvas.At(0, 0), kCanvas);
    EXPECT_EQ(canvas.At(kLabelWidth - 1, kLabelHeight - 1), kCanvas);
    EXPECT_GT(canvas.Count(RECT{0, 0, kLabelWidth, kLabelHeight}, kLabelText), 10);
}

TEST_F(LabelWindow, AlignsHorizontallyAndCentresVertically) {
    Create(L"WWW");
    struct Case {
        LabelAlignment align;
        int expectedCentre;  // of the text's columns
    };
    CPixelCanvas canvas(kLabelWidth, kLabelHeight);
    Draw(canvas);
    const int textWidth = TextExtent(canvas, kLabelWidth, kLabelHeight).right -
                          TextExtent(canvas, kLabelWidth, kLabelHeight).left;
    ASSERT_GT(textWidth, 20);
    for (const Case& c :
         {Case{LabelAlignment::Near, textWidth / 2}, Case{LabelAlignment::Centre, kLabelWidth / 2},
          Case{LabelAlignment::Far, kLabelWidth - textWidth / 2}}) {
        m_label.SetAlignment(c.align);
        Draw(canvas);
        const Extent e = TextExtent(canvas, kLabelWidth, kLabelHeight);
        ASSERT_GT(e.count, 0) << int(c.align);
        EXPECT_NEAR((e.left + e.right) / 2, c.expectedCentre, 8) << int(c.align);
        EXPECT_NEAR((e.top + e.bottom) / 2, kLabelHeight / 2, 5) << int(c.align);
    }
}

TEST_F(LabelWindow, AnswersTheStaticColourMessageWithItsBackground) {
    Create(L"Status", WS_CHILD | SS_SIMPLE);
    for (int mode : {TRANSPARENT, OPAQUE}) {
        m_label.SetBackgroundMode(mode);
        CPixelCanvas canvas(4, 4);
        const auto brush = reinterpret_cast<HBRUSH>(
            m_parent.SendMessage(WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(canvas.Dc()),
                                 reinterpret_cast<LPARAM>(m_label.m_hWnd)));
        if (mode == TRANSPARENT) {
            EXPECT_EQ(brush, ::GetStockObject(NULL_BRUSH));
        } else {
            LOGBRUSH info{};
            ASSERT_EQ(::GetObjectW(brush, sizeof info, &info), int(sizeof info));
            EXPECT_EQ(info.lbColor, kLabelBk);
        }
        EXPECT_EQ(::GetBkMode(canvas.Dc()), mode);
        EXPECT_EQ(::GetBkColor(canvas.Dc()), kLabelBk);
        EXPECT_EQ(::GetTextColor(canvas.Dc()), RGB(0, 0, 0)) << "no text colour is set";
    }
}

TEST_F(LabelWindow, TextSizeGrowsWithTheText) {
    Create(L"Install to:");
    const SIZE one = m_label.GetTextSize();
    m_label.SetWindowText(L"Install to:Install to:");
    const SIZE two = m_label.GetTextSize();
    EXPECT_GT(one.cx, 20);
    EXPECT_GT(one.cy, 10);
    EXPECT_LT(one.cy, 60);
    EXPECT_NEAR(double(two.cx), 2.0 * one.cx, 0.1 * one.cx);
    EXPECT_EQ(two.cy, one.cy);
    m_label.SetWindowText(L"");
    EXPECT_EQ(m_label.GetTextSize().cx, 0);
}

constexpr COLORREF kLeft = RGB(255, 0, 0);
constexpr COLORREF kRight = RGB(0, 0, 255);
constexpr RECT kViewRect{0, 0, 80, 40};

// 8 by 8: the left half red, the right half blue.
ImagePtr TwoColourImage() {
    ImagePtr image = testing_support::BlankImage(8, 8);
    auto* bitmap = static_cast<Gdiplus::GpBitmap*>(NativeImage(image));
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            Gdiplus::DllExports::GdipBitmapSetPixel(bitmap, x, y, x < 4 ? 0xFFFF0000 : 0xFF0000FF);
        }
    }
    return image;
}

class ImageViewWindow : public testing_support::GdiplusTest {
protected:
    void SetUp() override {
        GdiplusTest::SetUp();
        ASSERT_NE(m_parent.CreateVisible(400, 120), nullptr);
        ASSERT_NE(m_view.Create(m_parent, RECT{10, 10, 90, 50}, nullptr,
                                WS_CHILD | WS_VISIBLE | SS_OWNERDRAW, 0, 1021),
                  nullptr);
    }
    void TearDown() override { m_parent.DestroyWindow(); }

    testing_support::CReflectingParent m_parent;
    CImageView m_view;
};

TEST_F(ImageViewWindow, DrawsItsImageScaledIntoItsRectangle) {
    m_view.SetImage(TwoColourImage());
    CPixelCanvas canvas(100, 60);
    canvas.Fill(kCanvas);
    EXPECT_EQ(SendDrawItem(m_view, canvas.Dc(), 0, ODT_STATIC), TRUE);
    // Away from the seam and the edges, which the default interpolation blends.
    for (const POINT p : {POINT{5, 5}, POINT{20, 20}, POINT{28, 30}}) {
        EXPECT_EQ(canvas.At(p.x, p.y), kLeft) << p.x << "," << p.y;
    }
    for (const POINT p : {POINT{45, 5}, POINT{60, 20}, POINT{66, 30}}) {
        EXPECT_EQ(canvas.At(p.x, p.y), kRight) << p.x << "," << p.y;
    }
    // Nothing outside the item rectangle.
    EXPECT_EQ(canvas.Count(RECT{kViewRect.right, 0, 100, 60}, kCanvas), 20 * 60);
    EXPECT_EQ(canvas.Count(RECT{0, kViewRect.bottom, 100, 60}, kCanvas), 100 * 20);
}

TEST_F(ImageViewWindow, EmptyImageDrawsNothing) {
    CPixelCanvas canvas(100, 60);
    canvas.Fill(kCanvas);
    EXPECT_EQ(SendDrawItem(m_view, canvas.Dc(), 0, ODT_STATIC), TRUE);
    EXPECT_EQ(canvas.Count(RECT{0, 0, 100, 60}, kCanvas), 100 * 60);
}

TEST_F(ImageViewWindow, OnlyANewImageRepaints) {
    m_view.UpdateWindow();
    ::ValidateRect(m_view, nullptr);
    m_view.SetImage(nullptr);
    EXPECT_FALSE(::GetUpdateRect(m_view, nullptr, FALSE));
    m_view.SetImage(TwoColourImage());
    EXPECT_TRUE(::GetUpdateRect(m_view, nullptr, FALSE));
}

}  // namespace
