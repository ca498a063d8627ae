#include "install/staged_install.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/install_journal.h"
#include "install/recovery.h"
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

// Moves as the system does, but refuses the moves whose numbers (counted from 1) it is given.
class CRefusingMover final : public CFileMover {
public:
    explicit CRefusingMover(std::vector<int> refused) : m_refused(std::move(refused)) {}
    bool Move(const std::wstring& from, const std::wstring& to) const override {
        ++m_count;
        for (int refused : m_refused)
            if (refused == m_count) return false;
        return CFileMover::Move(from, to);
    }
    int Count() const { return m_count; }

private:
    std::vector<int> m_refused;
    mutable int m_count = 0;
};

// An installation of version 1 with a file that changes, one that stays, a folder that gains a
// file, and a file whose name the new version spells in other letter case.
struct Installed {
    std::wstring root = MakeSandboxFolder();
    std::wstring folder = root + L"\\Product";
    Installed() {
        CreateDirectoryW(folder.c_str(), nullptr);
        CreateDirectoryW((folder + L"\\Dict").c_str(), nullptr);
        Write(folder + L"\\app.exe", "version 1");
        Write(folder + L"\\same.dat", "unchanged");
        Write(folder + L"\\ReadMe.TXT", "old readme");
        Write(folder + L"\\Dict\\words.txt", "old words");
    }
};

// Stages version 2 over it.
void StageVersion2(CStagedInstall& staging) {
    ASSERT_TRUE(staging.Begin());
    for (const auto& [name, bytes] :
         std::vector<std::pair<std::wstring, std::string>>{{L"app.exe", "version 2"},
                                                           {L"same.dat", "unchanged"},
                                                           {L"readme.txt", "new readme"},
                                                           {L"DICT\\words.txt", "new words"},
                                                           {L"dict\\more.txt", "more words"},
                                                           {L"plugins\\a\\one.dll", "one"},
                                                           {L"plugins\\two.dll", "two"}})
        ASSERT_TRUE(staging.Stage(name, bytes.data(), int32_t(bytes.size())));
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
        auto during = TreeListing(v1.folder);
        during.erase(std::remove_if(during.begin(), during.end(),
                                    [](const std::string& line) { return line[0] == '~'; }),
                     during.end());
        EXPECT_EQ(during, before) << "nothing changes before the final step";
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
    EXPECT_FALSE(ReadInstallRecord(kKey));
}

TEST(StagedInstall, FreshInstallationAppearsInOneMoveAndNothingBeforeIt) {
    const std::wstring root = MakeSandboxFolder();
    const std::wstring folder = root + L"\\Maker\\Product\\";
    CStagedInstall staging(folder, kKey);
    ASSERT_TRUE(staging.Begin());
    ASSERT_TRUE(staging.Stage(L"\\a.txt", "a", 1));
    ASSERT_TRUE(staging.Stage(L"sub/b.txt", "b", 1));
    EXPECT_FALSE(FolderExists(folder));
    const auto record = ReadInstallRecord(kKey);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->createdFrom, root + L"\\Maker");
    ASSERT_TRUE(staging.Commit());
    EXPECT_EQ(FileContent(folder + L"sub\\b.txt"), "b");
    EXPECT_EQ(TreeListing(root + L"\\Maker").size(), 4u);  // Product, a.txt, sub, b.txt
}

// Whichever move of the final step is refused, every move before it is undone: the old version is
// back byte for byte, names spelled as they were, and nothing of the new one or of the staging is
// left.
TEST(StagedInstall, EachRefusedMoveOfTheFinalStepUndoesTheOthers) {
    for (int refused = 1; refused <= 8; ++refused) {
        Installed v1;
        const auto before = TreeListing(v1.folder);
        const CRefusingMover mover({refused});
        {
            CStagedInstall staging(v1.folder, kKey, mover);
            StageVersion2(staging);
            EXPECT_FALSE(staging.Commit()) << "move " << refused;
        }
        EXPECT_EQ(TreeListing(v1.folder), before) << "move " << refused;
        EXPECT_FALSE(ReadInstallRecord(kKey));
    }
}

// A move back that is refused too leaves the rest on record; the next start finishes the undo.
TEST(StagedInstall, RefusedUndoStaysOnRecordUntilTheNextStartUndoesIt) {
    Installed v1;
    const auto before = TreeListing(v1.folder);
    // Moves 1-6 are the three replaced files' (two each); the seventh, the new file's, is refused,
    // and so is the first move back.
    const CRefusingMover mover({7, 8});
    {
        CStagedInstall staging(v1.folder, kKey, mover);
        StageVersion2(staging);
        EXPECT_FALSE(staging.Commit());
    }
    EXPECT_NE(TreeListing(v1.folder), before);
    const auto record = ReadInstallRecord(kKey);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->phase, InstallPhase::Committing);
    EXPECT_TRUE(RecoverInterruptedInstallation(kKey));
    EXPECT_EQ(TreeListing(v1.folder), before);
    EXPECT_FALSE(ReadInstallRecord(kKey));
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
}

TEST(Recovery, KilledWhileStagingLeavesTheOldVersion) {
    Installed v1;
    const auto before = TreeListing(v1.folder);
    const std::wstring fresh = v1.root + L"\\New\\Product";
    // What a kill leaves: the record, the staging folders, a half-written file.
    for (const std::wstring& install : {v1.folder, fresh}) {
        CStagedInstall staging(install, kKey);
        StageVersion2(staging);
        const auto record = ReadInstallRecord(kKey);
        ASSERT_TRUE(record);
        std::wstring copy = record->staging + L"-kept";
        ASSERT_TRUE(MoveFileW(record->staging.c_str(), copy.c_str()));
        staging.Rollback();  // finds nothing to delete, as after a kill
        ASSERT_TRUE(MoveFileW(copy.c_str(), record->staging.c_str()));
        ASSERT_TRUE(WriteInstallRecord(kKey, *record));
        if (install == fresh) {
            EXPECT_TRUE(FolderExists(v1.root + L"\\New"));
        }
        EXPECT_TRUE(RecoverInterruptedInstallation(kKey));
        EXPECT_FALSE(ReadInstallRecord(kKey));
    }
    EXPECT_EQ(TreeListing(v1.folder), before);
    EXPECT_FALSE(FolderExists(v1.root + L"\\New"));
}

// A record names paths only an administrator could have written, but one this installer could
// not have written is not acted on at all.
TEST(Recovery, ImplausibleRecordIsDeletedUnused) {
    Installed v1;
    const auto before = TreeListing(v1.root);
    for (const InstallRecord& record :
         {InstallRecord{v1.folder, v1.folder + L"\\Dict", L"", false, InstallPhase::Staging},
          InstallRecord{v1.folder, v1.root + L"\\~setup~x", L"", false, InstallPhase::Staging},
          InstallRecord{v1.folder, v1.folder + L"\\~setup~x\\..\\..", L"", false,
                        InstallPhase::Discarding},
          InstallRecord{v1.folder + L"\\Dict", v1.folder + L"\\~setup~x", v1.folder + L"\\Other",
                        true, InstallPhase::Committing}}) {
        ASSERT_TRUE(WriteInstallRecord(kKey, record));
        EXPECT_TRUE(RecoverInterruptedInstallation(kKey));
        EXPECT_FALSE(ReadInstallRecord(kKey));
        EXPECT_EQ(TreeListing(v1.root), before);
    }
}

TEST(CommitPlan, FileRoundTripAndRefusals) {
    const CommitPlan plan{{CommitKind::NewFolder, L"plugins", 0, L""},
                          {CommitKind::NewFile, L"\u7FFB\u8BD1\\zh.lang", 0, L""},
                          {CommitKind::ChangedFile, L"Dict\\words.txt", 12, L"Words.TXT"}};
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
          "R\tx\ta\tb\n", "A\t0\told\ta.txt\n", "A\t0\ta.txt\n", "F\t0\t\t~setup~old\n"})
        EXPECT_FALSE(ParseCommitPlan(bad)) << bad;
    EXPECT_TRUE(ParseCommitPlan(""));
}

}  // namespace
