#include "staging/staged_install.h"

#include <aclapi.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "log/run_log.h"
#include "platform/unique_handle.h"
#include "staging/install_journal.h"
#include "staging/recovery.h"
#include "tests/support/recording_delegate.h"

using namespace testing_support;

namespace {

constexpr wchar_t kKey[] = L"StagedInstallTest";

void Write(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << std::string(path.begin(), path.end());
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::optional<InstallJournal> Journal() {
    InstallJournal journal;
    if (ReadInstallJournal(kKey, journal) != JournalFound::Read) return std::nullopt;
    return journal;
}

RecoveryResult Recover() {
    return RecoverInterruptedInstallation(kKey, L"no-such-product.exe", NoRunLog());
}

// The listing without the staging folder: what the installation itself holds.
std::vector<std::string> OutsideStaging(std::vector<std::string> listing) {
    listing.erase(std::remove_if(listing.begin(), listing.end(),
                                 [](const std::string& line) { return line[0] == '~'; }),
                  listing.end());
    return listing;
}

// Moves as the system does, but refuses the moves whose numbers (counted from 1) it is given, and
// runs `beforeMove` with each number first.
class CRefusingMover final : public CFileMover {
public:
    explicit CRefusingMover(std::vector<int> refused, std::function<void(int)> beforeMove = {})
        : m_refused(std::move(refused)), m_beforeMove(std::move(beforeMove)) {}
    bool Move(const std::wstring& from, const std::wstring& to) const override {
        ++m_count;
        if (m_beforeMove) m_beforeMove(m_count);
        for (int refused : m_refused)
            if (refused == m_count) return false;
        return CFileMover::Move(from, to);
    }
    int Count() const { return m_count; }

private:
    std::vector<int> m_refused;
    std::function<void(int)> m_beforeMove;
    mutable int m_count = 0;
};

// How many ACEs of `path` let anyone in but SYSTEM, the administrators, the owner (Wine's user)
// and users who only read and run.
int OthersAllowed(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    PSID owner = nullptr;
    if (GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, &dacl, nullptr, &descriptor) != ERROR_SUCCESS)
        return -1;
    int others = 0;
    for (DWORD i = 0; dacl && i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) ||
            ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        const PSID sid = PSID(&ace->SidStart);
        others += !IsWellKnownSid(sid, WinLocalSystemSid) &&
                  !IsWellKnownSid(sid, WinBuiltinAdministratorsSid) && !EqualSid(sid, owner) &&
                  !(IsWellKnownSid(sid, WinBuiltinUsersSid) && (ace->Mask & ~0x1200a9u) == 0);
    }
    LocalFree(descriptor);
    return others;
}

// An installation of version 1 with a file that changes, one that stays, a folder that gains a
// file, and a file whose name the new version spells in other letter case. With its list, it also
// has files and folders the new version dropped, named in the forms Windows reduces, a listed name
// that is a folder, one that is gone, and a file of the user's own.
struct Installed {
    std::wstring root = MakeSandboxFolder();
    std::wstring folder = root + L"\\Product";
    bool listed;
    explicit Installed(bool withList = false) : listed(withList) {
        CreateDirectoryW(folder.c_str(), nullptr);
        CreateDirectoryW((folder + L"\\Dict").c_str(), nullptr);
        Write(folder + L"\\app.exe", "version 1");
        Write(folder + L"\\same.dat", "unchanged");
        Write(folder + L"\\ReadMe.TXT", "old readme");
        Write(folder + L"\\Dict\\words.txt", "old words");
        if (!listed) return;
        CreateDirectoryW((folder + L"\\Old").c_str(), nullptr);
        CreateDirectoryW((folder + L"\\Old\\Deep").c_str(), nullptr);
        Write(folder + L"\\Old.dll", "dropped");
        Write(folder + L"\\Old\\one.txt", "dropped one");
        Write(folder + L"\\Old\\Deep\\two.txt", "dropped two");
        Write(folder + L"\\mine.txt", "the user's");
        Write(folder + L"\\uninstall.lst",
              "app.exe\r\nsame.dat\r\nReadMe.TXT\r\ndict/WORDS.txt\r\nuninstall.lst\r\nold.dll\r\n"
              ".\\Old\\one.txt\r\nOld\\\\Deep\\two.txt.\r\nOLD\\deep\\TWO.TXT\r\nDict\r\n"
              "gone.txt\r\n..\\outside.txt\r\n");
    }
    // Moves of the final step: one per retired file first, when there are any.
    int Retired() const { return listed ? 3 : 0; }
};

// Stages version 2 over it.
void StageVersion2(CStagedInstall& staging, bool withList = false) {
    ASSERT_TRUE(staging.Begin());
    std::vector<std::pair<std::wstring, std::string>> files{
        {L"app.exe", "version 2"},         {L"same.dat", "unchanged"},
        {L"readme.txt", "new readme"},     {L"DICT\\words.txt", "new words"},
        {L"dict\\more.txt", "more words"}, {L"plugins\\a\\one.dll", "one"},
        {L"plugins\\two.dll", "two"}};
    // A name Windows reduces to one already staged is that file again, not a step of its own.
    if (withList)
        files.insert(files.end(),
                     {{L"uninstall.lst", "the new list"}, {L".\\App.EXE.", "version 2"}});
    for (const auto& [name, bytes] : files)
        ASSERT_TRUE(staging.Stage(name, bytes.data(), int32_t(bytes.size())));
}

std::string LogText(const std::wstring& path) {
    std::string text = FileContent(path);
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

TEST(StagedInstall, UpdateReplacesWhatChangedAndLeavesWhatIsTheSame) {
    Installed v1;
    const auto before = TreeListing(v1.folder);
    const std::string sameLine = before[before.size() - 1];  // "same.dat ...", sorted last
    {
        CStagedInstall staging(v1.folder, kKey);
        StageVersion2(staging);
        std::string kinds;
        for (const CommitStep& step : staging.Plan()) kinds += char(step.kind);
        EXPECT_EQ(kinds, "RRRAF");  // app, readme, words, more.txt, plugins (one move)
        EXPECT_EQ(OutsideStaging(TreeListing(v1.folder)), before)
            << "nothing changes before the final step";
        EXPECT_EQ(OthersAllowed(staging.Layout().staging), 0);
        ASSERT_TRUE(staging.Commit());
    }
    EXPECT_EQ(FileContent(v1.folder + L"\\app.exe"), "version 2");
    EXPECT_EQ(FileContent(v1.folder + L"\\readme.txt"), "new readme");
    EXPECT_EQ(FileContent(v1.folder + L"\\Dict\\words.txt"), "new words");
    EXPECT_EQ(FileContent(v1.folder + L"\\Dict\\more.txt"), "more words");
    EXPECT_EQ(FileContent(v1.folder + L"\\plugins\\a\\one.dll"), "one");
    const auto after = TreeListing(v1.folder);
    EXPECT_NE(std::find(after.begin(), after.end(), sameLine), after.end())
        << "an identical file keeps its time";
    EXPECT_EQ(after.size(), before.size() + 5);  // more.txt, plugins, a, one.dll, two.dll
    EXPECT_FALSE(Journal());
}

// A file's bytes in pieces, as the archive hands over a content cut into blocks.
class CPiecesOf final : public FilePieces {
public:
    explicit CPiecesOf(std::vector<std::string> pieces) : m_pieces(std::move(pieces)) {}
    FileBytes Bytes() {
        int32_t total = 0;
        for (const std::string& piece : m_pieces) total += int32_t(piece.size());
        return FileBytes{m_pieces[0].data(), uint32_t(m_pieces[0].size()), total, this};
    }
    bool Next(const void*& data, uint32_t& size) override {
        if (++m_next >= m_pieces.size()) return false;
        data = m_pieces[m_next].data();
        size = uint32_t(m_pieces[m_next].size());
        return true;
    }

private:
    std::vector<std::string> m_pieces;
    size_t m_next = 0;
};

// An update compares a file that comes in pieces with the installed one piece by piece: the same
// file is left alone, and one that differs only in a later piece is still written whole, what the
// comparison took read again from the installed file. On the caller's thread and on the pool.
TEST(StagedInstall, UpdateOfAFileInPiecesComparesAndWritesItWhole) {
    const std::string a(3000, 'a'), b(2000, 'b'), c = "the tail";
    for (unsigned threads : {0u, 2u}) {
        SCOPED_TRACE(threads);
        Installed v1;
        Write(v1.folder + L"\\same.bin", a + b + c);
        Write(v1.folder + L"\\late.bin", a + b + "the TAIL");
        Write(v1.folder + L"\\early.bin", "A" + a.substr(1) + b + c);
        const auto before = TreeListing(v1.folder);
        {
            CStagedInstall staging(v1.folder, kKey);
            WriteStats stats;
            WriteOptions options = DefaultWriteOptions();
            options.threads = threads;
            CFileWriterPool writer(options, stats);
            if (threads) staging.WriteThrough(&writer);
            ASSERT_TRUE(staging.Begin());
            for (const wchar_t* name : {L"same.bin", L"late.bin", L"early.bin"}) {
                CPiecesOf pieces({a, b, c});
                ASSERT_TRUE(staging.Stage(name, pieces.Bytes())) << name[0];
            }
            std::wstring planned;
            for (const CommitStep& step : staging.Plan()) planned += step.name + L" ";
            EXPECT_EQ(planned, L"late.bin early.bin ");
            ASSERT_FALSE(writer.Finish());
            ASSERT_TRUE(staging.Commit());
        }
        for (const wchar_t* name : {L"same.bin", L"late.bin", L"early.bin"})
            EXPECT_EQ(FileContent(v1.folder + L"\\" + name), a + b + c);
        const auto after = TreeListing(v1.folder);
        const auto same = std::find_if(before.begin(), before.end(), [](const std::string& line) {
            return line.rfind("same.bin", 0) == 0;
        });
        ASSERT_NE(same, before.end());
        EXPECT_NE(std::find(after.begin(), after.end(), *same), after.end())
            << "the same file keeps its time";
    }
}

// What the installed version's list names and the new version lacks goes with the final step; what
// the list does not name, and what the new version has (identical or not), stays.
TEST(StagedInstall, UpdateRetiresWhatTheNewVersionDropped) {
    Installed v1(true);
    const std::wstring logPath = v1.root + L"\\run.log";
    {
        CRunLog log;
        ASSERT_TRUE(log.Open(logPath));
        CStagedInstall staging(v1.folder, kKey);
        staging.LogTo(&log);
        StageVersion2(staging, true);
        ASSERT_TRUE(staging.Commit());
        std::string kinds;
        for (const CommitStep& step : staging.Plan()) kinds += char(step.kind);
        EXPECT_EQ(kinds, "DDDRRRAFR");
        EXPECT_EQ(staging.Plan()[2].name, L"Old\\Deep\\two.txt");
        EXPECT_EQ(staging.Plan()[0].oldName, L"Old.dll") << "spelled as on disk";
    }
    for (const wchar_t* gone : {L"\\Old.dll", L"\\Old\\one.txt", L"\\Old"})
        EXPECT_FALSE(GetFileAttributesW((v1.folder + gone).c_str()) != INVALID_FILE_ATTRIBUTES)
            << std::wstring(gone);
    EXPECT_EQ(FileContent(v1.folder + L"\\mine.txt"), "the user's");
    EXPECT_EQ(FileContent(v1.folder + L"\\same.dat"), "unchanged");
    EXPECT_EQ(FileContent(v1.folder + L"\\uninstall.lst"), "the new list");
    EXPECT_TRUE(FolderExists(v1.folder + L"\\Dict"));
    const std::string text = LogText(logPath);
    EXPECT_NE(text.find("retired file left: Dict (a folder or a link, or reached through one)"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("retired file left: ..\\outside.txt (a name that leads out"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("retired files: 3 listed by the installed version and not in this one"),
              std::string::npos)
        << text;
    EXPECT_FALSE(Journal());

    // Without a readable list, nothing is retired and the log says so.
    Installed unlisted;
    {
        CRunLog log;
        ASSERT_TRUE(log.Open(logPath));
        CStagedInstall staging(unlisted.folder, kKey);
        staging.LogTo(&log);
        StageVersion2(staging);
        Write(unlisted.folder + L"\\dropped.txt", "not listed");
        ASSERT_TRUE(staging.Commit());
        EXPECT_EQ(staging.Plan().size(), 5u);
    }
    EXPECT_EQ(FileContent(unlisted.folder + L"\\dropped.txt"), "not listed");
    EXPECT_NE(LogText(logPath).find(
                  "retired files: the installed version has no readable uninstall.lst, nothing "
                  "retired"),
              std::string::npos);
}

// The staging folder, and with it the install folder it becomes, lets no one but the administrators
// and the system write, whatever the folder above allows; so does every folder made above it, each
// level on its own (under Wine a level made without the list reads back with a grant to Everyone).
TEST(StagedInstall, FreshInstallationAppearsInOneMoveAndNothingBeforeIt) {
    const std::wstring root = MakeSandboxFolder();
    const std::wstring folder = root + L"\\Maker\\Tools\\Sub\\Product\\";
    const CRefusingMover counter({});
    {
        CStagedInstall staging(folder, kKey, counter);
        ASSERT_TRUE(staging.Begin());
        ASSERT_TRUE(staging.Stage(L"\\a.txt", "a", 1));
        ASSERT_TRUE(staging.Stage(L"sub/b.txt", "b", 1));
        EXPECT_FALSE(FolderExists(folder));
        const auto journal = Journal();
        ASSERT_TRUE(journal);
        EXPECT_EQ(journal->createdFrom, root + L"\\Maker");
        for (const wchar_t* level : {L"\\Maker", L"\\Maker\\Tools", L"\\Maker\\Tools\\Sub"})
            EXPECT_EQ(OthersAllowed(root + level), 0) << std::string(level, level + wcslen(level));
        ASSERT_TRUE(staging.Commit());
        EXPECT_EQ(counter.Count(), 1);
        EXPECT_FALSE(Journal()) << "the journal goes with the final step";
    }
    EXPECT_EQ(FileContent(folder + L"sub\\b.txt"), "b");
    EXPECT_EQ(TreeListing(root + L"\\Maker").size(), 6u);  // Tools, Sub, Product, a.txt, sub, b.txt
    EXPECT_EQ(OthersAllowed(folder), 0);
}

// Whichever move of the final step is refused, every move before it is undone: the old version is
// back byte for byte, names spelled as they were, and nothing of the new one or of the staging is
// left.
TEST(StagedInstall, EachRefusedMoveOfTheFinalStepUndoesTheOthers) {
    for (const bool withList : {false, true}) {
        // Retired files: three moves; the new list: two more.
        const int moves = withList ? 13 : 8;
        for (int refused = 1; refused <= moves; ++refused) {
            Installed v1(withList);
            const auto before = TreeListing(v1.folder);
            const CRefusingMover mover({refused});
            {
                CStagedInstall staging(v1.folder, kKey, mover);
                StageVersion2(staging, withList);
                EXPECT_FALSE(staging.Commit()) << "move " << refused;
            }
            EXPECT_EQ(TreeListing(v1.folder), before) << "move " << refused;
            EXPECT_FALSE(Journal());
        }
    }
}

// Once every move is made, the journal must say so before the set-aside files go: when it cannot
// be written, the moves are undone instead.
TEST(StagedInstall, DiscardThatCannotBeJournaledUndoesTheMoves) {
    Installed v1;
    const auto before = TreeListing(v1.folder);
    // The eighth and last move is the new folder's; the registry refuses from then on.
    const CRefusingMover mover({}, [](int move) {
        if (move == 8) DeleteInstallJournal(kKey);
    });
    {
        CStagedInstall staging(v1.folder, kKey, mover);
        StageVersion2(staging);
        EXPECT_FALSE(staging.Commit());
    }
    EXPECT_EQ(mover.Count(), 16) << "eight moves there, eight back";
    EXPECT_EQ(OutsideStaging(TreeListing(v1.folder)), before);
}

// A move back that is refused too leaves the rest in the journal; the next start finishes the undo.
TEST(StagedInstall, RefusedUndoStaysInTheJournalUntilTheNextStartUndoesIt) {
    for (const bool withList : {false, true}) {
        Installed v1(withList);
        const auto before = TreeListing(v1.folder);
        // After the retired files' moves, moves 1-6 are the three replaced files' (two each); the
        // seventh, the new file's, is refused, and so is the first move back; with a list, also the
        // move back of the last retired file, after the replaced files' six.
        const int first = v1.Retired() + 7;
        const CRefusingMover mover({first, first + 1, withList ? first + 6 : 0});
        {
            CStagedInstall staging(v1.folder, kKey, mover);
            StageVersion2(staging, withList);
            EXPECT_FALSE(staging.Commit());
        }
        EXPECT_NE(TreeListing(v1.folder), before);
        if (withList) {
            EXPECT_EQ(FileContent(v1.folder + L"\\Old\\Deep\\two.txt"), "<missing>");
        }
        const auto journal = Journal();
        ASSERT_TRUE(journal);
        EXPECT_EQ(journal->phase, InstallPhase::Committing);
        EXPECT_TRUE(Recover().complete);
        EXPECT_EQ(TreeListing(v1.folder), before) << "retired files back too: " << withList;
        EXPECT_FALSE(Journal());
    }
}

TEST(StagedInstall, FileHeldByAnotherProgramFailsBeforeAnythingChanges) {
    Installed v1;
    const auto before = TreeListing(v1.folder);
    HANDLE held = CreateFileW((v1.folder + L"\\Dict\\words.txt").c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    {
        CStagedInstall staging(v1.folder, kKey);
        ASSERT_TRUE(staging.Begin());
        EXPECT_TRUE(staging.Stage(L"app.exe", "version 2", 9));
        EXPECT_FALSE(staging.Stage(L"Dict\\words.txt", "new words", 9));
    }
    CloseHandle(held);
    EXPECT_EQ(TreeListing(v1.folder), before);
}

// An old file another program keeps open, able to be moved but not deleted, as a loaded DLL is.
TEST(StagedInstall, SetAsideFileHeldPastTheRetriesIsLeftToTheRestartWithoutAJournal) {
    Installed v1;
    std::wstring staged;
    {
        CStagedInstall staging(v1.folder, kKey);
        StageVersion2(staging);
        const CFileHandle held(CreateFileW((v1.folder + L"\\app.exe").c_str(),
                                           GENERIC_READ | DELETE,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        ASSERT_TRUE(staging.Commit());
        staged = staging.Layout().staging;
        std::vector<std::wstring> left;
        for (const ItemLeft& item : staging.DeletedAtRestart()) left.push_back(item.path);
        ASSERT_EQ(left.size(), 4u);
        EXPECT_EQ(left[0].rfind(staged + L"\\~setup~old\\", 0), 0u) << "the held file first";
        EXPECT_EQ(left[1], staged + L"\\~setup~old");
        EXPECT_EQ(left[2], staged + L"\\~setup~plan");
        EXPECT_EQ(left[3], staged) << "each folder after what it holds";
        EXPECT_TRUE(staging.DiscardLeft().path.empty());
        EXPECT_FALSE(Journal()) << "nothing stops the next run";
        EXPECT_EQ(FileContent(v1.folder + L"\\app.exe"), "version 2");
    }
    // The folder waits for the restart; the next installation stages under another name.
    EXPECT_NE(GetFileAttributesW(staged.c_str()), INVALID_FILE_ATTRIBUTES);
    CStagedInstall next(v1.folder, kKey);
    ASSERT_TRUE(next.Begin());
    EXPECT_NE(next.Layout().staging, staged);
}

TEST(StagedInstall, AStagingNameThatExistsIsNeverTaken) {
    const std::wstring parent = MakeSandboxFolder() + L"\\";
    CreateDirectoryW((parent + L"~setup~0000000000000000").c_str(), nullptr);
    Write(parent + L"~setup~1111111111111111", "a file");
    int asked = 0;
    const auto names = [&asked] {
        const wchar_t* given[] = {L"~setup~0000000000000000", L"~setup~1111111111111111",
                                  L"~setup~2222222222222222"};
        return std::wstring(given[std::min(asked++, 2)]);
    };
    EXPECT_EQ(UnusedStagingPath(parent, names), parent + L"~setup~2222222222222222");
    EXPECT_EQ(asked, 3);
    asked = 0;
    EXPECT_EQ(UnusedStagingPath(parent, [] { return std::wstring(L"~setup~0000000000000000"); }),
              L"")
        << "every name taken";
    EXPECT_EQ(UnusedStagingPath(parent + L"missing\\", names),
              parent + L"missing\\~setup~0000000000000000")
        << "a parent a fresh installation has yet to make";
    const std::wstring made = NewStagingName();
    EXPECT_EQ(made.size(), 23u);
    EXPECT_EQ(made.rfind(L"~setup~", 0), 0u);
}

TEST(StagedInstall, RefusesWhatCannotBeReplaced) {
    Installed v1;
    CreateDirectoryW((v1.folder + L"\\folder.txt").c_str(), nullptr);
    SetFileAttributesW((v1.folder + L"\\same.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    CStagedInstall staging(v1.folder, kKey);
    ASSERT_TRUE(staging.Begin());
    EXPECT_FALSE(staging.Stage(L"folder.txt", "x", 1));          // a folder at a file's name
    EXPECT_FALSE(staging.Stage(L"app.exe\\inner.txt", "x", 1));  // a file at a folder's name
    EXPECT_FALSE(staging.Stage(L"same.dat", "changed", 7));      // read-only
    EXPECT_TRUE(staging.Stage(L"same.dat", "unchanged", 9));     // but the same bytes are fine
    EXPECT_FALSE(CStagedInstall(L"relative\\folder", kKey).Begin());
    EXPECT_FALSE(CStagedInstall(v1.folder + L"\\app.exe", kKey).Begin());
    EXPECT_FALSE(CStagedInstall(v1.folder, L"no\\key").Begin()) << "no journal, no installation";
    // Another run's journal is the only account of where its files are: never taken over.
    EXPECT_FALSE(CStagedInstall(v1.folder, kKey).Begin());
    EXPECT_EQ(Journal()->staging, staging.Layout().staging);
}

TEST(Recovery, KilledWhileStagingLeavesTheOldVersion) {
    Installed v1;
    const auto before = TreeListing(v1.folder);
    const std::wstring fresh = v1.root + L"\\New\\Product";
    // What a kill leaves: the journal, the staging folders, a half-written file.
    for (const std::wstring& install : {v1.folder, fresh}) {
        CStagedInstall staging(install, kKey);
        StageVersion2(staging);
        const auto journal = Journal();
        ASSERT_TRUE(journal);
        std::wstring copy = journal->staging + L"-kept";
        ASSERT_TRUE(MoveFileW(journal->staging.c_str(), copy.c_str()));
        staging.Rollback();  // finds nothing to delete, as after a kill
        ASSERT_TRUE(MoveFileW(copy.c_str(), journal->staging.c_str()));
        ASSERT_TRUE(StartInstallJournal(kKey, *journal));
        if (install == fresh) {
            EXPECT_TRUE(FolderExists(v1.root + L"\\New"));
        }
        EXPECT_TRUE(Recover().complete);
        EXPECT_FALSE(Journal());
    }
    EXPECT_EQ(TreeListing(v1.folder), before);
    EXPECT_FALSE(FolderExists(v1.root + L"\\New"));
}

// A journal names paths only an administrator could have written, but one this installer could
// not have written is not acted on at all. Each folder it names is there, with a file in it, so
// that acting on it would show.
TEST(Recovery, KilledWhileDeletingAnOldFileStillHeldLeavesItToTheRestart) {
    Installed v1;
    const std::wstring staging = v1.folder + L"\\" + NewStagingName();
    ASSERT_TRUE(CreateDirectoryW(staging.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((staging + L"\\~setup~old").c_str(), nullptr));
    Write(staging + L"\\~setup~old\\0", "old app");
    const CFileHandle held(CreateFileW((staging + L"\\~setup~old\\0").c_str(),
                                       GENERIC_READ | DELETE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    ASSERT_TRUE(StartInstallJournal(
        kKey, InstallJournal{v1.folder, staging, L"", false, InstallPhase::Discarding}));
    const std::wstring logFile = MakeSandboxFolder() + L"\\run.log";
    {
        CRunLog log;
        ASSERT_TRUE(log.Open(logFile));
        EXPECT_TRUE(RecoverInterruptedInstallation(kKey, L"no-such-product.exe", log).complete);
    }
    EXPECT_FALSE(Journal());
    const std::string logged = FileContent(logFile);
    for (const std::wstring& item : {staging + L"\\~setup~old\\0", staging}) {
        const std::string line = "set aside and held, deleted at the next restart: " +
                                 std::string(item.begin(), item.end());
        EXPECT_NE(logged.find(line), std::string::npos) << line;
    }
}

TEST(Recovery, ImplausibleJournalIsDeletedUnused) {
    Installed v1;
    for (const std::wstring& staged : {v1.root + L"\\~setup~x", v1.folder + L"\\~setup~x"}) {
        CreateDirectoryW(staged.c_str(), nullptr);
        Write(staged + L"\\app.exe", "staged");
    }
    const auto before = TreeListing(v1.root);
    for (const InstallJournal& journal :
         {InstallJournal{v1.folder, v1.folder + L"\\Dict", L"", false, InstallPhase::Staging},
          InstallJournal{v1.folder, v1.root + L"\\~setup~x", L"", false, InstallPhase::Staging},
          InstallJournal{v1.folder, v1.folder + L"\\~setup~x\\..\\..", L"", false,
                         InstallPhase::Discarding},
          InstallJournal{v1.folder + L"\\Dict", v1.folder + L"\\~setup~x", v1.folder + L"\\Other",
                         true, InstallPhase::Committing}}) {
        ASSERT_TRUE(StartInstallJournal(kKey, journal));
        EXPECT_TRUE(Recover().complete);
        EXPECT_FALSE(Journal());
        EXPECT_EQ(TreeListing(v1.root), before);
    }
    // One cut short while it was started names nothing yet: it goes, and a run may start again.
    CRegistryKey cut;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\StagedInstallTest\\InstallInProgress", 0,
                    nullptr, 0, KEY_SET_VALUE, nullptr, cut.Put(), nullptr);
    cut.Reset();
    EXPECT_TRUE(Recover().complete);
    EXPECT_TRUE(CStagedInstall(v1.root + L"\\Next", kKey).Begin());
    EXPECT_EQ(TreeListing(v1.root), before);
}

TEST(CommitPlan, FileRoundTripAndRefusals) {
    const CommitPlan plan{{CommitKind::NewFolder, L"plugins", 0, L""},
                          {CommitKind::NewFile, L"\u7FFB\u8BD1\\zh.lang", 0, L""},
                          {CommitKind::ChangedFile, L"Dict\\words.txt", 12, L"Words.TXT"},
                          {CommitKind::RetiredFile, L"Old\\gone.dll", 13, L"Gone.DLL"}};
    const auto parsed = ParseCommitPlan(FormatCommitPlan(plan));
    ASSERT_TRUE(parsed);
    ASSERT_EQ(parsed->size(), plan.size());
    for (size_t i = 0; i < plan.size(); ++i) {
        EXPECT_EQ((*parsed)[i].kind, plan[i].kind);
        EXPECT_EQ((*parsed)[i].name, plan[i].name);
        EXPECT_EQ((*parsed)[i].setAside, plan[i].setAside);
        EXPECT_EQ((*parsed)[i].oldName, plan[i].oldName);
    }
    for (const char* bad :
         {"A\t0\t\ta.txt",  // cut short: no line end
          "X\t0\t\ta.txt\n", "A\t0\t\t..\\evil.dll\n", "A\t0\t\tC:\\x\n", "A\t0\t\t\n",
          "R\t1\t..\tDict\\a.txt\n", "R\t1\ta\\b\tDict\\a.txt\n", "R\t1\t\tDict\\a.txt\n",
          "R\tx\ta\tb\n", "A\t0\told\ta.txt\n", "A\t0\ta.txt\n", "F\t0\t\t~setup~old\n",
          "D\t1\t\tOld\\gone.dll\n", "D\t1\ta\\b\tOld\\gone.dll\n", "D\t1\tx\t..\\gone.dll\n"})
        EXPECT_FALSE(ParseCommitPlan(bad)) << bad;
    EXPECT_TRUE(ParseCommitPlan(""));
}

// What goes into the plan's file is read back before it is relied on: an old name that UTF-8 cannot
// carry would come back as another name, and the undo would restore the file under it.
TEST(CommitPlan, FileIsReadBackBeforeAnythingReliesOnIt) {
    for (const wchar_t* oldName : {L"W\xD83D\xDE00rds.txt", L"W\xD800rds.txt"}) {
        const StagingLayout layout{MakeSandboxFolder(), MakeSandboxFolder()};
        const CommitPlan plan{{CommitKind::ChangedFile, L"Dict\\words.txt", 2, oldName}};
        EXPECT_EQ(WriteCommitPlanFile(plan, layout), oldName[1] != 0xD800);
    }
}

}  // namespace
