#include "ui/command_line.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace {

using Args = std::vector<std::wstring>;

TEST(CommandLine, SplitQuotingAndSpaces) {
    struct Case {
        const wchar_t* line;
        Args expected;
    };
    for (const auto& c : {
             Case{L"D:\\Apps", {L"D:\\Apps"}},
             Case{L"\"D:\\My Apps\\Target\" go", {L"D:\\My Apps\\Target", L"go"}},
             Case{L"D:\\My Apps\\Target go", {L"D:\\My", L"Apps\\Target", L"go"}},
             Case{L"D:\\Apps x y", {L"D:\\Apps", L"x", L"y"}},
             // The first token follows the program-name rule: a trailing backslash before the
             // closing quote stays part of the folder instead of escaping the quote.
             Case{L"\"C:\\Program Files\\X\\\" go", {L"C:\\Program Files\\X\\", L"go"}},
             Case{L"\"\" go", {L"", L"go"}},
         }) {
        EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
    }
}

TEST(CommandLine, EmptyLineSplitsIntoTheProgramPathAlone) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    for (const wchar_t* line : {L"", static_cast<const wchar_t*>(nullptr)}) {
        const Args args = SplitCommandLine(line);
        ASSERT_EQ(args.size(), 1u);
        EXPECT_EQ(_wcsicmp(args[0].c_str(), path), 0) << args[0];
        EXPECT_FALSE(ParseCommandLine(args).present);
    }
}

TEST(CommandLine, TwoOrMoreArgumentsNameTheFolder) {
    struct Case {
        Args args;
        bool present;
        const wchar_t* folder;
    };
    for (const auto& c : {
             Case{{}, false, L""},
             Case{{L"D:\\Apps"}, false, L""},
             Case{{L"D:\\My Apps\\Target", L"go"}, true, L"D:\\My Apps\\Target"},
             Case{{L"D:\\Apps", L"x", L"y"}, true, L"D:\\Apps"},
             // Not validated here: the worker reports what an empty folder leads to.
             Case{{L"", L"go"}, true, L""},
         }) {
        const CommandLineRequest request = ParseCommandLine(c.args);
        EXPECT_EQ(request.present, c.present) << c.args.size();
        EXPECT_EQ(request.folder, c.folder) << c.args.size();
    }
}

TEST(CommandLine, SplitThenParseAQuotedFolderWithSpaces) {
    const CommandLineRequest request =
        ParseCommandLine(SplitCommandLine(L"\"D:\\My Apps\\Target\" anything"));
    EXPECT_TRUE(request.present);
    EXPECT_EQ(request.folder, L"D:\\My Apps\\Target");
}

TEST(CommandLine, RequestIsOneRecordForTheWholeProcess) {
    CommandLineRequest& first = GetCommandLineRequest();
    const CommandLineRequest saved = first;
    first = {L"D:\\Apps", true};
    const CommandLineRequest& second = GetCommandLineRequest();
    EXPECT_EQ(&first, &second);
    EXPECT_TRUE(second.present);
    EXPECT_EQ(second.folder, L"D:\\Apps");
    first = saved;
}

}  // namespace
