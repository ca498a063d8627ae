#include "archive/entry_name.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

// The installer asks with wide names, the packer with UTF-16 ones: one rule, the same answer.
bool IsSafeBothWays(const std::wstring& name) {
    const bool wide = IsSafeEntryName(name);
    EXPECT_EQ(FindEntryNameFault(std::u16string(name.begin(), name.end())) == EntryNameFault::None,
              wide)
        << std::string(name.begin(), name.end());
    return wide;
}

TEST(EntryName, NamesInsideTheFolderPass) {
    for (const std::wstring name : {L"a.dll",
                                    L"dict\\pos_dict\\prob_emit.utf8",
                                    L"\\b.txt",
                                    L"libstdc++-6.dll",
                                    L".hidden",
                                    L"a.b.c",
                                    L"dir\\.\\x",
                                    L"..a",
                                    L"a..",
                                    L"con_config.ini",
                                    L"com10.txt",
                                    L"\u7FFB\u8BD1\\zh_CN.lang",
                                    L"nulls\\console.dll",
                                    L"CONIN$x",
                                    L"conout",
                                    L"COM\u00B9\u00B9",
                                    L"LPT\u2074",
                                    L"com\u00BD.txt",
                                    L"\u00B9COM",
                                    L"CO\u00B9",
                                    L"setup~x",
                                    L"a~setup~",
                                    L"~setup\\x",
                                    L"\xD83D\xDE00.txt",
                                    L"a\\\xDBFF\xDFFF"}) {
        EXPECT_TRUE(IsSafeBothWays(name)) << name;
    }
    EXPECT_TRUE(IsSafeBothWays(std::wstring(kMaxEntryNameLength, L'x')));
}

TEST(EntryName, NamesThatLeaveTheFolderAreRefused) {
    for (const std::wstring name : {L"..",
                                    L"..\\evil.dll",
                                    L"a\\..\\..\\evil.dll",
                                    L"a\\..",
                                    L"a/../../evil.dll",
                                    L"..\\",
                                    L"...\\x",
                                    L". .\\x",
                                    L"a\\.. \\x",
                                    L"C:\\Windows\\evil.dll",
                                    L"C:evil.dll",
                                    L"c:",
                                    L"\\\\server\\share\\evil.dll",
                                    L"\\\\?\\C:\\evil.dll",
                                    L"\\\\.\\PhysicalDrive0",
                                    L"\\\\\\x",
                                    L"\\/x",
                                    L"/x",
                                    L"//server/share/x",
                                    L"a.txt:stream",
                                    L"dir\\a.txt::$DATA",
                                    L"NUL",
                                    L"con.txt",
                                    L"dir\\Aux",
                                    L"COM1",
                                    L"lpt9.log",
                                    L"nul .txt",
                                    L"CONOUT$",
                                    L"CONIN$",
                                    L"conout$.txt",
                                    L"com0",
                                    L"lpt0.log",
                                    L"COM\u00B9",
                                    L"dir\\lpt\u00B2.txt",
                                    L"LPT\u00B3",
                                    L"Com\u00B3 .log",
                                    L"com\u00B2.tar.gz",
                                    L"~setup~",
                                    L"~SETUP~new\\a.txt",
                                    L"dict\\~Setup~old"}) {
        EXPECT_FALSE(IsSafeBothWays(name)) << name;
    }
    EXPECT_FALSE(IsSafeBothWays(std::wstring(L"a\0b", 3)));
    EXPECT_FALSE(IsSafeBothWays(L"tab\there"));
    // Half a surrogate pair: the plan and the list, UTF-8, could not carry the name back.
    for (const std::wstring name :
         {L"a\xD800.txt", L"\xDC00", L"dir\\x\xD83D", L"\xDE00\xD83D", L"\xD800\xD800\xDC00"})
        EXPECT_FALSE(IsSafeBothWays(name));
    EXPECT_FALSE(IsSafeBothWays(std::wstring(kMaxEntryNameLength + 1, L'x')));
}

// The installer's keys and the packer's agree, for each name of a group one key, the plain form
// first in each group.
std::wstring KeyBothWays(const std::wstring& name) {
    const std::wstring wide = EntryNameKey(name);
    const std::u16string narrow = EntryNameKey(std::u16string(name.begin(), name.end()));
    EXPECT_EQ(std::wstring(narrow.begin(), narrow.end()), wide);
    return wide;
}

TEST(EntryName, NamesWindowsReducesAlikeAreOneKey) {
    const std::vector<std::vector<std::wstring>> groups = {
        {L"a.txt", L".\\a.txt", L"a.txt.", L"a.txt. .", L"\\a.txt", L"A.TXT", L"./A.txt "},
        {L"a\\b", L"a\\\\b", L"a/b", L"a\\.\\b", L"a.\\b", L"A \\B", L"a\\b\\"},
        {L"dict\\pos\\prob.utf8", L"DICT//Pos/./PROB.UTF8"},
        {L"\u00E9t\u00E9\\\u0444\u0430\u0439\u043B.txt",
         L"\u00C9T\u00C9\\\u0424\u0410\u0419\u041B.TXT"},
        {L"\u03C3\u03BF\u03C6\u03AF\u03B1", L"\u03A3\u039F\u03A6\u038A\u0391"},
        {L"\u0101\u017E\u1EA1\u0561\uFF41", L"\u0100\u017D\u1EA0\u0531\uFF21"},
        {L"\u00FF", L"\u0178"},
    };
    std::vector<std::wstring> keys;
    for (const auto& group : groups) {
        const std::wstring plain = PlainEntryName(group.front());
        EXPECT_EQ(plain, group.front()) << plain;
        for (const std::wstring& name : group)
            EXPECT_EQ(KeyBothWays(name), KeyBothWays(plain)) << name;
        keys.push_back(KeyBothWays(plain));
    }
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(std::unique(keys.begin(), keys.end()), keys.end()) << "each group its own key";
    // What Windows keeps apart stays apart: letters without a case, a dot inside a name, "...".
    for (const auto& [one, other] :
         std::vector<std::pair<std::wstring, std::wstring>>{{L"a.b", L"ab"},
                                                            {L"a b", L"ab"},
                                                            {L"\u00DF", L"SS"},
                                                            {L"\u7FFB", L"\u8BD1"},
                                                            {L"a\\b", L"a\\b\\c"},
                                                            {L"\u00E0", L"a"}})
        EXPECT_NE(KeyBothWays(one), KeyBothWays(other)) << one;
    EXPECT_EQ(PlainEntryName(L"./Dict//Words.TXT."), L"Dict\\Words.TXT") << "case kept";
    EXPECT_EQ(StoredLevel(L"Marlin.. "), L"Marlin");
}

#ifdef _WIN32
// Every unit the key folds is folded to a unit the file system's own comparison takes for the same
// letter (the packer runs the rest of this file natively).
TEST(EntryName, KeysFoldLetterCaseAsTheFileSystemDoes) {
    int folded = 0;
    for (wchar_t c = 1; c < 0xD800; ++c) {
        if (c == L'.' || c == L' ' || IsPathSeparator(c)) continue;
        const std::wstring key = EntryNameKey(std::wstring(1, c));
        if (key == std::wstring(1, c)) continue;
        ++folded;
        EXPECT_EQ(CompareStringOrdinal(&c, 1, key.data(), 1, TRUE), CSTR_EQUAL)
            << "U+" << std::hex << int(c);
        wchar_t upper = c;
        CharUpperBuffW(&upper, 1);
        EXPECT_EQ(int(key[0]), int(upper)) << "U+" << std::hex << int(c);
    }
    EXPECT_GT(folded, 400) << "Latin, Greek, Cyrillic, Armenian and the fullwidth forms";
}
#endif

}  // namespace
