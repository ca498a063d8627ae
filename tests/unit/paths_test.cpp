#include "files/paths.h"

#include <gtest/gtest.h>

#include "tests/support/recording_delegate.h"

using namespace testing_support;

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

TEST(WriteEntryFile, CreatesEveryMissingFolderAndWritesTheBytes) {
    const std::wstring root = MakeSandboxFolder();
    const std::wstring target = JoinPath(root, L"new\\dict\\pos_dict\\prob_emit.utf8");
    ASSERT_TRUE(WriteEntryFile(target, "emit", 4));
    EXPECT_EQ(FileContent(target), "emit");

    // An existing folder is used as it is; an empty entry gives an empty file.
    const std::wstring empty = JoinPath(root, L"new\\empty.dat");
    ASSERT_TRUE(WriteEntryFile(empty, "", 0));
    EXPECT_EQ(FileContent(empty), "");

    // A second write truncates and replaces.
    ASSERT_TRUE(WriteEntryFile(target, "x", 1));
    EXPECT_EQ(FileContent(target), "x");
    EXPECT_FALSE(WriteEntryFile(JoinPath(root, L"neg.dat"), "", -1));
    EXPECT_FALSE(FileExists(JoinPath(root, L"neg.dat")));
}

TEST(WriteEntryFile, RefusesAReadOnlyTargetAndAFileWhereAFolderMustGo) {
    const std::wstring root = MakeSandboxFolder();
    const std::wstring locked = JoinPath(root, L"locked.dll");
    ASSERT_TRUE(WriteEntryFile(locked, "old", 3));
    for (DWORD attribute :
         {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        ASSERT_TRUE(SetFileAttributesW(locked.c_str(), attribute));
        EXPECT_FALSE(WriteEntryFile(locked, "new", 3)) << attribute;
        EXPECT_EQ(FileContent(locked), "old");
    }

    // Another program holding the file open without sharing it.
    const std::wstring busy = JoinPath(root, L"busy.dll");
    ASSERT_TRUE(WriteEntryFile(busy, "old", 3));
    HANDLE held = CreateFileW(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteEntryFile(busy, "new", 3));
    CloseHandle(held);
    EXPECT_EQ(FileContent(busy), "old");

    const std::wstring blocker = JoinPath(root, L"dict");
    ASSERT_TRUE(WriteEntryFile(blocker, "a file", 6));
    EXPECT_FALSE(WriteEntryFile(JoinPath(root, L"dict\\a.txt"), "a", 1));
    EXPECT_EQ(FileContent(blocker), "a file");
}

TEST(WriteEntryFile, KnownFoldersAreLookedForOnceAndMadeAgainWhenTheyGo) {
    const std::wstring root = MakeSandboxFolder();
    CKnownFolders known;
    const std::wstring one = JoinPath(root, L"a\\b\\one.txt");
    ASSERT_TRUE(WriteEntryFile(one, "1", 1, &known));
    // a\ is known now, so a\c\ is made below it on its own.
    ASSERT_TRUE(WriteEntryFile(JoinPath(root, L"a\\c\\two.txt"), "2", 1, &known));
    EXPECT_EQ(FileContent(JoinPath(root, L"a\\c\\two.txt")), "2");
    // A known folder removed behind the run's back is made again.
    ASSERT_TRUE(DeleteFileW(one.c_str()));
    ASSERT_TRUE(RemoveDirectoryW(JoinPath(root, L"a\\b").c_str()));
    ASSERT_TRUE(WriteEntryFile(JoinPath(root, L"a\\b\\three.txt"), "3", 1, &known));
    EXPECT_EQ(FileContent(JoinPath(root, L"a\\b\\three.txt")), "3");
    // A file where a folder must go still fails below a known folder, and one two levels above the
    // target's folder fails it too, leaving the file as it was.
    ASSERT_TRUE(WriteEntryFile(JoinPath(root, L"a\\file"), "f", 1, &known));
    EXPECT_FALSE(WriteEntryFile(JoinPath(root, L"a\\file\\x.txt"), "x", 1, &known));
    EXPECT_FALSE(WriteEntryFile(JoinPath(root, L"a\\file\\d\\e\\x.txt"), "x", 1, &known));
    EXPECT_EQ(FileContent(JoinPath(root, L"a\\file")), "f");
    // Several missing levels below a known folder are all made, and known from then on.
    ASSERT_TRUE(WriteEntryFile(JoinPath(root, L"a\\c\\d\\e\\f\\four.txt"), "4", 1, &known));
    EXPECT_EQ(FileContent(JoinPath(root, L"a\\c\\d\\e\\f\\four.txt")), "4");
    EXPECT_NE(known.Find(JoinPath(root, L"a\\c\\d\\")), nullptr);
    // A read-only file in a folder the run found, not made, is still refused.
    const std::wstring found = JoinPath(MakeSandboxFolder(), L"ro.txt");
    ASSERT_TRUE(WriteEntryFile(found, "old", 3));
    ASSERT_TRUE(SetFileAttributesW(found.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(WriteEntryFile(found, "new", 3, &known));
    EXPECT_EQ(FileContent(found), "old");
}

}  // namespace
