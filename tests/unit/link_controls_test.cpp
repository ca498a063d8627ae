#include <gtest/gtest.h>

#include <string>

#include "controls/check_box.h"
#include "controls/expand_button.h"
#include "controls/link_button.h"
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

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kCanvas = RGB(200, 0, 200);
constexpr COLORREF kOnColour = RGB(0, 160, 0);
constexpr COLORREF kOffColour = RGB(0, 0, 160);
constexpr int kCheckId = 1008;
constexpr int kLinkId = 1003;
constexpr int kExpandId = 1004;

class LinkControls : public testing_support::GdiplusTest {
protected:
    void SetUp() override {
        testing_support::GdiplusTest::SetUp();
        ::SetCursorPos(1500, 900);
        ASSERT_NE(m_parent.CreateVisible(), nullptr);
        m_font = CreateUiFont(L"Segoe UI", kSmallFontUnits, GetWindowDpi(m_parent));
        ASSERT_TRUE(m_font);
    }
    void TearDown() override {
        m_parent.DestroyWindow();
        PumpMessages();
    }

    template <class TControl>
    void CreateVisible(TControl& control, const RECT& rect, const wchar_t* text, int id) {
        ASSERT_NE(
            control.Create(m_parent, rect, text, WS_CHILD | WS_VISIBLE | BS_OWNERDRAW, 0, UINT(id)),
            nullptr);
        control.SetFont(m_font.Get());
    }
    // The check box has its own creation, hidden until its page shows it.
    void CreateVisible(CCheckBox& check, const RECT& rect, const wchar_t* text, int id) {
        ASSERT_NE(check.Create(m_parent, rect, text, UINT(id)), nullptr);
        check.ShowWindow(SW_SHOWNA);
        check.SetFont(m_font.Get());
    }

    // Presses and releases the left button at (x, y) of the control, as the system would.
    void Click(HWND control, int x, int y) {
        ::SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
        ::SendMessageW(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
        PumpMessages();
    }

    static int CountNotWhite(const CPixelCanvas& canvas, const RECT& area) {
        return (area.right - area.left) * (area.bottom - area.top) - canvas.Count(area, kWhite);
    }

    CReflectingParent m_parent;
    FontHandle m_font;
};

TEST_F(LinkControls, CheckBoxIsCreatedHiddenAndUncheckedShowingTheSkinsBoxes) {
    CCheckBox check;
    EXPECT_FALSE(check.IsChecked());
    ASSERT_NE(check.Create(m_parent, RECT{0, 0, 150, 20}, L"", kCheckId), nullptr);
    EXPECT_EQ(check.GetStyle(), 0x4000000Bu);
    EXPECT_EQ(check.GetDlgCtrlID(), kCheckId);
    EXPECT_EQ(check.GetWindowText(), L"");

    // The skin's two box pictures differ, and each fills the box.
    const int box = UnitsToPixels(16, int(GetWindowDpi(check)));
    CPixelCanvas unchecked(150, 20), checked(150, 20);
    SendDrawItem(check, unchecked.Dc(), 0);
    check.SetChecked(true);
    SendDrawItem(check, checked.Dc(), 0);
    const RECT boxArea{0, (20 - box) / 2, box, (20 - box) / 2 + box};
    EXPECT_GT(CountNotWhite(unchecked, boxArea), 0);
    EXPECT_GT(CountNotWhite(checked, boxArea), 0);
    int differing = 0;
    for (int y = boxArea.top; y < boxArea.bottom; ++y)
        for (int x = 0; x < box; ++x) differing += unchecked.At(x, y) != checked.At(x, y);
    EXPECT_GT(differing, box) << "the ticked box looks different";
}

TEST_F(LinkControls, CheckBoxShowsTheImageOfBitZero) {
    CCheckBox check;
    CreateVisible(check, RECT{0, 0, 150, 20}, L"", kCheckId);
    check.SetImages(testing_support::SolidImage(ToArgb(kOffColour)),
                    testing_support::SolidImage(ToArgb(kOnColour)));
    const int box = UnitsToPixels(16, int(GetWindowDpi(check)));
    const int top = (20 - box) / 2;

    const struct {
        bool checked;
        COLORREF box;
    } cases[] = {{false, kOffColour}, {true, kOnColour}, {false, kOffColour}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.checked);
        check.SetChecked(c.checked);
        CPixelCanvas canvas(150, 20);
        canvas.Fill(kCanvas);
        SendDrawItem(check, canvas.Dc(), 0);
        EXPECT_EQ(canvas.At(box / 2, 10), c.box);
        if (top > 0) {
            EXPECT_EQ(canvas.At(box / 2, top - 1), kWhite) << "above the box";
        }
        EXPECT_EQ(canvas.At(box + 4, 10), kWhite) << "white where no text is";
        EXPECT_EQ(canvas.Count(RECT{0, 0, 150, 20}, kCanvas), 0);
    }
}

TEST_F(LinkControls, CheckBoxTextStartsAfterTheBoxAndGap) {
    CCheckBox check;
    CreateVisible(check, RECT{0, 0, 150, 20}, L"Agree", kCheckId);
    check.SetImages(nullptr, nullptr);
    const int dpi = int(GetWindowDpi(check));
    const int textLeft = UnitsToPixels(18, dpi);
    CPixelCanvas canvas(150, 20);
    SendDrawItem(check, canvas.Dc(), 0);
    EXPECT_EQ(CountNotWhite(canvas, RECT{0, 0, textLeft, 20}), 0)
        << "a missing image draws nothing";
    EXPECT_GT(CountNotWhite(canvas, RECT{textLeft, 0, 150, 20}), 10);
}

TEST_F(LinkControls, ExpandButtonShowsTheChevronOfBitZeroAtTheRight) {
    CExpandButton toggle;
    CreateVisible(toggle, RECT{0, 0, 200, 20}, L"Custom", kExpandId);
    toggle.SetImages(testing_support::SolidImage(ToArgb(kOffColour)),
                     testing_support::SolidImage(ToArgb(kOnColour)));
    const ExpandButtonLayout layout =
        LayoutExpandButton(RECT{0, 0, 200, 20}, int(GetWindowDpi(toggle)));
    const int cx = (layout.chevron.left + layout.chevron.right) / 2;
    for (bool expanded : {false, true, false}) {
        SCOPED_TRACE(expanded);
        toggle.SetExpanded(expanded);
        CPixelCanvas canvas(200, 20);
        canvas.Fill(kCanvas);
        SendDrawItem(toggle, canvas.Dc(), 0);
        EXPECT_EQ(canvas.At(cx, 10), expanded ? kOnColour : kOffColour);
        EXPECT_EQ(canvas.Count(RECT{0, 0, 200, 20}, kCanvas), 0);
        EXPECT_GT(CountNotWhite(canvas, RECT{0, 0, 60, 20}), 10) << "the text at the left";
    }
}

TEST_F(LinkControls, LinkDrawsItsTextInItsColourOnWhite) {
    CLinkButton link;
    CreateVisible(link, RECT{0, 0, 150, 20}, L"", kLinkId);
    link.SetTextColor(RGB(0x27, 0x9A, 0xFF));
    CPixelCanvas canvas(150, 20);
    canvas.Fill(kCanvas);
    SendDrawItem(link, canvas.Dc(), 0);
    EXPECT_EQ(canvas.Count(RECT{0, 0, 150, 20}, kWhite), 150 * 20) << "empty text: white only";

    link.SetWindowText(L"Licence agreement");
    SendDrawItem(link, canvas.Dc(), 0);
    EXPECT_GT(CountNotWhite(canvas, RECT{0, 0, 150, 20}), 10);
    // Glyph stems show the text colour itself, anti-aliased edges shades of it.
    for (int y = 0; y < 20; ++y) {
        for (int x = 0; x < 150; ++x) {
            const COLORREF c = canvas.At(x, y);
            if (c != kWhite) {
                ASSERT_GE(GetBValue(c), GetRValue(c)) << x << ", " << y;
            }
        }
    }
}

TEST_F(LinkControls, HandCursorOverTheExpandButtonAndTheLinkOnly) {
    CCheckBox check;
    CLinkButton link;
    CExpandButton toggle;
    CreateVisible(check, RECT{0, 0, 150, 20}, L"Agree", kCheckId);
    CreateVisible(link, RECT{0, 30, 150, 50}, L"Licence", kLinkId);
    CreateVisible(toggle, RECT{0, 60, 150, 80}, L"Custom", kExpandId);
    const HCURSOR hand = ::LoadCursorW(nullptr, IDC_HAND);
    const HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);

    const struct {
        HWND control;
        WORD hitTest;
        HCURSOR expected;
    } cases[] = {
        {link, HTCLIENT, hand},   {toggle, HTCLIENT, hand},   {check, HTCLIENT, arrow},
        {link, HTNOWHERE, arrow}, {toggle, HTCAPTION, arrow},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << ::GetDlgCtrlID(c.control) << " hit " << c.hitTest);
        ::SetCursor(nullptr);
        const LRESULT result = ::SendMessageW(c.control, WM_SETCURSOR, WPARAM(c.control),
                                              MAKELPARAM(c.hitTest, WM_MOUSEMOVE));
        EXPECT_EQ(::GetCursor(), c.expected);
        if (c.control != check.m_hWnd) {
            EXPECT_EQ(result, FALSE);
        }
    }
}

TEST_F(LinkControls, ClicksRaiseTheStandardNotificationWithTheHandle) {
    CCheckBox check;
    CLinkButton link;
    CExpandButton toggle;
    CreateVisible(check, RECT{0, 0, 150, 20}, L"Agree", kCheckId);
    CreateVisible(link, RECT{0, 30, 150, 50}, L"Licence", kLinkId);
    CreateVisible(toggle, RECT{0, 60, 150, 80}, L"Custom", kExpandId);
    check.SetChecked(true);

    const struct {
        HWND control;
        int id;
        int x;
    } cases[] = {{check, kCheckId, 8},
                 {check, kCheckId, 100},
                 {link, kLinkId, 20},
                 {toggle, kExpandId, 140}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.id << " at x " << c.x);
        m_parent.m_commands.clear();
        Click(c.control, c.x, 10);
        ASSERT_EQ(m_parent.m_commands.size(), 1u);
        EXPECT_EQ(m_parent.m_commands[0].wParam, WPARAM(MAKEWPARAM(c.id, BN_CLICKED)));
        EXPECT_EQ(m_parent.m_commands[0].lParam, LPARAM(c.control));
    }
    EXPECT_TRUE(check.IsChecked()) << "the owner toggles, not the control";
    EXPECT_FALSE(toggle.IsExpanded());

    m_parent.m_commands.clear();
    ::SendMessageW(link, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 10));
    ::SendMessageW(link, WM_LBUTTONUP, 0, MAKELPARAM(400, 10));
    PumpMessages();
    EXPECT_TRUE(m_parent.m_commands.empty()) << "released outside";
}

TEST_F(LinkControls, ReflectedButtonColourIsTransparentWithTheNullBrush) {
    CCheckBox check;
    CLinkButton link;
    CExpandButton toggle;
    CreateVisible(check, RECT{0, 0, 150, 20}, L"", kCheckId);
    CreateVisible(link, RECT{0, 30, 150, 50}, L"", kLinkId);
    CreateVisible(toggle, RECT{0, 60, 150, 80}, L"", kExpandId);
    CPixelCanvas canvas(4, 4);
    for (HWND control : {check.m_hWnd, link.m_hWnd, toggle.m_hWnd}) {
        ::SetBkMode(canvas.Dc(), OPAQUE);
        EXPECT_EQ(m_parent.SendMessage(WM_CTLCOLORBTN, WPARAM(canvas.Dc()), LPARAM(control)),
                  LRESULT(::GetStockObject(NULL_BRUSH)));
        EXPECT_EQ(::GetBkMode(canvas.Dc()), TRANSPARENT);
    }
}

TEST_F(LinkControls, MeasuredSizesFollowTextAndFont) {
    CCheckBox check;
    CExpandButton toggle;
    CLinkButton link;
    CreateVisible(check, RECT{0, 0, 150, 20}, L"", kCheckId);
    CreateVisible(toggle, RECT{0, 30, 150, 50}, L"", kExpandId);
    CreateVisible(link, RECT{0, 60, 150, 80}, L"", kLinkId);
    const int dpi = int(GetWindowDpi(check));
    const int box = UnitsToPixels(16, dpi);
    const int gap = UnitsToPixels(2, dpi);

    const SIZE empty = check.GetIdealSize();
    EXPECT_EQ(empty.cx, box + gap + 2);
    EXPECT_EQ(empty.cy, box + 2);

    check.SetWindowText(L"Launch application now.");
    toggle.SetWindowText(L"Launch application now.");
    link.SetWindowText(L"Launch application now.");
    const SIZE ideal = check.GetIdealSize();
    const SIZE linkSize = link.GetLinkSize();
    EXPECT_GT(ideal.cx, box + gap + 2 + 50);
    EXPECT_EQ(ideal.cx - (box + gap), linkSize.cx) << "same text, same measurement";
    EXPECT_EQ(toggle.GetIdealSize().cx, ideal.cx);

    // A large font reaches the measurement only through WM_GETFONT.
    const FontHandle large = CreateUiFont(L"Segoe UI", 40, UINT(dpi));
    link.SetFont(large.Get());
    const SIZE largeSize = link.GetLinkSize();
    EXPECT_GT(largeSize.cy, UnitsToPixels(40, dpi));
    EXPECT_GT(largeSize.cx, 2 * linkSize.cx);
}

// The check box's cue frames its text, not its box.
TEST_F(LinkControls, CheckBoxFocusCueFramesTheText) {
    CCheckBox check;
    CreateVisible(check, RECT{0, 0, 150, 20}, L"Agree", kCheckId);
    check.SetFocusCueColor(kOnColour);
    const int dpi = int(GetWindowDpi(check));
    const RECT text = CheckBoxTextCell(RECT{0, 0, 150, 20}, dpi);
    CPixelCanvas canvas(150, 20);
    SendDrawItem(check, canvas.Dc(), ODS_FOCUS);
    EXPECT_EQ(canvas.At(text.left, 10), kOnColour);
    EXPECT_EQ(canvas.At(149, 10), kOnColour);
    EXPECT_EQ(canvas.At(text.left - 1, 0), kWhite) << "the box and its gap stay outside";
    EXPECT_EQ(canvas.Count(RECT{0, 0, text.left, 20}, kOnColour), 0);
}

}  // namespace
