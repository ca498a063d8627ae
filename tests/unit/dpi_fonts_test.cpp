#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "res/dpi.h"
#include "res/fonts.h"
#include "tests/support/run_environment.h"

namespace {

using testing_support::ExpectedDpi;

TEST(DpiUnits, ScaleWithMulDivRounding) {
    struct Case {
        int units;
        UINT dpi;
        int pixels;
    };
    for (auto c : {Case{30, 120, 38}, Case{8, 120, 10}, Case{12, 144, 18}, Case{20, 144, 30},
                   Case{600, 144, 900}, Case{364, 144, 546}, Case{46, 120, 58}, Case{30, 96, 30},
                   Case{1, 144, 2}, Case{0, 144, 0}, Case{-30, 120, -38}, Case{600, 192, 1200}}) {
        EXPECT_EQ(UnitsToPixels(c.units, c.dpi), c.pixels) << c.units << " at " << c.dpi;
    }
    struct Back {
        int pixels;
        UINT dpi;
        int units;
    };
    for (auto c : {Back{38, 120, 30}, Back{37, 120, 30}, Back{900, 144, 600}, Back{17, 144, 11},
                   Back{12, 96, 12}}) {
        EXPECT_EQ(PixelsToUnits(c.pixels, c.dpi), c.units) << c.pixels << " at " << c.dpi;
    }
}

TEST(FontFace, FollowsTheSystemLanguage) {
    struct Case {
        LANGID language;
        const wchar_t* face;
    };
    for (auto c : {Case{2052, L"Microsoft YaHei"}, Case{1028, L"Segoe UI"}, Case{1033, L"Segoe UI"},
                   Case{4, L"Segoe UI"}, Case{3076, L"Segoe UI"}, Case{4100, L"Segoe UI"},
                   Case{2057, L"Segoe UI"}, Case{0, L"Segoe UI"}}) {
        EXPECT_EQ(std::wstring(ChooseFontFace(c.language)), c.face) << c.language;
    }
}

TEST(FontFace, HeightsSelectByCharacterHeight) {
    struct Case {
        int units;
        UINT dpi;
        int height;
    };
    for (auto c : {Case{kSmallFontUnits, 96, -12}, Case{kLargeFontUnits, 96, -20},
                   Case{kSmallFontUnits, 120, -15}, Case{kLargeFontUnits, 120, -25},
                   Case{kSmallFontUnits, 144, -18}, Case{kLargeFontUnits, 144, -30}}) {
        EXPECT_EQ(FontHeight(c.units, c.dpi), c.height) << c.units << " at " << c.dpi;
    }
}

// A hidden top-level window of the system's STATIC class, enough to ask for its DPI.
class ProbeWindow {
public:
    ProbeWindow()
        : m_hWnd(CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr)) {}
    ProbeWindow(const ProbeWindow&) = delete;
    ProbeWindow& operator=(const ProbeWindow&) = delete;
    ~ProbeWindow() {
        if (m_hWnd) DestroyWindow(m_hWnd);
    }
    HWND Get() const { return m_hWnd; }
    HWND Destroy() {
        DestroyWindow(m_hWnd);
        return std::exchange(m_hWnd, nullptr);
    }

private:
    HWND m_hWnd;
};

TEST(WindowDpi, ReportsTheDpiOfTheRun) {
    ProbeWindow window;
    ASSERT_NE(window.Get(), nullptr);
    EXPECT_EQ(GetWindowDpi(window.Get()), ExpectedDpi());
    EXPECT_EQ(GetWindowDpi(GetDesktopWindow()), ExpectedDpi());
    // Asked again, the remembered lookup gives the same answer.
    EXPECT_EQ(GetWindowDpi(window.Get()), ExpectedDpi());
}

TEST(WindowDpi, HandlesThatAreNoWindowGetTheSystemDpi) {
    ProbeWindow window;
    const HWND gone = window.Destroy();
    ASSERT_FALSE(IsWindow(gone));
    EXPECT_EQ(GetWindowDpi(gone), ExpectedDpi());
    EXPECT_EQ(GetWindowDpi(nullptr), ExpectedDpi());
}

LOGFONTW Describe(const FontHandle& font) {
    LOGFONTW logFont{};
    EXPECT_EQ(GetObjectW(font.Get(), sizeof logFont, &logFont), int(sizeof logFont));
    return logFont;
}

// Ascent plus descent of the realised font, in pixels.
int CharacterHeight(const FontHandle& font) {
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font.Get());
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteDC(dc);
    return metrics.tmHeight - metrics.tmInternalLeading;
}

TEST(UiFonts, AreMadeForTheWindowsDpi) {
    ProbeWindow window;
    ASSERT_NE(window.Get(), nullptr);
    const UINT dpi = GetWindowDpi(window.Get());
    const int small = dpi == 144 ? 18 : 12;
    const int large = dpi == 144 ? 30 : 20;
    ASSERT_TRUE(dpi == 96 || dpi == 144) << dpi;
    for (const wchar_t* face : {L"Segoe UI", L"Microsoft YaHei"}) {
        const FontHandle smallFont = CreateUiFont(face, kSmallFontUnits, dpi);
        const FontHandle largeFont = CreateUiFont(face, kLargeFontUnits, dpi);
        ASSERT_TRUE(smallFont && largeFont);
        const LOGFONTW logFont = Describe(smallFont);
        EXPECT_EQ(logFont.lfHeight, -small);
        EXPECT_EQ(Describe(largeFont).lfHeight, -large);
        // The rasteriser may round a pixel either way; a cell height would be several off.
        EXPECT_NEAR(CharacterHeight(smallFont), small, 1) << testing::PrintToString(face);
        EXPECT_NEAR(CharacterHeight(largeFont), large, 1) << testing::PrintToString(face);
        EXPECT_EQ(std::wstring(logFont.lfFaceName), face);
        EXPECT_EQ(logFont.lfWidth, 0);
        EXPECT_EQ(logFont.lfWeight, FW_NORMAL);
        EXPECT_EQ(logFont.lfItalic | logFont.lfUnderline | logFont.lfStrikeOut, 0);
        EXPECT_EQ(logFont.lfCharSet, DEFAULT_CHARSET);
        EXPECT_EQ(logFont.lfQuality, DEFAULT_QUALITY);
    }
}

TEST(UiFonts, FontHandleDeletesTheFontItOwns) {
    FontHandle first = CreateUiFont(L"Segoe UI", kSmallFontUnits, 96);
    const HFONT raw = first.Get();
    ASSERT_EQ(GetObjectType(raw), DWORD(OBJ_FONT));

    FontHandle moved(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(moved.Get(), raw);
    FontHandle& alias = moved;
    moved = std::move(alias);
    EXPECT_EQ(GetObjectType(raw), DWORD(OBJ_FONT)) << "a self-move keeps the font";

    moved = CreateUiFont(L"Segoe UI", kLargeFontUnits, 96);
    EXPECT_EQ(GetObjectType(raw), 0u) << "the replaced font is deleted";
    const HFONT second = moved.Get();
    { FontHandle scoped(moved.Detach()); }
    EXPECT_FALSE(moved);
    EXPECT_EQ(GetObjectType(second), 0u) << "the font goes with its last owner";
}

}  // namespace
