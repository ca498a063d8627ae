#include "archive/entry_name.h"

#include <gtest/gtest.h>

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

}  // namespace
