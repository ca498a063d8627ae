#include "controls/single_line_edit.h"

#include <gtest/gtest.h>

#include "res/fonts.h"
#include "tests/support/pixel_canvas.h"
#include "tests/support/rect_compare.h"
#include "tests/support/reflecting_parent.h"
#include "tests/support/run_environment.h"

namespace {

using testing_support::CPixelCanvas;

TEST(SingleLineEditMargins, ScaleWithTheDpi) {
    struct Case {
        UINT dpi;
        int left;
        int top;
        int right;
    };
    // MulDiv rounds halves away from zero: 5 * 1.5 = 7.5 becomes 8.
    for (const Case& c : {Case{96, 12, 5, 12}, Case{144, 18, 8, 18}, Case{120, 15, 6, 15}}) {
        const EditMargins m = EditMarginsAt(c.dpi);
        EXPECT_EQ(m.left, c.left) << c.dpi;
        EXPECT_EQ(m.top, c.top) << c.dpi;
        EXPECT_EQ(m.right, c.right) << c.dpi;
    }
}

TEST(SingleLineEditMargins, ClientRectangleKeepsTheBottomAndNeverInverts) {
    EXPECT_EQ(EditClientRect(RECT{10, 20, 310, 50}, 96), (RECT{22, 25, 298, 50}));
    EXPECT_EQ(EditClientRect(RECT{10, 20, 310, 50}, 144), (RECT{28, 28, 292, 50}));
    // Smaller than its margins: an empty client area at the margins' corner.
    EXPECT_EQ(EditClientRect(RECT{0, 0, 10, 3}, 96), (RECT{12, 3, 12, 3}));
}

constexpr DWORD kEditStyle = 0x50001084;
constexpr COLORREF kBackground = RGB(235, 235, 235);
constexpr COLORREF kText = RGB(0, 0, 0);

// Real edits on a visible parent at the run's DPI.
class SingleLineEditWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(m_parent.CreateVisible(400, 120), nullptr);
        m_margins = EditMarginsAt(testing_support::ExpectedDpi());
        m_font = CreateUiFont(L"Segoe UI", kSmallFontUnits, GetWindowDpi(m_parent));
    }
    void TearDown() override { m_parent.DestroyWindow(); }

    void Create(const RECT& rect, const wchar_t* text, DWORD extraStyle = 0, DWORD exStyle = 0) {
        ASSERT_NE(m_edit.Create(m_parent, rect, text, kEditStyle | extraStyle, exStyle, 1010),
                  nullptr);
        m_edit.SetFont(m_font.Get());
        m_edit.SetColors(kText, kBackground);
    }

    // The whole window, frame included, as it is on screen.
    void Capture(CPixelCanvas& canvas, int width, int height) {
        ::RedrawWindow(m_edit, nullptr, nullptr,
                       RDW_FRAME | RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        CWindowDC screen(m_edit, CWindowDC::WholeWindow);
        ASSERT_TRUE(::BitBlt(canvas.Dc(), 0, 0, width, height, screen, 0, 0, SRCCOPY));
    }

    static int DarkPixels(const CPixelCanvas& canvas, const RECT& area) {
        int n = 0;
        for (int y = area.top; y < area.bottom; ++y) {
            for (int x = area.left; x < area.right; ++x) n += GetGValue(canvas.At(x, y)) < 128;
        }
        return n;
    }

    testing_support::CReflectingParent m_parent;
    CSingleLineEdit m_edit;
    EditMargins m_margins{};
    FontHandle m_font;
};

TEST_F(SingleLineEditWindow, ClientAreaIsTheWindowMinusTheMarginsEvenWithABorderStyle) {
    Create(RECT{10, 10, 310, 40}, L"C:\\Program Files", WS_BORDER, WS_EX_CLIENTEDGE);
    RECT client{};
    m_edit.GetClientRect(&client);
    EXPECT_EQ(client, (RECT{0, 0, 300 - m_margins.left - m_margins.right, 30 - m_margins.top}));
    RECT window{};
    m_edit.GetWindowRect(&window);
    POINT origin{0, 0};
    ::ClientToScreen(m_edit, &origin);
    EXPECT_EQ(origin.x - window.left, m_margins.left);
    EXPECT_EQ(origin.y - window.top, m_margins.top);

    // The margins follow a new size.
    ::MoveWindow(m_edit, 10, 10, 200, 26, TRUE);
    m_edit.GetClientRect(&client);
    EXPECT_EQ(client, (RECT{0, 0, 200 - m_margins.left - m_margins.right, 26 - m_margins.top}));
}

TEST_F(SingleLineEditWindow, ShowsNoBorderOnlyItsBackground) {
    Create(RECT{10, 10, 310, 40}, L"", WS_BORDER, WS_EX_CLIENTEDGE);
    CPixelCanvas canvas(300, 30);
    Capture(canvas, 300, 30);
    EXPECT_EQ(canvas.Count(RECT{0, 0, 300, 30}, kBackground), 300 * 30);

    // Focused, with its caret hidden so that only the frame and fill are compared.
    ::SetFocus(m_edit);
    ::HideCaret(m_edit);
    Capture(canvas, 300, 30);
    EXPECT_EQ(canvas.Count(RECT{0, 0, 300, 30}, kBackground), 300 * 30);
}

TEST_F(SingleLineEditWindow, TextSitsInsideTheMargins) {
    Create(RECT{10, 10, 310, 40}, L"C:\\Program Files (x86)\\Marlin");
    CPixelCanvas canvas(300, 30);
    Capture(canvas, 300, 30);
    const int right = 300 - m_margins.right;
    EXPECT_GT(DarkPixels(canvas, RECT{m_margins.left, m_margins.top, right, 30}), 20);
    EXPECT_EQ(canvas.Count(RECT{0, 0, m_margins.left, 30}, kBackground), m_margins.left * 30);
    EXPECT_EQ(canvas.Count(RECT{right, 0, 300, 30}, kBackground), m_margins.right * 30);
    EXPECT_EQ(canvas.Count(RECT{0, 0, 300, m_margins.top}, kBackground), 300 * m_margins.top);
}

// The owner creates the field before the layout gives it its size.
TEST_F(SingleLineEditWindow, TextShowsAfterTheFieldIsResized) {
    Create(RECT{0, 0, 0, 0}, L"C:\\Program Files (x86)\\Marlin");
    ::MoveWindow(m_edit, 10, 10, 300, 30, TRUE);
    CPixelCanvas canvas(300, 30);
    Capture(canvas, 300, 30);
    EXPECT_GT(DarkPixels(canvas, RECT{m_margins.left, m_margins.top, 300 - m_margins.right, 30}),
              20);
}

TEST_F(SingleLineEditWindow, AnswersItsColoursThroughTheParent) {
    Create(RECT{10, 10, 310, 40}, L"");
    m_edit.SetColors(RGB(1, 2, 3), kBackground);
    CPixelCanvas canvas(4, 4);
    const auto brush = reinterpret_cast<HBRUSH>(
        m_parent.SendMessage(WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(canvas.Dc()),
                             reinterpret_cast<LPARAM>(m_edit.m_hWnd)));
    LOGBRUSH info{};
    ASSERT_EQ(::GetObjectW(brush, sizeof info, &info), int(sizeof info));
    EXPECT_EQ(info.lbColor, kBackground);
    EXPECT_EQ(::GetTextColor(canvas.Dc()), RGB(1, 2, 3));
    EXPECT_EQ(::GetBkColor(canvas.Dc()), kBackground);
}

}  // namespace
