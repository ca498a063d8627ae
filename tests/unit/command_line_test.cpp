#include "setup/command_line.h"

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

// The switches, as a package manager writes them: anywhere, any letter case, /D= last and taking
// the rest of the line. Without a switch the line means what it always meant.
TEST(CommandLine, SwitchesAndTheFolderOfD) {
    struct Case {
        const wchar_t* line;
        bool silent;
        bool desktop;
        const wchar_t* log;
        const wchar_t* folder;
        bool present;
    };
    for (const auto& c : {
             Case{L"C:\\Apps go", false, true, L"", L"C:\\Apps", true},
             Case{L"-S", false, true, L"", L"", false},
             Case{L"/S", true, true, L"", L"", false},
             Case{L"/s /nodesktop", true, false, L"", L"", false},
             Case{L"/NODESKTOP /S /S", true, false, L"", L"", false},
             Case{L"/S /D=C:\\Program Files\\My App", true, true, L"", L"C:\\Program Files\\My App",
                  false},
             Case{L"/S /LOG=C:\\s.log /d=C:\\My Apps  ", true, true, L"C:\\s.log", L"C:\\My Apps",
                  false},
             Case{L"/LOG=\"C:\\My Logs\\s.log\" /S", true, true, L"C:\\My Logs\\s.log", L"", false},
             Case{L"/S /D=\"C:\\My Apps\"", true, true, L"", L"C:\\My Apps", false},
             // A quoted /D= argument is one argument, wherever it stands.
             Case{L"\"/D=C:\\My Apps\" /S", true, true, L"", L"C:\\My Apps", false},
             // /D= takes the rest of the line: what follows it is part of the folder, its slash
             // a separator as Windows reads one.
             Case{L"/D=C:\\x /S", false, true, L"", L"C:\\x\\S", false},
             Case{L"/S /D=\\\\server\\share\\App", true, true, L"", L"\\\\server\\share\\App",
                  false},
             Case{L"/D=D:\\Apps", false, true, L"", L"D:\\Apps", false},
             // The folder in its one form, whatever form it was written in.
             Case{L"/S /D=C:/Apps/Marlin", true, true, L"", L"C:\\Apps\\Marlin", false},
             Case{L"/S /D=\\\\?\\c:\\Apps.\\Marlin. \\", true, true, L"", L"C:\\Apps\\Marlin",
                  false},
         }) {
        const CommandLineRequest request = ReadCommandLine(c.line);
        EXPECT_FALSE(request.usageError) << c.line << L": " << request.offending;
        EXPECT_EQ(request.silent, c.silent) << c.line;
        EXPECT_EQ(request.desktopShortcut, c.desktop) << c.line;
        EXPECT_EQ(request.logFile, c.log) << c.line;
        EXPECT_EQ(request.folder, c.folder) << c.line;
        EXPECT_EQ(request.present, c.present) << c.line;
    }
}

TEST(CommandLine, UsageErrorsNameWhatIsNotUnderstood) {
    struct Case {
        const wchar_t* line;
        const wchar_t* offending;
    };
    for (const auto& c : {
             Case{L"/S /X", L"/X"},
             Case{L"/?", L"/?"},
             Case{L"/SILENT", L"/SILENT"},
             Case{L"/S /LOG=", L"/LOG="},
             Case{L"/S/D=C:\\x", L"/S/D=C:\\x"},
             Case{L"/S C:\\Apps go", L"C:\\Apps"},
             Case{L"/S /D=relative\\folder", L"/D=relative\\folder"},
             Case{L"/S /D=", L"/D="},
             Case{L"/S /D=   ", L"/D=   "},
             Case{L"/S /D=C:relative", L"/D=C:relative"},
             Case{L"/S /D=\\rooted", L"/D=\\rooted"},
             Case{L"/S \"/D=..\\up\"", L"/D=..\\up"},
             Case{L"/S /D=C:\\a|b", L"/D=C:\\a|b"},
             Case{L"/S /D=C:\\Apps\\CON", L"/D=C:\\Apps\\CON"},
             Case{L"/S /D=\\\\.\\C:\\x", L"/D=\\\\.\\C:\\x"},
             // The first fault is the one named.
             Case{L"/Y /S /D=x", L"/Y"},
         }) {
        const CommandLineRequest request = ReadCommandLine(c.line);
        EXPECT_TRUE(request.usageError) << c.line;
        EXPECT_EQ(request.offending, c.offending) << c.line;
    }
    // /S is still known in a line that is refused, so that the refusal shows nothing.
    EXPECT_TRUE(ReadCommandLine(L"/S /X").silent);
}

// Deployment tools append /NORESTART out of habit: it is accepted, anywhere, and changes nothing.
TEST(CommandLine, NoRestartIsAcceptedAndChangesNothing) {
    for (const wchar_t* line : {L"/NORESTART", L"/norestart /S /D=C:\\x", L"/S /NoRestart"}) {
        const CommandLineRequest request = ReadCommandLine(line);
        EXPECT_FALSE(request.usageError) << line << L": " << request.offending;
        EXPECT_TRUE(request.noRestart) << line;
    }
    EXPECT_FALSE(ReadCommandLine(L"/S").noRestart);
    EXPECT_EQ(ReadCommandLine(L"/NORESTART /S /D=C:\\x").folder, L"C:\\x");
}

TEST(CommandLine, RequestIsOneRecordForTheWholeProcess) {
    CommandLineRequest& first = GetCommandLineRequest();
    const CommandLineRequest saved = first;
    first = CommandLineRequest{};
    first.folder = L"D:\\Apps";
    first.present = true;
    const CommandLineRequest& second = GetCommandLineRequest();
    EXPECT_EQ(&first, &second);
    EXPECT_TRUE(second.present);
    EXPECT_EQ(second.folder, L"D:\\Apps");
    first = saved;
}

}  // namespace
