#include "system/shortcut.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/com_init.h"
#include "tests/support/shell_sandbox.h"

namespace {

using namespace testing_support;

TEST(CreateShortcut, SetsTargetDescriptionAndFirstIconOnly) {
    const CComInit com;
    struct Case {
        const wchar_t* folder;
        const wchar_t* program;
        const wchar_t* description;
    };
    for (auto c : {Case{L"shortcut-plain", L"tool.exe", L"A tool"},
                   Case{L"快捷 方式", L"马林 程序.exe", L"马林iOS数据恢复"}}) {
        const std::wstring folder = MakeSandboxFolder(c.folder);
        const std::wstring target = JoinPath(folder, c.program);
        WriteBytes(target, "MZ");
        const std::wstring link = JoinPath(folder, L"link.lnk");

        ASSERT_EQ(CreateShortcut(target, link, c.description), S_OK) << c.folder;
        const ShortcutFields read = ReadShortcut(link);
        ASSERT_EQ(read.loaded, S_OK) << c.folder;
        EXPECT_EQ(read.target, target);
        EXPECT_EQ(read.description, c.description);
        EXPECT_EQ(read.iconPath, target);
        EXPECT_EQ(read.iconIndex, 0);
        EXPECT_EQ(read.arguments, L"");
        EXPECT_EQ(read.workingFolder, L"");
    }
}

TEST(CreateShortcut, ReportsFailureAndWritesNothing) {
    const std::wstring folder = MakeSandboxFolder(L"shortcut-failures");
    const std::wstring target = JoinPath(folder, L"tool.exe");
    WriteBytes(target, "MZ");
    {
        const CComInit com;
        const std::wstring missing = JoinPath(folder, L"missing\\link.lnk");
        EXPECT_TRUE(FAILED(CreateShortcut(target, missing, L"d")));
        EXPECT_FALSE(FileExists(missing));

        // A folder reached by another path than its own (as through a link), a second name of
        // another file and a folder at the shortcut's name: refused, with what stood there,
        // and nothing written.
        const std::wstring other = JoinPath(folder, L"other.txt");
        const std::wstring second = JoinPath(folder, L"second.lnk");
        WriteBytes(other, "someone else's");
        DeleteFileW(second.c_str());
        ASSERT_TRUE(CreateHardLinkW(second.c_str(), other.c_str(), nullptr));
        const std::wstring throughLink = OtherPathTo(folder);
        ASSERT_FALSE(throughLink.empty()) << "runs under Wine";
        const struct {
            std::wstring link;
            const char* why;
        } refused[] = {
            {JoinPath(throughLink, L"through.lnk"), "is reached through a link"},
            {second, "is a file with a second name"},
            {MakeSandboxFolder(L"shortcut-failures\\a folder.lnk"), "is a folder"},
        };
        for (const auto& r : refused) {
            std::wstring why;
            EXPECT_EQ(CreateShortcut(target, r.link, L"d", &why),
                      HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED))
                << ToUtf8(r.link);
            EXPECT_NE(ToUtf8(why).find(r.why), std::string::npos) << ToUtf8(why);
        }
        EXPECT_FALSE(FileExists(JoinPath(folder, L"through.lnk")));
        EXPECT_EQ(ReadBytes(other), "someone else's");
    }
    // A thread that never initialised COM gets the error back instead of a crash.
    const std::wstring link = JoinPath(folder, L"no-com.lnk");
    HRESULT hr = S_OK;
    std::thread([&] { hr = CreateShortcut(target, link, L"d"); }).join();
    EXPECT_EQ(hr, CO_E_NOTINITIALIZED);
    EXPECT_FALSE(FileExists(link));
}

}  // namespace
