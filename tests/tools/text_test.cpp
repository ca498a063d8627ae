#include "platform/utf8.h"
#include "tools/pack/windows_name.h"

#include <gtest/gtest.h>

namespace {

TEST(PackText, Utf8ToUtf16AcceptsOnlyWellFormedInput) {
    EXPECT_EQ(Utf8ToUtf16("abc"), std::u16string(u"abc"));
    EXPECT_EQ(Utf8ToUtf16("数据"), std::u16string(u"数据"));
    EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98\x80"), std::u16string(u"\U0001F600"));
    for (const char* bad : {"\xFF", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xE6\x95",
                            "\xF4\x90\x80\x80", "a\x80"})
        EXPECT_FALSE(Utf8ToUtf16(bad)) << bad;
}

TEST(PackText, Utf16ToUtf8ReplacesUnpairedSurrogates) {
    EXPECT_EQ(Utf16ToUtf8(u"数\U0001F600"), "数\xF0\x9F\x98\x80");
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800)) + u"x"), "\xEF\xBF\xBDx");
}

TEST(PackText, WindowsNameProblems) {
    const std::vector<std::pair<std::u16string, bool>> cases = {
        {u"dict\\pos_dict\\prob_emit.utf8", true},
        {u"libstdc++-6.dll", true},
        {u"中文\\数据.txt", true},
        {u"a\\\\b", false},
        {u"a|b", false},
        {u"a\tb", false},
        {u"name. ", false},
        {u"dir.\\x", false},
        {u"LPT1", false},
        {u"lpt1.log", false},
        {u"LPT0", false},
        {u"CONIN$", false},
        {u"sub\\CONOUT$.txt", false},
        {u"com0", false},
        {u"lpt0.log", false},
        {u"COM\u00B9", false},
        {u"lpt\u00B3.txt", false},
        {u"LPT10", true},
        {u"console.txt", true},
        {u"nul", false},
        {std::u16string(256, u'a'), false},
        {std::u16string(255, u'a'), true},
    };
    for (const auto& [name, ok] : cases)
        EXPECT_EQ(pack::WindowsNameProblem(name).empty(), ok) << Utf16ToUtf8(name);
}

}  // namespace
