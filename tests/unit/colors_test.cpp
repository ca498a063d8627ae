#include "res/colors.h"

#include <gtest/gtest.h>

#include "res/strings.h"

namespace {

TEST(ParseHexColor, ReadsHashAndThreeHexFields) {
    struct Case {
        const wchar_t* text;
        COLORREF color;
    };
    for (auto c : {
             Case{L"#FFD521", 0x0021D5FF},
             Case{L"#2b3440", 0x0040342B},
             Case{L"#2B3440", 0x0040342B},
             Case{L"#000000", 0},
             Case{L"#ffffff", 0x00FFFFFF},
             Case{L"#FFF", 0x00000FFF},  // fields of two digits: FF, F, none
             Case{L"#1", 0x00000001},
             Case{L"#FFD52", 0x0002D5FF},
             Case{L"#FFD52100", 0x0021D5FF},     // trailing text is ignored
             Case{L"# FF\tD5\n21", 0x0021D5FF},  // white space before a field is skipped
             Case{L"#FFD5G1", 0x0000D5FF},       // stops at the first non-digit
             Case{L"#FFxD521", 0x000000FF},
             Case{L"#-1FFFF", 0},  // no signs
             Case{L"D5", 0},
             Case{L"FFD521", 0},
             Case{L" #FFD521", 0},
             Case{L"#", 0},
             Case{L"", 0},
         }) {
        EXPECT_EQ(ParseHexColor(c.text), c.color) << testing::PrintToString(c.text);
    }
}

TEST(ParseHexColor, ReadsTheSkinColoursOfTheStringTable) {
    struct Case {
        StringId id;
        COLORREF color;
    };
    for (auto c : {Case{IDS_PROGRESS_COLOR, RGB(0xFF, 0xD5, 0x21)},
                   Case{IDS_BUTTON_COLOR, RGB(0xFF, 0xD5, 0x21)},
                   Case{IDS_BUTTON_HOVER_COLOR, RGB(0xFF, 0xE2, 0x65)},
                   Case{IDS_BUTTON_PRESSED_COLOR, RGB(0xF7, 0xC9, 0x00)},
                   Case{IDS_BUTTON_TEXT_COLOR, RGB(0, 0, 0)},
                   Case{IDS_TITLE_DONE_COLOR, RGB(0x2B, 0x34, 0x40)}}) {
        EXPECT_EQ(ParseHexColor(LoadLocalizedString(c.id)), c.color) << c.id;
    }
}

TEST(ToArgb, MakesAnOpaqueArgbAndIgnoresTheHighByte) {
    struct Case {
        COLORREF color;
        DWORD argb;
    };
    for (auto c : {Case{0x0021D5FF, 0xFFFFD521}, Case{0x0040342B, 0xFF2B3440}, Case{0, 0xFF000000},
                   Case{0x00FFFFFF, 0xFFFFFFFF}, Case{0xAB21D5FF, 0xFFFFD521},
                   Case{0xFF000000, 0xFF000000}}) {
        EXPECT_EQ(ToArgb(c.color), c.argb) << std::hex << c.color;
    }
    EXPECT_EQ(ToArgb(ParseHexColor(L"#FFD521")), 0xFFFFD521u);
}

}  // namespace
