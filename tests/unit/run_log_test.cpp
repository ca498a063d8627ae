#include "log/run_log.h"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <vector>

#include "platform/checked_file.h"
#include "platform/unique_handle.h"
#include "tests/support/shell_sandbox.h"

namespace {

using namespace testing_support;

// A delay no test waits out: what is held is written only by a line, the limit or the end.
constexpr std::chrono::hours kNever{1};

std::wstring FreshLogPath(const wchar_t* name) {
    const std::wstring path = JoinPath(MakeSandboxFolder(L"run-log-test"), name);
    DeleteFileW(path.c_str());
    return path;
}

// The log as another program reads it while the run still writes it.
std::string ReadLog(const std::wstring& path) {
    const CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return std::string();
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    bytes.resize(read);
    return bytes;
}

// The text of each line after its time, checking that every line has one and ends in CR LF.
std::vector<std::string> Texts(const std::string& bytes) {
    static const std::regex stamped(R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3} (.*)\r$)");
    std::vector<std::string> texts;
    std::istringstream lines(bytes);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (!std::regex_match(line, match, stamped)) {
            ADD_FAILURE() << "not a stamped line: " << line;
            continue;
        }
        texts.push_back(match[1]);
    }
    if (!bytes.empty()) {
        EXPECT_EQ(bytes.back(), '\n');
    }
    return texts;
}

TEST(RunLog, LineIsStampedUtf8OnOneLine) {
    SYSTEMTIME time{};
    time.wYear = 2024;
    time.wMonth = 3;
    time.wDay = 7;
    time.wHour = 9;
    time.wMinute = 5;
    time.wSecond = 4;
    time.wMilliseconds = 21;
    EXPECT_EQ(FormatLogLine(time, L"entry \u9a6c\u6797\\a.txt"),
              "2024-03-07 09:05:04.021 entry \xe9\xa9\xac\xe6\x9e\x97\\a.txt\r\n");
    EXPECT_EQ(FormatLogLine(time, L"two\r\nlines\n"), "2024-03-07 09:05:04.021 two  lines \r\n");
}

TEST(RunLog, AppendsEveryRunWithEntriesInOrder) {
    const std::wstring path = FreshLogPath(L"append.log");
    {
        CRunLog log(kNever);
        ASSERT_TRUE(log.Open(path));
        EXPECT_TRUE(log.IsOpen());
        log.Line(L"first run");
        log.Entry(L"a.txt");
        // Entries are held until the next line, or the end of the log.
        EXPECT_EQ(Texts(ReadLog(path)), std::vector<std::string>{"first run"});
        log.Entry(L"dict\\b.txt");
        log.Line(L"after the entries");
        log.Entry(L"last.txt");
    }
    {
        CRunLog log;
        ASSERT_TRUE(log.Open(path));
        log.Line(L"second run");
    }
    EXPECT_EQ(Texts(ReadLog(path)),
              (std::vector<std::string>{"first run", "entry a.txt", "entry dict\\b.txt",
                                        "after the entries", "entry last.txt", "second run"}));
}

TEST(RunLog, ManyEntriesAreWrittenWithoutWaitingForALine) {
    const std::wstring path = FreshLogPath(L"many.log");
    CRunLog log(kNever);
    ASSERT_TRUE(log.Open(path));
    for (int i = 0; i < 3000; ++i) log.Entry(L"data\\d" + std::to_wstring(i) + L".txt");
    const std::vector<std::string> written = Texts(ReadLog(path));
    EXPECT_GT(written.size(), 1000u);
    EXPECT_LT(written.size(), 3000u);
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.front(), "entry data\\d0.txt");
}

// A run that is killed or hangs while it writes entries leaves them in the log: held entries are
// written once they have waited the delay, with no line to carry them and the log still open.
TEST(RunLog, EntriesWaitNoLongerThanTheDelay) {
    const std::wstring path = FreshLogPath(L"delay.log");
    CRunLog log;
    ASSERT_TRUE(log.Open(path));
    log.Line(L"started");
    log.Entry(L"a.txt");
    log.Entry(L"b.txt");
    const std::vector<std::string> all = {"started", "entry a.txt", "entry b.txt"};
    for (int waited = 0; waited < 200 && Texts(ReadLog(path)) != all; ++waited) Sleep(50);
    EXPECT_EQ(Texts(ReadLog(path)), all);
}

TEST(RunLog, StepsAndTheFirstFailureAsTheReason) {
    const std::wstring path = FreshLogPath(L"steps.log");
    std::wstring reason;
    {
        CRunLog log;
        ASSERT_TRUE(log.Open(path));
        log.Step(L"Uninstall entry", S_OK, L"HKLM\\Key");
        log.Step(L"desktop shortcut", HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED), L"C:\\d.lnk");
        log.Step(L"plain", S_OK, L"");
        log.Failure(L"entry x.txt: damaged");
        log.Failure(L"a later fault");
        reason = log.FailureReason();
    }
    EXPECT_EQ(reason, L"entry x.txt: damaged");
    const std::vector<std::string> texts = Texts(ReadLog(path));
    ASSERT_EQ(texts.size(), 5u);
    EXPECT_EQ(texts[0], "Uninstall entry: done (HKLM\\Key)");
    EXPECT_EQ(texts[1].rfind("desktop shortcut: failed (C:\\d.lnk): ", 0), 0u) << texts[1];
    EXPECT_NE(texts[1].find("(0x80070005)"), std::string::npos) << texts[1];
    EXPECT_EQ(texts[2], "plain: done");
    EXPECT_EQ(texts[3], "failed: entry x.txt: damaged");
    EXPECT_EQ(texts[4], "failed: a later fault");
}

TEST(RunLog, RefusesWhatIsNotAPlainFileItCanCreate) {
    const std::wstring folder = MakeSandboxFolder(L"run-log-test");
    // A file with a second name: writing through one would change the other.
    const std::wstring original = FreshLogPath(L"original.txt");
    const std::wstring second = FreshLogPath(L"second-name.log");
    WriteBytes(original, "someone else's file");
    ASSERT_TRUE(CreateHardLinkW(second.c_str(), original.c_str(), nullptr));
    // The folder reached by another path than its own, as through a junction on the way: under
    // Wine, Z: leads to the Unix root, and through it into the C: drive's folders.
    const std::wstring throughLink = OtherPathTo(folder);
    ASSERT_FALSE(throughLink.empty()) << "runs under Wine";
    const struct {
        std::wstring path;
        DWORD error;
        const char* why;
    } cases[] = {
        {folder, ERROR_ACCESS_DENIED, "is a folder"},
        {folder + L"\\", ERROR_ACCESS_DENIED, "is a folder"},
        {second, ERROR_ACCESS_DENIED, "is a file with a second name"},
        {JoinPath(folder, L"no such folder\\x.log"), ERROR_PATH_NOT_FOUND, "cannot be opened"},
        {JoinPath(folder, L"x.log:stream"), ERROR_INVALID_NAME, "is not a file's name"},
        {JoinPath(folder, std::wstring(256, L'n')), ERROR_INVALID_NAME, "is not a file's name"},
        {L"", ERROR_PATH_NOT_FOUND, "no file named"},
        {JoinPath(throughLink, L"x.log"), ERROR_ACCESS_DENIED, "is reached through a link"},
    };
    for (const auto& c : cases) {
        CRunLog log;
        SetLastError(0);
        EXPECT_FALSE(log.Open(c.path)) << c.path;
        EXPECT_FALSE(log.IsOpen());
        EXPECT_EQ(GetLastError(), c.error) << c.path;
        EXPECT_NE(ToUtf8(log.WhyNotOpened()).find(c.why), std::string::npos)
            << c.path << ": " << ToUtf8(log.WhyNotOpened());
        log.Line(L"goes nowhere");
    }
    EXPECT_EQ(ReadBytes(original), "someone else's file");
    EXPECT_FALSE(FileExists(JoinPath(folder, L"x.log")));

    // A path with "." and ".." levels and slashes names the same file: taken.
    {
        CRunLog log;
        EXPECT_TRUE(log.Open(JoinPath(folder, L"no such folder\\..\\./plain.log")))
            << ToUtf8(log.WhyNotOpened());
    }

    // What a handle opened at the log's path may be. Windows opens a link itself (a symbolic
    // link, a junction, any reparse point) instead of its target here; Wine follows links, so only
    // the rule can be run.
    constexpr DWORD kLink = FILE_ATTRIBUTE_REPARSE_POINT;
    constexpr DWORD kFolder = FILE_ATTRIBUTE_DIRECTORY;
    const struct {
        DWORD attributes;
        DWORD tag;
        DWORD links;
        bool folder;
        const wchar_t* wrong;
    } handles[] = {
        {FILE_ATTRIBUTE_NORMAL, 0, 1, false, nullptr},
        {FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_HIDDEN, 0, 1, false, nullptr},
        {FILE_ATTRIBUTE_NORMAL, 0, 2, false, L" is a file with a second name"},
        {kFolder, 0, 1, false, L" is a folder"},
        {kLink, IO_REPARSE_TAG_SYMLINK, 1, false, L" is a link or other reparse point"},
        {kLink, IO_REPARSE_TAG_CLOUD, 1, false, L" is a link or other reparse point"},
        {kLink | kFolder, IO_REPARSE_TAG_MOUNT_POINT, 1, false,
         L" is a link or other reparse point"},
        {kFolder, 0, 1, true, nullptr},
        {kLink | kFolder, IO_REPARSE_TAG_MOUNT_POINT, 1, true,
         L" is a link or other reparse point"},
        {kLink | kFolder, IO_REPARSE_TAG_SYMLINK, 1, true, L" is a link or other reparse point"},
        {kLink | kFolder, IO_REPARSE_TAG_CLOUD, 1, true, nullptr},
        {FILE_ATTRIBUTE_NORMAL, 0, 1, true, L" is not a folder"},
    };
    for (const auto& h : handles) {
        const wchar_t* wrong = WrongKind(h.attributes, h.tag, h.links, h.folder);
        EXPECT_EQ(std::wstring(wrong ? wrong : L""), std::wstring(h.wrong ? h.wrong : L""))
            << h.attributes << " " << h.tag << " " << h.links << " " << h.folder;
    }

    // Final paths as the system gives them, against the path meant.
    const struct {
        const wchar_t* final;
        const wchar_t* meant;
        bool same;
    } paths[] = {
        {L"\\\\?\\C:\\Logs\\run.log", L"C:\\Logs\\run.log", true},
        {L"\\\\?\\C:\\Logs\\run.log", L"c:\\logs\\RUN.LOG", true},
        {L"\\\\?\\C:\\", L"C:\\", true},
        {L"\\\\?\\C:\\Logs\\", L"C:\\Logs", true},
        {L"\\\\?\\UNC\\nas\\share\\run.log", L"\\\\nas\\share\\run.log", true},
        {L"\\\\?\\UNC\\nas\\share\\run.log", L"\\\\?\\UNC\\nas\\share\\run.log", true},
        {L"\\\\?\\C:\\Windows\\System32\\run.log", L"C:\\Logs\\run.log", false},
        {L"\\\\?\\D:\\Logs\\run.log", L"C:\\Logs\\run.log", false},
        {L"\\\\?\\C:\\Logs\\run.log2", L"C:\\Logs\\run.log", false},
        {L"\\\\?\\C:\\Logs\\run.log\\x", L"C:\\Logs\\run.log", false},
        {L"\\\\?\\C:\\", L"C:", false},
        {L"", L"C:\\Logs\\run.log", false},
        {L"\\\\?\\C:\\Logs\\run.log", L"", false},
    };
    for (const auto& p : paths)
        EXPECT_EQ(IsFinalPathOf(p.final, p.meant), p.same)
            << ToUtf8(p.final) << " " << ToUtf8(p.meant);
}

TEST(RunLog, NeverOpenedTakesEverythingAndWritesNothing) {
    CRunLog& none = NoRunLog();
    EXPECT_FALSE(none.IsOpen());
    none.Line(L"x");
    none.Entry(L"y");
    none.Step(L"z", E_FAIL, L"");
    EXPECT_EQ(&none, &NoRunLog());
}

TEST(RunLog, SystemTextsOnOneLine) {
    const std::wstring denied = SystemErrorText(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED));
    EXPECT_NE(denied.find(L"(0x80070005)"), std::wstring::npos) << denied;
    EXPECT_GT(denied.size(), std::wstring(L" (0x80070005)").size()) << denied;
    EXPECT_EQ(denied.find_first_of(L"\r\n"), std::wstring::npos) << denied;
    EXPECT_EQ(SystemErrorText(HRESULT(0xA0FF1234)), L"error 0xA0FF1234");
}

}  // namespace
