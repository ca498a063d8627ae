#include <gtest/gtest.h>

#include "controls/button_ex.h"
#include "controls/image_button.h"
#include "controls/round_button.h"
#include "res/fonts.h"
#include "tests/support/gdiplus_test.h"
#include "tests/support/message_pump.h"
#include "tests/support/pixel_canvas.h"
#include "tests/support/reflecting_parent.h"
#include "tests/support/solid_image.h"

namespace {

using testing_support::CPixelCanvas;
using testing_support::CReflectingParent;
using testing_support::SendDrawItem;

constexpr int kId = 1005;
constexpr int kWidth = 120;
constexpr int kHeight = 40;
constexpr RECT kRect{10, 10, 10 + kWidth, 10 + kHeight};
constexpr COLORREF kCanvas = RGB(200, 0, 200);  // a coloured parent background

// Three looks that tell the states apart, and where in the button to look.
constexpr COLORREF kNormal = RGB(0x10, 0x20, 0x30);
constexpr COLORREF kHover = RGB(0x40, 0x50, 0x60);
constexpr COLORREF kPressed = RGB(0x70, 0x80, 0x90);

template <class TButton>
void Configure(TButton& button) {
    button.SetFills({ToArgb(kNormal), ToArgb(kHover), ToArgb(kPressed)});
}
void Configure(CImageButton& button) {
    button.SetImages(testing_support::SolidImage(ToArgb(kNormal)),
                     testing_support::SolidImage(ToArgb(kHover)),
                     testing_support::SolidImage(ToArgb(kPressed)));
}

template <class TButton>
class FlatButton : public testing_support::GdiplusTest {
protected:
    void SetUp() override {
        testing_support::GdiplusTest::SetUp();
        // Away from the windows, so that showing them produces no pointer moves.
        ::SetCursorPos(1500, 900);
        ASSERT_NE(m_parent.CreateVisible(), nullptr);
        Configure(m_button);
        ASSERT_NE(
            m_button.Create(m_parent, kRect, L"", WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, kId),
            nullptr);
        PumpMessages();
        m_parent.m_commands.clear();
    }
    void TearDown() override {
        m_parent.DestroyWindow();
        PumpMessages();
    }

    // Paints the button through its parent into a canvas of the parent's colour.
    COLORREF CentreAfterPaint(UINT itemState) {
        CPixelCanvas canvas(kWidth, kHeight);
        canvas.Fill(kCanvas);
        EXPECT_EQ(SendDrawItem(m_button, canvas.Dc(), itemState), TRUE);
        return canvas.At(kWidth / 2, kHeight / 2);
    }

    bool HasUpdateRegion() const { return ::GetUpdateRect(m_button, nullptr, FALSE) != FALSE; }

    CReflectingParent m_parent;
    TButton m_button;
};

using FlatButtonTypes = ::testing::Types<CButtonEx, CRoundButton, CImageButton>;
TYPED_TEST_SUITE(FlatButton, FlatButtonTypes);

TYPED_TEST(FlatButton, EachStateShowsItsFillAndPressedWinsOverHover) {
    EXPECT_EQ(this->CentreAfterPaint(0), kNormal);
    this->m_button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    EXPECT_EQ(this->CentreAfterPaint(0), kHover);
    EXPECT_EQ(this->CentreAfterPaint(ODS_SELECTED), kPressed);
    this->m_button.SendMessage(WM_MOUSELEAVE);
    EXPECT_EQ(this->CentreAfterPaint(ODS_SELECTED | ODS_FOCUS), kPressed);
}

// The test's parent hides no cues: a frame one unit wide in the cue colour lines the edges of
// the focused button, and nothing of it shows without the focus or with the system's
// no-focus-rectangle flag.
TYPED_TEST(FlatButton, FocusCueFramesTheFocusedButtonOneUnitWide) {
    constexpr COLORREF kCue = RGB(0x2B, 0x34, 0x40);
    const int t = UnitsToPixels(1, int(GetWindowDpi(this->m_button)));
    this->m_button.SetFocusCueColor(kCue);
    struct Case {
        UINT state;
        bool cue;
    };
    for (auto c : {Case{ODS_FOCUS, true}, Case{0, false}, Case{ODS_FOCUS | ODS_NOFOCUSRECT, false},
                   Case{ODS_FOCUS | ODS_SELECTED, true}}) {
        CPixelCanvas canvas(kWidth, kHeight);
        canvas.Fill(kCanvas);
        SendDrawItem(this->m_button, canvas.Dc(), c.state);
        for (POINT p : {POINT{t - 1, kHeight / 2}, POINT{kWidth - t, kHeight / 2},
                        POINT{kWidth / 2, t - 1}, POINT{kWidth / 2, kHeight - t}})
            EXPECT_EQ(canvas.At(p.x, p.y) == kCue, c.cue)
                << c.state << " at " << p.x << ", " << p.y;
        EXPECT_NE(canvas.At(kWidth / 2, t), kCue) << "no wider than a unit";
    }
}

TYPED_TEST(FlatButton, PressAndReleaseInsidePostsOneCommandWithoutSender) {
    this->m_button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 20));
    EXPECT_EQ(::GetCapture(), this->m_button.m_hWnd) << "the standard button takes the press";
    this->m_button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(30, 20));
    EXPECT_NE(::GetCapture(), this->m_button.m_hWnd);
    PumpMessages();
    ASSERT_EQ(this->m_parent.m_commands.size(), 1u);
    EXPECT_EQ(this->m_parent.m_commands[0].wParam, WPARAM(MAKEWPARAM(kId, BN_CLICKED)));
    EXPECT_EQ(this->m_parent.m_commands[0].lParam, 0);
}

TYPED_TEST(FlatButton, ReleaseOutsidePostsNothing) {
    const POINT outside[] = {{-5, 20}, {kWidth, 20}, {30, kHeight}, {30, -1}};
    for (const POINT& p : outside) {
        SCOPED_TRACE(::testing::Message() << p.x << ", " << p.y);
        this->m_button.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(30, 20));
        this->m_button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        EXPECT_NE(::GetCapture(), this->m_button.m_hWnd);
        PumpMessages();
        EXPECT_TRUE(this->m_parent.m_commands.empty());
    }
}

TYPED_TEST(FlatButton, ReleaseInsideCountsEvenWhenThePressBeganElsewhere) {
    this->m_button.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(kWidth - 1, kHeight - 1));
    PumpMessages();
    EXPECT_EQ(this->m_parent.m_commands.size(), 1u);
}

TYPED_TEST(FlatButton, TrackingStartsOnceAndLeavingClearsTheHoverLook) {
    POINT centre{kWidth / 2, kHeight / 2};
    ::ClientToScreen(this->m_button, &centre);
    ::SetCursorPos(centre.x, centre.y);
    POINT at{};
    ::GetCursorPos(&at);
    if (at.x != centre.x || at.y != centre.y) GTEST_SKIP() << "the pointer cannot be placed";

    ::ValidateRect(this->m_button, nullptr);
    this->m_button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(centre.x, centre.y));
    EXPECT_TRUE(this->m_button.IsHovering());
    EXPECT_TRUE(this->HasUpdateRegion());
    TRACKMOUSEEVENT query{sizeof(query), TME_QUERY, nullptr, 0};
    ASSERT_TRUE(::TrackMouseEvent(&query));
    EXPECT_EQ(query.hwndTrack, this->m_button.m_hWnd);
    EXPECT_EQ(query.dwFlags & (TME_HOVER | TME_LEAVE), DWORD(TME_HOVER | TME_LEAVE));

    // With tracking cancelled behind its back, further moves must not start it again.
    TRACKMOUSEEVENT cancel{sizeof(cancel), TME_CANCEL | TME_HOVER | TME_LEAVE, this->m_button, 0};
    ::TrackMouseEvent(&cancel);
    ::ValidateRect(this->m_button, nullptr);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(this->m_button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(40 + i, 20)), 0);
    }
    query = TRACKMOUSEEVENT{sizeof(query), TME_QUERY, nullptr, 0};
    ::TrackMouseEvent(&query);
    EXPECT_FALSE(query.hwndTrack == this->m_button.m_hWnd && (query.dwFlags & TME_LEAVE));
    EXPECT_FALSE(this->HasUpdateRegion()) << "no repaint while the pointer stays";

    EXPECT_EQ(this->m_button.SendMessage(WM_MOUSELEAVE), 0);
    EXPECT_FALSE(this->m_button.IsHovering());
    EXPECT_TRUE(this->HasUpdateRegion());
    EXPECT_EQ(this->CentreAfterPaint(0), kNormal);
}

TYPED_TEST(FlatButton, StandardCursorOnly) {
    ::SetCursor(nullptr);
    this->m_button.SendMessage(WM_SETCURSOR, WPARAM(this->m_button.m_hWnd),
                               MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_ARROW));
}

class RoundButtonPaint : public FlatButton<CRoundButton> {};

TEST_F(RoundButtonPaint, CornersAreWhiteOverAColouredParent) {
    CPixelCanvas canvas(kWidth, kHeight);
    canvas.Fill(kCanvas);
    SendDrawItem(m_button, canvas.Dc(), 0);
    const COLORREF white = RGB(255, 255, 255);
    EXPECT_EQ(canvas.At(0, 0), white);
    EXPECT_EQ(canvas.At(kWidth - 1, 0), white);
    EXPECT_EQ(canvas.At(0, kHeight - 1), white);
    EXPECT_EQ(canvas.At(kWidth - 1, kHeight - 1), white);
    EXPECT_EQ(canvas.Count(RECT{0, 0, kWidth, kHeight}, kCanvas), 0) << "nothing of the parent";
    // The straight edges between the half circles are filled up to the border.
    EXPECT_EQ(canvas.At(kWidth / 2, 1), kNormal);
    EXPECT_EQ(canvas.At(kWidth / 2, kHeight - 3), kNormal);
}

class ButtonExPaint : public FlatButton<CButtonEx> {};

TEST_F(ButtonExPaint, BorderIsStrokedOnTheEdgeOnlyWhenItHasAWidth) {
    m_button.SetBorder(ToArgb(RGB(0xEE, 0x11, 0x22)), 2);
    CPixelCanvas canvas(kWidth, kHeight);
    SendDrawItem(m_button, canvas.Dc(), 0);
    EXPECT_EQ(canvas.At(0, kHeight / 2), RGB(0xEE, 0x11, 0x22));
    EXPECT_EQ(canvas.At(kWidth / 2, 0), RGB(0xEE, 0x11, 0x22));
    EXPECT_EQ(canvas.At(3, kHeight / 2), kNormal);

    m_button.SetBorder(ToArgb(RGB(0xEE, 0x11, 0x22)), 0);
    SendDrawItem(m_button, canvas.Dc(), 0);
    EXPECT_EQ(canvas.At(0, kHeight / 2), kNormal);
    EXPECT_EQ(canvas.At(kWidth / 2, 0), kNormal);
}

TEST_F(ButtonExPaint, IconSitsLeftOfTheCentredText) {
    m_button.SetBorder(0, 0);
    m_button.SetIcon(testing_support::SolidImage(ToArgb(RGB(0, 200, 0)), 28, 28));
    const int side = ButtonExMetricsAt(int(GetWindowDpi(m_button))).iconSide;
    CPixelCanvas canvas(kWidth, kHeight);
    SendDrawItem(m_button, canvas.Dc(), 0);
    // Empty text: the icon alone is centred, less half the gap.
    EXPECT_GT(canvas.Count(RECT{0, 0, kWidth, kHeight}, RGB(0, 200, 0)), (side - 2) * (side - 2));
    EXPECT_EQ(canvas.At(kWidth / 2 - side / 2, kHeight / 2), RGB(0, 200, 0));
    EXPECT_EQ(canvas.At(kWidth / 2 + side / 2 + 2, kHeight / 2), kNormal);

    m_button.SetIcon(nullptr);
    SendDrawItem(m_button, canvas.Dc(), 0);
    EXPECT_EQ(canvas.Count(RECT{0, 0, kWidth, kHeight}, RGB(0, 200, 0)), 0);
}

TEST_F(ButtonExPaint, TextIsDrawnAroundTheMiddleInItsColour) {
    m_button.SetBorder(0, 0);
    m_button.SetTextColor(RGB(0xEE, 0xEE, 0xEE));
    m_button.SetWindowText(L"Browse");
    const FontHandle font = CreateUiFont(L"Segoe UI", kSmallFontUnits, GetWindowDpi(m_button));
    m_button.SetFont(font.Get());
    CPixelCanvas canvas(kWidth, kHeight);
    SendDrawItem(m_button, canvas.Dc(), 0);
    const int area = kWidth * kHeight;
    EXPECT_GT(area - canvas.Count(RECT{0, 0, kWidth, kHeight}, kNormal), 20);
    EXPECT_EQ(canvas.Count(RECT{0, 0, 25, kHeight}, kNormal), 25 * kHeight) << "left margin";
    EXPECT_EQ(canvas.Count(RECT{kWidth - 25, 0, kWidth, kHeight}, kNormal), 25 * kHeight);
    EXPECT_GT(canvas.Count(RECT{0, 0, kWidth, kHeight}, RGB(0xEE, 0xEE, 0xEE)), 0)
        << "glyph stems in the text colour";
}

class RoundButtonEdgeCases : public testing_support::GdiplusTest {};

TEST_F(RoundButtonEdgeCases, ButtonWithoutAreaPaintsNothing) {
    CReflectingParent parent;
    ASSERT_NE(parent.CreateVisible(), nullptr);
    CRoundButton button;
    ASSERT_NE(button.Create(parent, RECT{5, 5, 5, 5}, L"Install", WS_CHILD | BS_OWNERDRAW, 0, 1),
              nullptr);
    CPixelCanvas canvas(8, 8);
    canvas.Fill(kCanvas);
    EXPECT_EQ(SendDrawItem(button, canvas.Dc(), 0), TRUE);
    EXPECT_EQ(canvas.Count(RECT{0, 0, 8, 8}, kCanvas), 64);
    parent.DestroyWindow();
}

class ImageButtonPaint : public FlatButton<CImageButton> {};

TEST_F(ImageButtonPaint, StateWithoutItsOwnImageShowsNothing) {
    const ImagePtr normal = testing_support::SolidImage(ToArgb(kNormal));
    m_button.SetImages(normal, testing_support::SolidImage(ToArgb(kHover)), nullptr);
    m_button.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(1, 1));
    CPixelCanvas canvas(kWidth, kHeight);
    canvas.Fill(kCanvas);
    SendDrawItem(m_button, canvas.Dc(), ODS_SELECTED);
    EXPECT_EQ(canvas.Count(RECT{0, 0, kWidth, kHeight}, kCanvas), kWidth * kHeight);

    m_button.SetImages(normal, nullptr, nullptr);
    SendDrawItem(m_button, canvas.Dc(), 0);
    EXPECT_EQ(canvas.Count(RECT{0, 0, kWidth, kHeight}, kCanvas), kWidth * kHeight)
        << "no fallback to the normal image";
}

COLORREF BrushColor(HBRUSH brush) {
    LOGBRUSH info{};
    ::GetObjectW(brush, sizeof(info), &info);
    return info.lbColor;
}

TEST_F(ImageButtonPaint, BackgroundAnswerFollowsTheMode) {
    CPixelCanvas canvas(4, 4);
    const auto ask = [&] {
        return reinterpret_cast<HBRUSH>(
            m_parent.SendMessage(WM_CTLCOLORBTN, WPARAM(canvas.Dc()), LPARAM(m_button.m_hWnd)));
    };
    EXPECT_EQ(ask(), ::GetStockObject(WHITE_BRUSH));
    EXPECT_EQ(::GetBkMode(canvas.Dc()), OPAQUE);
    EXPECT_EQ(::GetBkColor(canvas.Dc()), RGB(255, 255, 255));

    m_button.SetBackgroundMode(TRANSPARENT);
    EXPECT_EQ(ask(), ::GetStockObject(NULL_BRUSH));
    EXPECT_EQ(::GetBkMode(canvas.Dc()), TRANSPARENT);

    m_button.SetBackgroundColor(RGB(1, 2, 3));
    m_button.SetBackgroundMode(OPAQUE);
    const HBRUSH own = ask();
    EXPECT_NE(own, ::GetStockObject(NULL_BRUSH));
    EXPECT_EQ(BrushColor(own), RGB(1, 2, 3));
    EXPECT_EQ(::GetBkColor(canvas.Dc()), RGB(1, 2, 3));

    m_button.SetBackgroundMode(TRANSPARENT);
    EXPECT_EQ(::GetObjectType(own), 0u) << "the replaced brush is deleted";
}

TEST_F(ImageButtonPaint, ButtonsWithoutOwnColoursAnswerTransparentAndNullBrush) {
    CButtonEx flat;
    CRoundButton round;
    ASSERT_NE(flat.Create(m_parent, kRect, L"", WS_CHILD | BS_OWNERDRAW, 0, 1), nullptr);
    ASSERT_NE(round.Create(m_parent, kRect, L"", WS_CHILD | BS_OWNERDRAW, 0, 2), nullptr);
    CPixelCanvas canvas(4, 4);
    for (HWND button : {flat.m_hWnd, round.m_hWnd}) {
        ::SetBkMode(canvas.Dc(), OPAQUE);
        EXPECT_EQ(m_parent.SendMessage(WM_CTLCOLORBTN, WPARAM(canvas.Dc()), LPARAM(button)),
                  LRESULT(::GetStockObject(NULL_BRUSH)));
        EXPECT_EQ(::GetBkMode(canvas.Dc()), TRANSPARENT);
    }
}

}  // namespace
