#include "install/paths.h"

#include <gtest/gtest.h>

namespace {

TEST(Paths, JoinPathPutsExactlyOneSeparatorBetween) {
    struct Case {
        const wchar_t* left;
        const wchar_t* right;
        const wchar_t* joined;
    };
    for (auto c : {Case{L"C:\\A", L"b\\c.dll", L"C:\\A\\b\\c.dll"},
                   Case{L"C:\\A\\", L"\\b", L"C:\\A\\b"}, Case{L"C:\\A\\\\", L"b", L"C:\\A\\\\b"},
                   Case{L"", L"b", L"\\b"}, Case{L"C:\\A", L"\\\\b", L"C:\\A\\\\b"},
                   Case{L"C:\\A", L"", L"C:\\A\\"}, Case{L"C:/A", L"b/../c", L"C:/A\\b/../c"}}) {
        EXPECT_EQ(JoinPath(c.left, c.right), c.joined) << c.left << " + " << c.right;
    }
}

TEST(Paths, ParentFolderKeepsTheTrailingBackslash) {
    EXPECT_EQ(ParentFolder(L"C:\\A\\b\\c.dll"), L"C:\\A\\b\\");
    EXPECT_EQ(ParentFolder(L"C:\\A\\"), L"C:\\A\\");
    EXPECT_EQ(ParentFolder(L"\\b"), L"\\");
    EXPECT_EQ(ParentFolder(L"name.txt"), L"");
    EXPECT_EQ(ParentFolder(L""), L"");
}

}  // namespace
