#include "install/entry_name.h"

#include <gtest/gtest.h>

namespace {

TEST(EntryName, NamesInsideTheFolderPass) {
    for (const wchar_t* name :
         {L"a.dll", L"dict\\pos_dict\\prob_emit.utf8", L"\\b.txt", L"libstdc++-6.dll", L".hidden",
          L"a.b.c", L"dir\\.\\x", L"..a", L"a..", L"con_config.ini", L"com10.txt",
          L"\u7FFB\u8BD1\\zh_CN.lang", L"nulls\\console.dll"}) {
        EXPECT_TRUE(IsSafeEntryName(name)) << name;
    }
}

TEST(EntryName, NamesThatLeaveTheFolderAreRefused) {
    for (const wchar_t* name : {L"..",
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
                                L"CONOUT$"}) {
        EXPECT_FALSE(IsSafeEntryName(name)) << name;
    }
    EXPECT_FALSE(IsSafeEntryName(std::wstring(L"a\0b", 3)));
    EXPECT_FALSE(IsSafeEntryName(L"tab\there"));
}

}  // namespace
