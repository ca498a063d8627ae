// The uninstaller's parts: list reading, folder order, names, command line, exit codes and texts
// as pure functions; file removal in a scratch folder and the Uninstall entry in the test's prefix.
#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>
#include <tlhelp32.h>

#include <filesystem>
#include <fstream>

#include "files/removal.h"
#include "files/same_path.h"
#include "product/uninstall/exit_code.h"
#include "product/uninstall/fill_in.h"
#include "product/uninstall/self_removal.h"
#include "product/uninstall/uninstall_command.h"
#include "product/uninstall/uninstaller.h"
#include "system/entry_list.h"
#include "system/uninstall_entry.h"
#include "tests/support/run_environment.h"

namespace fs = std::filesystem;
using Names = std::vector<std::wstring>;

namespace {

// The product key whose installation guard the copy's tests take.
constexpr wchar_t kKey[] = L"CopyGuardTest";

TEST(EntryList, SplitsLinesOfEitherEnding) {
    const struct {
        const wchar_t* text;
        Names names;
    } cases[] = {
        {L"a.txt\r\nsub\\b.txt\r\n", {L"a.txt", L"sub\\b.txt"}},
        {L"a.txt\nb.txt", {L"a.txt", L"b.txt"}},
        {L"\xFEFF"
         L"a.txt\r\n",
         {L"a.txt"}},
        {L"\r\n\r\na.txt\r\n\n", {L"a.txt"}},
        {L"", {}},
        {L"\xFEFF", {}},
        {L" spaced name.txt\r\n", {L" spaced name.txt"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitEntryList(c.text), c.names) << c.text;
}

TEST(EntryList, DecodesUtf8AndRefusesMalformedBytes) {
    std::wstring text = L"unchanged";
    ASSERT_TRUE(DecodeUtf8("\xe4\xb8\xad\xe6\x96\x87\\a.txt", text));
    EXPECT_EQ(text, L"\x4e2d\x6587\\a.txt");
    ASSERT_TRUE(DecodeUtf8("", text));
    EXPECT_EQ(text, L"");
    text = L"unchanged";
    EXPECT_FALSE(DecodeUtf8("a\xff.txt", text));
    EXPECT_FALSE(DecodeUtf8("\xc0\xaf", text)) << "overlong slash";
    EXPECT_EQ(text, L"unchanged");
}

TEST(EntryList, FoldersComeDeepestFirstAndOnce) {
    using Views = std::vector<std::wstring_view>;
    const Names names = {L"vivevadiz.exe",
                         L"dict\\jieba.dict.utf8",
                         L"dict\\pos_dict\\prob_start.utf8",
                         L"dict\\pos_dict\\prob_emit.utf8",
                         L"\\top\\x.txt",
                         L"a/b/c.txt",
                         L"a\\b\\d.txt",
                         L"unsafe\\..\\x.txt",
                         L"nul\\x.txt"};
    EXPECT_EQ(FoldersOfEntries(names),
              (Views{L"a/b", L"a\\b", L"dict\\pos_dict", L"a", L"dict", L"top"}));
    EXPECT_TRUE(FoldersOfEntries({L"a.txt", L"b.txt"}).empty());

    // One line of many short levels lists each level once; a longer one than a path, nothing.
    std::wstring deep;
    for (int level = 0; level < 16000; ++level) deep += L"d\\";
    const Names lines = {deep + L"x.txt", deep + L"y.txt", std::wstring(32768, L'e') + L"\\f"};
    const Views folders = FoldersOfEntries(lines);
    ASSERT_EQ(folders.size(), 16000u);
    EXPECT_EQ(folders.front(), std::wstring_view(deep).substr(0, deep.size() - 1));
    EXPECT_EQ(folders.back(), L"d");
}

TEST(EntryList, PlainNamesHaveNoWayOut) {
    const struct {
        const wchar_t* name;
        bool plain;
    } cases[] = {
        {L"Marlin Data Recovery", true},
        {L"\x9a6c\x6797iOS", true},
        {L"", false},
        {L"..", false},
        {L"a\\b", false},
        {L"a/b", false},
        {L"\\a", false},
        {L"C:x", false},
        {L"NUL", false},
        {L"x\ty", false},
    };
    for (const auto& c : cases) EXPECT_EQ(IsPlainName(c.name), c.plain) << c.name;
}

TEST(ExitCode, CombinesWhatIsLeft) {
    const auto report = [](int files, int folders, int shortcuts, bool entry, bool registered,
                           bool list) {
        UninstallReport r;
        r.filesLeft = files;
        r.foldersLeft = folders;
        r.shortcutsLeft = shortcuts;
        r.entryLeft = entry;
        r.registered = registered;
        r.listRead = list;
        return r;
    };
    const struct {
        UninstallReport report;
        int code;
    } cases[] = {
        {report(0, 0, 0, false, true, true), 0},
        {report(3, 0, 0, false, true, true), kFilesLeft},
        {report(0, 1, 0, false, true, true), kFoldersLeft},
        {report(0, 0, 2, false, true, true), kShortcutsLeft},
        {report(0, 0, 0, true, true, true), kEntryLeft},
        {report(0, 0, 0, false, false, false), kNotRegistered | kNoEntryList},
        {report(1, 1, 1, true, false, true), 31},
    };
    for (const auto& c : cases) EXPECT_EQ(ComposeExitCode(c.report), c.code);
    // Wine and cmd see 8 bits of an exit code.
    EXPECT_LT(kCancelled, 256);
}

TEST(UninstallCommandLine, ModesAndRefusals) {
    using Mode = UninstallCommand::Mode;
    const struct {
        Names args;
        Mode mode;
        bool silent;
    } cases[] = {
        {{}, Mode::Uninstall, false},
        {{L"/S"}, Mode::Uninstall, true},
        {{L"/s"}, Mode::Uninstall, true},
        {{L"-S"}, Mode::Uninstall, true},
        {{L"/S", L"/S"}, Mode::Uninstall, true},
        {{L"/S", L"/LOG=C:\\u.log"}, Mode::Uninstall, true},
        {{L"/log=C:\\u.log", L"/s"}, Mode::Uninstall, true},
        {{L"/LOG=C:\\u.log"}, Mode::Uninstall, false},
        {{L"/Silent"}, Mode::Invalid, false},
        {{L"C:\\x"}, Mode::Invalid, false},
        // Refused, but without a message: /S was asked for.
        {{L"/S", L"C:\\x"}, Mode::Invalid, true},
        {{L"/X", L"/S"}, Mode::Invalid, true},
        {{L"/S", L"/LOG="}, Mode::Invalid, true},
        {{L"/S", L"/LOGFILE=x"}, Mode::Invalid, true},
        {{L"/finish", L"1234", L"C:\\P\\uninstall.exe"}, Mode::Finish, true},
        {{L"/finish", L"0", L"C:\\P\\uninstall.exe"}, Mode::Invalid, false},
        {{L"/finish", L"12a", L"C:\\P\\uninstall.exe"}, Mode::Invalid, false},
        {{L"/finish", L"99999999999999999999", L"C:\\P\\u.exe"}, Mode::Invalid, false},
        {{L"/finish", L"12", L"uninstall.exe"}, Mode::Invalid, false},
        {{L"/finish", L"12", L"\\\\server\\share\\P\\uninstall.exe"}, Mode::Finish, true},
        {{L"/finish", L"12", L"\\\\?\\C:\\P\\uninstall.exe"}, Mode::Finish, true},
        {{L"/finish", L"12", L"\\\\?\\UNC\\server\\share\\uninstall.exe"}, Mode::Finish, true},
        {{L"/finish", L"12", L"\\\\server\\uninstall.exe"}, Mode::Invalid, false},
        {{L"/finish", L"12", L"\\\\?\\uninstall.exe"}, Mode::Invalid, false},
        {{L"/finish", L"12", L"\\P\\uninstall.exe"}, Mode::Invalid, false},
        {{L"/finish", L"12", L"C:uninstall.exe"}, Mode::Invalid, false},
        {{L"/finish", L"12"}, Mode::Invalid, false},
        {{L"/finish", L"12", L"34", L"C:\\P\\uninstall.exe"}, Mode::Finish, true},
        {{L"/finish", L"12", L"0", L"C:\\P\\uninstall.exe"}, Mode::Invalid, false},
        {{L"/finish", L"12", L"34", L"56", L"C:\\P\\uninstall.exe"}, Mode::Invalid, false},
    };
    for (const auto& c : cases) {
        const UninstallCommand command = ParseUninstallCommand(c.args);
        EXPECT_EQ(command.mode, c.mode) << (c.args.empty() ? L"" : c.args[0]).c_str();
        EXPECT_EQ(command.silent, c.silent);
    }
    const UninstallCommand finish =
        ParseUninstallCommand({L"/finish", L"1234", L"C:\\P\\uninstall.exe"});
    EXPECT_EQ(finish.waitHandle, 1234u);
    EXPECT_EQ(finish.guardHandle, 0u);
    EXPECT_EQ(finish.program, L"C:\\P\\uninstall.exe");
    EXPECT_EQ(ParseUninstallCommand({L"/finish", L"1", L"88", L"C:\\u.exe"}).guardHandle, 88u);
    EXPECT_EQ(ParseUninstallCommand({L"/S", L"/Log=C:\\My Logs\\u.log"}).logFile,
              L"C:\\My Logs\\u.log");
    EXPECT_EQ(ParseUninstallCommand({L"/S"}).logFile, L"");
}

// Every form a program's path can take: what the uninstaller writes for its copy, the copy reads
// back unchanged.
TEST(UninstallCommandLine, TheCopyReadsBackWhatTheUninstallerWrote) {
    for (const wchar_t* program :
         {L"C:\\Program Files\\Marlin\\uninstall.exe", L"\\\\server\\share\\Marlin\\uninstall.exe",
          L"\\\\?\\C:\\Program Files\\Marlin\\uninstall.exe",
          L"\\\\?\\UNC\\server\\share\\Marlin\\uninstall.exe",
          L"D:\\\x9a6c\x6797 \\uninstall.exe"}) {
        const std::wstring above =
            std::wstring(program).substr(0, wcsrchr(program, L'\\') - program);
        const std::wstring arguments = FinishArguments(4660, 88, program, above);
        ASSERT_FALSE(arguments.empty()) << program;
        const std::wstring commandLine = L"\"C:\\Temp\\uninstall-1\\uninstall.exe\" " + arguments;
        int argc = 0;
        LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &argc);
        ASSERT_NE(argv, nullptr);
        const Names args(argv + 1, argv + argc);
        LocalFree(argv);
        const UninstallCommand command = ParseUninstallCommand(args);
        EXPECT_EQ(command.mode, UninstallCommand::Mode::Finish) << commandLine;
        EXPECT_EQ(command.waitHandle, 4660u);
        EXPECT_EQ(command.guardHandle, 88u);
        EXPECT_EQ(command.program, program);
        EXPECT_EQ(command.madeAbove, above);
    }
    EXPECT_EQ(FinishArguments(4660, 0, L"C:\\u.exe"), L"/finish 4660 \"C:\\u.exe\"");
    // A drive's root is never made by an installation, nor a relative folder named.
    EXPECT_EQ(FinishArguments(4660, 0, L"C:\\P\\u.exe", L"C:\\"), L"");
    EXPECT_EQ(FinishArguments(4660, 0, L"C:\\P\\u.exe", L"P"), L"");
    // A path the copy would refuse is never written: the copy is then not started at all.
    for (const wchar_t* program : {L"uninstall.exe", L"C:uninstall.exe", L"\\P\\uninstall.exe",
                                   L"C:\\P\\", L"C:\\a\"b\\uninstall.exe"})
        EXPECT_EQ(FinishArguments(4660, 0, program), L"") << program;
    EXPECT_EQ(FinishArguments(0, 88, L"C:\\P\\uninstall.exe"), L"");
}

TEST(SamePath, IgnoresCaseAndTrailingSeparators) {
    EXPECT_TRUE(SamePath(L"C:\\Program Files\\Demo", L"c:\\program files\\DEMO\\"));
    EXPECT_TRUE(SamePath(L"C:\\Demo\\\\", L"C:\\Demo"));
    EXPECT_FALSE(SamePath(L"C:\\Demo", L"C:\\Demo2"));
    EXPECT_FALSE(SamePath(L"C:\\Demo", L"D:\\Demo"));
    EXPECT_FALSE(SamePath(L"", L""));
    EXPECT_FALSE(SamePath(L"\\", L""));
}

TEST(FillIn, PutsValuesWhereTheLanguageWantsThem) {
    EXPECT_EQ(FillIn(L"Remove {0}?", {L"Marlin"}), L"Remove Marlin?");
    EXPECT_EQ(FillIn(L"{1} / {0} / {1}", {L"a", L"b"}), L"b / a / b");
    EXPECT_EQ(FillIn(L"{2} {x} {0", {L"a"}), L"{2} {x} {0");
    EXPECT_EQ(FillIn(L"{0}", {L"{0}"}), L"{0}") << "values are not filled in again";
}

TEST(RemovalCopy, GoesInTheSystemsOwnTemporaryFolder) {
    constexpr DWORD kNone = INVALID_FILE_ATTRIBUTES, kFolder = FILE_ATTRIBUTE_DIRECTORY,
                    kLink = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT,
                    kFile = FILE_ATTRIBUTE_ARCHIVE;
    const struct {
        const wchar_t* windows;
        DWORD systemTemp, temp;
        Names parents;
    } cases[] = {
        {L"C:\\Windows", kFolder, kFolder, {L"C:\\Windows\\SystemTemp", L"C:\\Windows\\Temp"}},
        {L"C:\\Windows\\", kFolder | FILE_ATTRIBUTE_HIDDEN, kNone, {L"C:\\Windows\\SystemTemp"}},
        {L"C:\\Windows", kNone, kFolder, {L"C:\\Windows\\Temp"}},
        {L"C:\\Windows", kLink, kFolder, {L"C:\\Windows\\Temp"}},
        {L"C:\\Windows", kFile, kFolder, {L"C:\\Windows\\Temp"}},
        {L"D:\\WINNT", kNone, kFolder | FILE_ATTRIBUTE_COMPRESSED, {L"D:\\WINNT\\Temp"}},
        {L"C:\\Windows", kFolder, kLink, {L"C:\\Windows\\SystemTemp"}},
        {L"C:\\Windows", kNone, kLink, {}},
        {L"C:\\Windows", kLink, kFile, {}},
        {L"C:\\Windows", kNone, kNone, {}},
        {L"", kFolder, kFolder, {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CopyParentFolders(c.windows, c.systemTemp, c.temp), c.parents)
            << c.windows << " " << c.systemTemp << " " << c.temp;
}

// A scratch folder under the prefix's temporary folder, removed afterwards.
class ScratchFolder : public testing::Test {
protected:
    void SetUp() override {
        root =
            fs::temp_directory_path() / ("uninstall-test-" + std::to_string(GetCurrentProcessId()));
        fs::remove_all(root);
        install = root / "Product";
        fs::create_directories(install);
    }
    void TearDown() override {
        std::error_code ec;
        for (const auto& entry : fs::recursive_directory_iterator(root, ec))
            SetFileAttributesW(entry.path().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(root, ec);
    }
    void Write(const fs::path& path, const char* text = "x") {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }
    fs::path root, install;
};

TEST_F(ScratchFolder, RemovesListedFilesOnlyAndStaysInsideTheFolder) {
    const Names listed = {L"A.txt",
                          L"sub\\b.txt",
                          L"Sub/deep/c.txt",
                          L"readonly.dat",
                          L"missing.txt",
                          L"uninstall.exe",
                          L"..\\outside.txt",
                          L"sub\\..\\..\\outside.txt",
                          (root / "outside.txt").wstring(),
                          L"NUL"};
    for (const char* name :
         {"a.txt", "sub/b.txt", "sub/deep/c.txt", "readonly.dat", "uninstall.exe", "sub/mine.txt"})
        Write(install / name);
    Write(root / "outside.txt");
    SetFileAttributesW((install / "readonly.dat").c_str(), FILE_ATTRIBUTE_READONLY);

    const ListedRemoval removed =
        RemoveListedFiles(install.wstring(), listed, (install / "UNINSTALL.EXE").wstring());
    EXPECT_EQ(removed.left, 4) << "the four refused names count as left";
    EXPECT_TRUE(removed.keptListed);
    EXPECT_TRUE(fs::exists(root / "outside.txt"));
    EXPECT_TRUE(fs::exists(install / "uninstall.exe")) << "the running uninstaller is kept";
    EXPECT_TRUE(fs::exists(install / "sub" / "mine.txt"));
    for (const char* gone : {"a.txt", "sub/b.txt", "sub/deep/c.txt", "readonly.dat"})
        EXPECT_FALSE(fs::exists(install / gone)) << gone;

    EXPECT_EQ(RemoveEmptyFolders(install.wstring(),
                                 FoldersOfEntries({L"sub\\b.txt", L"sub\\deep\\c.txt"})),
              0);
    EXPECT_FALSE(fs::exists(install / "sub" / "deep"));
    EXPECT_TRUE(fs::exists(install / "sub" / "mine.txt")) << "a folder with a foreign file stays";
}

// A name reaches its file however it is written, and the folder however it is given: every
// check takes the same file for the running uninstaller, so it is kept and counts as removed.
TEST_F(ScratchFolder, EveryFormOfANameReachesTheSameFile) {
    const std::wstring longForm = L"\\\\?\\" + install.wstring();
    for (const std::wstring& folder : {install.wstring(), longForm, longForm + L"\\"}) {
        SCOPED_TRACE(folder);
        for (const char* name : {"uninstall.exe", "config.ini", "sub/deep/c.txt", "sub/d.txt"})
            Write(install / name);
        const Names listed = {L".\\uninstall.exe", L"./Config.INI.", L"sub/./deep//c.txt",
                              L"sub. \\.\\d.txt"};
        const ListedRemoval removed =
            RemoveListedFiles(folder, listed, longForm + L"\\UNINSTALL.exe");
        EXPECT_EQ(removed.left, 0);
        EXPECT_TRUE(removed.keptListed) << "the program is listed, in another form";
        EXPECT_TRUE(fs::exists(install / "uninstall.exe"));
        for (const char* gone : {"config.ini", "sub/deep/c.txt", "sub/d.txt"})
            EXPECT_FALSE(fs::exists(install / gone)) << gone;
        EXPECT_EQ(RemoveEmptyFolders(folder, FoldersOfEntries(listed)), 0);
        EXPECT_FALSE(fs::exists(install / "sub"));
    }
    EXPECT_EQ(PlainRelativeName(L"./a//b/./c.txt"), L"a\\b\\c.txt");
    EXPECT_EQ(PlainRelativeName(L"\\a\\"), L"a");
    EXPECT_EQ(PlainRelativeName(L"."), L"");
    EXPECT_EQ(PlainRelativeName(L"a. \\b.txt.."), L"a\\b.txt");
}

TEST_F(ScratchFolder, SameFileMeansTheSameFileInAnyForm) {
    Write(install / "a.txt");
    Write(install / "b.txt");
    const std::wstring a = (install / "a.txt").wstring();
    EXPECT_TRUE(SameFile(a, L"\\\\?\\" + a));
    EXPECT_TRUE(SameFile(a, (install / "sub" / ".." / "A.TXT").wstring()));
    EXPECT_TRUE(SameFile(install.wstring(), (install / "").wstring()));
    EXPECT_FALSE(SameFile(a, (install / "b.txt").wstring()));
    EXPECT_FALSE(SameFile(a, (install / "missing.txt").wstring()));
    EXPECT_FALSE(SameFile(L"", L""));
}

TEST_F(ScratchFolder, EmptyFolderRemovalLeavesFilesAndFoldersItDidNotList) {
    fs::create_directories(install / "listed" / "inner");
    fs::create_directories(install / "unlisted");
    const CRemovalFolder removal(install.wstring());
    EXPECT_TRUE(removal.RemoveFolderIfEmpty(L"missing"));
    EXPECT_EQ(RemoveEmptyFolders(install.wstring(), {L"listed\\inner", L"listed", L"..\\"}), 0);
    EXPECT_FALSE(fs::exists(install / "listed"));
    EXPECT_TRUE(fs::exists(install / "unlisted"));
    EXPECT_TRUE(fs::exists(root)) << "a refused name reaches nothing";

    Write(install / "file.txt");
    EXPECT_TRUE(removal.RemoveFile(L"file.txt"));
    EXPECT_TRUE(removal.RemoveFile(L"file.txt")) << "already gone counts as removed";
    EXPECT_TRUE(removal.RemoveFile(L"unlisted")) << "a folder is not deleted as a file";
    EXPECT_TRUE(fs::exists(install / "unlisted"));
}

TEST(UninstallEntry, ReadsWhatTheInstallerWroteAndDeletesAllOfIt) {
    ProductIdentity product;
    product.uninstallKey = L"UninstallEntryTest";
    product.startMenuFolder = L"Entry Test Folder";
    product.shortcutName = L"Entry \u4E2D Test";
    ASSERT_TRUE(DeleteUninstallEntry(product));
    EXPECT_FALSE(ReadRegisteredInstallation(product.uninstallKey).found);

    ASSERT_TRUE(WriteUninstallEntry(product, L"C:\\Program Files\\Demo Test", 4096));
    HKEY sub = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (UninstallKeyPath(product) + L"\\Extra").c_str(),
                              0, nullptr, 0, KEY_WRITE, nullptr, &sub, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(sub);

    const RegisteredInstallation entry = ReadRegisteredInstallation(product.uninstallKey);
    EXPECT_TRUE(entry.found);
    EXPECT_EQ(entry.installLocation, L"C:\\Program Files\\Demo Test");
    EXPECT_EQ(entry.startMenuFolder, L"Entry Test Folder");
    EXPECT_EQ(entry.shortcutName, L"Entry \u4E2D Test");

    EXPECT_TRUE(DeleteUninstallEntry(product));
    EXPECT_FALSE(ReadRegisteredInstallation(product.uninstallKey).found);
    EXPECT_TRUE(DeleteUninstallEntry(product)) << "no entry is what was wanted";
}

TEST(UninstallKeyName, NamesOneKeyBelowTheUninstallKeyOnly) {
    for (const std::wstring& name :
         {std::wstring(L"VivevaDiz"), std::wstring(L"a/b \x9a6c"), std::wstring(255, L'k')})
        EXPECT_TRUE(IsUninstallKeyName(name)) << name;
    for (const std::wstring& name :
         {std::wstring(), std::wstring(L"a\\b"), std::wstring(L"."), std::wstring(L".."),
          std::wstring(L"a\tb"), std::wstring(L"Viveva\0Diz", 10), std::wstring(256, L'k')})
        EXPECT_FALSE(IsUninstallKeyName(name)) << name;
}

ProductIdentity ProductWithKey(const std::wstring& key) {
    ProductIdentity product;
    product.uninstallKey = key;
    product.processName = L"no-such-product.exe";
    return product;
}

TEST_F(ScratchFolder, AKeyNameNamingAnotherKeyIsRefusedByInstallerAndUninstaller) {
    const ProductIdentity sibling = ProductWithKey(L"KeyNameTestSibling");
    ASSERT_TRUE(WriteUninstallEntry(sibling, L"C:\\Sibling", 0));
    for (const wchar_t* name : {L"", L"KeyNameTestSibling\\Inner", L".."})
        EXPECT_FALSE(WriteUninstallEntry(ProductWithKey(name), install.wstring(), 0)) << name;

    // What an installer without the rule wrote for an empty name: values in the Uninstall key.
    CRegistryKey uninstallKey;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, UninstallKeyPath(ProductWithKey(L"")).c_str(), 0,
                            KEY_QUERY_VALUE | KEY_SET_VALUE, uninstallKey.Put()),
              ERROR_SUCCESS);
    EXPECT_NE(RegQueryValueExW(uninstallKey, L"DisplayName", nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    const std::wstring location = install.wstring();
    RegSetValueExW(uninstallKey, L"InstallLocation", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(location.c_str()),
                   DWORD((location.size() + 1) * sizeof(wchar_t)));
    Write(install / "uninstall.lst", "a.txt\r\n");
    Write(install / "a.txt");
    EXPECT_EQ(RunUninstaller(ParseUninstallCommand({L"/S"}), (install / "uninstall.exe").wstring(),
                             ProductWithKey(L"")),
              kRefused);
    EXPECT_TRUE(ReadRegisteredInstallation(sibling.uninstallKey).found)
        << "every other program's entry stays";
    EXPECT_TRUE(fs::exists(install / "a.txt"));
    RegDeleteValueW(uninstallKey, L"InstallLocation");
    DeleteUninstallEntry(sibling);
}

// Each refusal goes to the log with its reason and the exit code; a log that cannot be opened is
// itself a refusal, and nothing is removed.
TEST_F(ScratchFolder, RefusalsAreLoggedAndALogThatCannotBeOpenedRefuses) {
    Write(install / "uninstall.lst", "a.txt\r\n");
    Write(install / "a.txt");
    const std::wstring program = (install / "uninstall.exe").wstring();
    const fs::path log = root / "uninstall.log";
    const std::wstring logSwitch = L"/LOG=" + log.wstring();
    const struct {
        ProductIdentity product;
        Names args;
        const char* reason;
    } cases[] = {
        {ProductWithKey(L""), {L"/S", logSwitch}, "the product's key name is not one key's name"},
        {ProductWithKey(L"LogTestProduct"),
         {L"/S", logSwitch, L"/X"},
         "the command line is not understood"},
    };
    for (const auto& c : cases) {
        fs::remove(log);
        EXPECT_EQ(RunUninstaller(ParseUninstallCommand(c.args), program, c.product), kRefused);
        std::ifstream in(log, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        EXPECT_NE(text.find("failed: " + std::string(c.reason) + "\r\n"), std::string::npos)
            << text;
        EXPECT_NE(text.find(" exit code 64\r\n"), std::string::npos) << text;
        EXPECT_TRUE(fs::exists(install / "a.txt"));
    }

    // A folder where the log should be: refused before anything is looked at.
    fs::create_directories(root / "a folder");
    EXPECT_EQ(
        RunUninstaller(ParseUninstallCommand({L"/S", L"/LOG=" + (root / "a folder").wstring()}),
                       program, ProductWithKey(L"LogTestProduct")),
        kRefused);
    EXPECT_TRUE(fs::exists(install / "a.txt"));
    EXPECT_TRUE(fs::is_directory(root / "a folder"));
}

// The sleeper (tests/helpers/sleeper.cpp), copied to `path` and started: a running uninstaller.
CKernelHandle StartStandIn(const fs::path& path) {
    const std::wstring sleeper = testing_support::ArgumentValue(L"--sleeper=");
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (sleeper.empty() || !CopyFileW(sleeper.c_str(), path.c_str(), 1) ||
        !CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return CKernelHandle();
    const CKernelHandle thread(process.hThread);
    return CKernelHandle(process.hProcess);
}

// With the rights the uninstaller hands its copy.
CKernelHandle Waitable(HANDLE process) {
    CKernelHandle handle;
    DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), handle.Put(),
                    SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0);
    return handle;
}

// Windows hands a program started by a "\\?\\" path that path (Wine does not): the uninstaller
// takes the registered folder for its own and its listed self for itself, and starts its copy.
TEST_F(ScratchFolder, ARunFromALongFormProgramPathRemovesWhatARunFromADriveLetterDoes) {
    const ProductIdentity product = ProductWithKey(L"LongFormPathTest");
    ASSERT_TRUE(WriteUninstallEntry(product, install.wstring(), 0));
    const fs::path program = install / "uninstall.exe";
    const std::wstring sleeper = testing_support::ArgumentValue(L"--sleeper=");
    ASSERT_TRUE(CopyFileW(sleeper.c_str(), program.c_str(), FALSE)) << "run with --sleeper=PATH";
    Write(install / "uninstall.lst",
          "a.txt\r\nsub\\b.txt\r\n.\\uninstall.exe\r\nuninstall.lst\r\n");
    Write(install / "a.txt");
    Write(install / "sub" / "b.txt");
    EXPECT_EQ(
        RunUninstaller(ParseUninstallCommand({L"/S"}), L"\\\\?\\" + program.wstring(), product), 0);
    for (const char* gone : {"a.txt", "sub", "uninstall.lst"})
        EXPECT_FALSE(fs::exists(install / gone)) << gone;
    EXPECT_TRUE(fs::exists(program)) << "left to the copy";
    EXPECT_FALSE(ReadRegisteredInstallation(product.uninstallKey).found);
}

// The handle number comes from a command line anyone can write: only a process handle this
// process holds is taken, and nothing else it names is ever closed.
TEST_F(ScratchFolder, TheCopyClosesNoHandleItDidNotInheritAsAProcess) {
    const fs::path program = install / "uninstall.exe";
    const CKernelHandle standIn = StartStandIn(program);
    ASSERT_TRUE(standIn) << "run with --sleeper=PATH";
    const CKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const CFileHandle file(CreateFileW((root / "held.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, 0, nullptr));
    CKernelHandle thread;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(),
                                thread.Put(), THREAD_ALL_ACCESS, FALSE, 0));
    for (const HANDLE held : {event.Get(), file.Get(), thread.Get()}) {
        const std::wstring number = std::to_wstring(reinterpret_cast<uintptr_t>(held));
        EXPECT_FALSE(InheritedProcess(reinterpret_cast<uintptr_t>(held))) << number;
        EXPECT_EQ(RunUninstaller(ParseUninstallCommand({L"/finish", number, program.wstring()}),
                                 (root / "copy.exe").wstring(), ProductWithKey(L"NoSuchKey")),
                  kRefused)
            << number;
        DWORD flags = 0;
        EXPECT_TRUE(GetHandleInformation(held, &flags)) << number << " is still open";
    }
    EXPECT_TRUE(fs::exists(program));
    TerminateProcess(standIn, 0);

    // The uninstaller's own hand-over: taken, waited for, and the uninstaller deleted.
    EXPECT_EQ(RunUninstaller(ParseUninstallCommand({L"/finish",
                                                    std::to_wstring(reinterpret_cast<uintptr_t>(
                                                        Waitable(standIn).Detach())),
                                                    L"\\\\?\\" + program.wstring()}),
                             (root / "copy.exe").wstring(), ProductWithKey(L"NoSuchKey")),
              0);
    EXPECT_FALSE(fs::exists(program));
}

std::wstring WindowsFolderForTest() {
    wchar_t folder[MAX_PATH + 1] = {};
    GetSystemWindowsDirectoryW(folder, MAX_PATH + 1);
    return folder;
}

// The copy lies in the system's temporary folder, holds this program's bytes, and while it is held
// neither it nor its folder can be renamed, written or deleted by anyone else; never started, both
// go through the handles it holds. Where the Windows folder has a SystemTemp, the copy goes there.
TEST_F(ScratchFolder, TheCopyIsPlacedHeldAndDeletedThroughItsHandles) {
    const fs::path program = install / "uninstall.exe";
    Write(program, "the uninstaller's bytes");
    const fs::path windows = WindowsFolderForTest();
    for (const fs::path& parent : {windows / "Temp", windows / "SystemTemp"}) {
        std::wstring path, folder;
        {
            const CRemovalCopy copy(program.wstring());
            ASSERT_FALSE(copy.Path().empty()) << copy.Problem();
            EXPECT_TRUE(copy.Problem().empty()) << copy.Problem();
            path = copy.Path();
            folder = fs::path(path).parent_path().wstring();
            EXPECT_TRUE(SamePath(fs::path(folder).parent_path().wstring(), parent.wstring()))
                << path;
            EXPECT_EQ(fs::path(path).filename().wstring(), L"uninstall.exe");
            // Readable by whoever lets it stay held: a process is started from it that way.
            const CFileHandle reader(CreateFileW(path.c_str(), GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
            char bytes[64] = {};
            DWORD read = 0;
            EXPECT_TRUE(reader && ReadFile(reader, bytes, sizeof bytes, &read, nullptr));
            EXPECT_EQ(std::string(bytes, read), "the uninstaller's bytes");
            const std::wstring moved = folder + L"-moved";
            EXPECT_FALSE(MoveFileExW(folder.c_str(), moved.c_str(), 0)) << "its folder is renamed";
            EXPECT_FALSE(fs::exists(moved));
            EXPECT_FALSE(MoveFileExW(path.c_str(), (path + L".old").c_str(), 0)) << "renamed";
            EXPECT_FALSE(DeleteFileW(path.c_str())) << "deleted by path";
            EXPECT_EQ(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, 0, nullptr),
                      INVALID_HANDLE_VALUE)
                << "opened for writing";
        }
        EXPECT_FALSE(fs::exists(path)) << path;
        EXPECT_FALSE(fs::exists(folder)) << folder;
        // The next round: the system's own temporary folder exists, as on current Windows.
        fs::create_directories(windows / "SystemTemp");
    }
    fs::remove(windows / "SystemTemp");

    const CRemovalCopy missing((install / "missing.exe").wstring());
    EXPECT_TRUE(missing.Path().empty());
    EXPECT_NE(missing.Problem().find(L"missing.exe cannot be read"), std::wstring::npos)
        << missing.Problem();
}

// What decides whether the process made is the copy placed: the file it runs, not its path's text.
TEST_F(ScratchFolder, AProcessRunsTheFileHeldOnlyWhenItIsThatVeryFile) {
    const fs::path program = install / "uninstall.exe", twin = root / "twin.exe";
    const CKernelHandle standIn = StartStandIn(program);
    ASSERT_TRUE(standIn) << "run with --sleeper=PATH";
    fs::copy_file(program, twin);
    const auto open = [](const fs::path& path) {
        return CFileHandle(CreateFileW(path.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
    };
    const CFileHandle same = open(program), other = open(twin);
    const CFileHandle sameByAnotherForm = open(L"\\\\?\\" + program.wstring());
    ASSERT_TRUE(same && other && sameByAnotherForm);
    EXPECT_TRUE(RunsFile(standIn, same));
    EXPECT_TRUE(RunsFile(standIn, sameByAnotherForm));
    EXPECT_FALSE(RunsFile(standIn, other)) << "the same bytes, another file";
    EXPECT_FALSE(RunsFile(GetCurrentProcess(), same)) << "another process";
    const CKernelHandle event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    EXPECT_FALSE(RunsFile(event, same)) << "not a process";
    TerminateProcess(standIn, 0);
    WaitForSingleObject(standIn, 5000);
}

// The running process whose image is the file `program`, opened to look into; empty when none.
CKernelHandle ProcessRunning(const std::wstring& program) {
    const CFileHandle file(CreateFileW(program.c_str(), GENERIC_READ,
                                       FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
    const CFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = file && snapshot && Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        CKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_DUP_HANDLE |
                                              PROCESS_TERMINATE | SYNCHRONIZE,
                                          FALSE, entry.th32ProcessID));
        if (process && RunsFile(process, file)) return process;
    }
    return CKernelHandle();
}

// Whether `process` holds a handle numbered as `handle` is in this process.
bool HoldsHandle(HANDLE process, HANDLE handle) {
    CKernelHandle copy;
    return DuplicateHandle(process, handle, GetCurrentProcess(), copy.Put(), 0, FALSE,
                           DUPLICATE_SAME_ACCESS);
}

// The copy inherits the handles it is handed and nothing else this process could hand down; a
// process started the usual way, inheriting, shows that a handle it inherited can be seen.
TEST_F(ScratchFolder, TheCopyInheritsOnlyWhatItIsHandedDown) {
    const std::wstring sleeper = testing_support::ArgumentValue(L"--sleeper=");
    ASSERT_FALSE(sleeper.empty()) << "run with --sleeper=PATH";
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const CKernelHandle event(CreateEventW(&inheritable, TRUE, FALSE, nullptr));
    const fs::path plain = root / "plain.exe", program = install / "uninstall.exe";
    fs::copy_file(sleeper, plain);
    fs::copy_file(sleeper, program);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    std::wstring commandLine = L"\"" + plain.wstring() + L"\"";
    ASSERT_TRUE(CreateProcessW(plain.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &started));
    const CKernelHandle plainThread(started.hThread), plainProcess(started.hProcess);
    EXPECT_TRUE(HoldsHandle(plainProcess, event)) << "a process that inherits everything";
    TerminateProcess(plainProcess, 0);

    CRemovalCopy copy(program.wstring());
    ASSERT_TRUE(copy.Start(CInstallationGuard())) << copy.Problem();
    const CKernelHandle copyProcess = ProcessRunning(copy.Path());
    ASSERT_TRUE(copyProcess) << "the copy runs from " << copy.Path();
    EXPECT_FALSE(HoldsHandle(copyProcess, event)) << "an inheritable handle not handed down";
    TerminateProcess(copyProcess, 0);
    WaitForSingleObject(copyProcess, 5000);
}

// Whether `path` is marked for deletion at the next restart.
bool MarkedForRestart(const fs::path& path) {
    std::wstring pending(4096, L'\0');
    DWORD bytes = DWORD(pending.size() * sizeof(wchar_t));
    RegGetValueW(HKEY_LOCAL_MACHINE, L"System\\CurrentControlSet\\Control\\Session Manager",
                 L"PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, &pending[0], &bytes);
    return pending.find(path.wstring()) != std::wstring::npos;
}

TEST_F(ScratchFolder, TheCopyDeletesOnlyTheUninstallerItWaitsFor) {
    fs::create_directories(root / "Other");
    const fs::path program = install / "uninstall.exe", other = root / "Other" / "uninstall.exe",
                   plain = root / "Other" / "sleeper.exe";
    const CKernelHandle uninstaller = StartStandIn(program), notUninstaller = StartStandIn(plain);
    ASSERT_TRUE(uninstaller && notUninstaller) << "run with --sleeper=PATH";
    Write(other, "another uninstaller");
    EXPECT_EQ(
        FinishRemoval(Waitable(uninstaller), CInstallationGuard(), kKey, other.wstring(), L"", 0),
        kRefused);
    EXPECT_EQ(FinishRemoval(Waitable(notUninstaller), CInstallationGuard(), kKey, plain.wstring(),
                            L"", 0),
              kRefused);
    TerminateProcess(notUninstaller, 0);
    EXPECT_EQ(FinishRemoval(CKernelHandle(CreateEventW(nullptr, 1, 1, nullptr)),
                            CInstallationGuard(), kKey, program.wstring(), L"", 0),
              kRefused);
    EXPECT_TRUE(fs::exists(other) && fs::exists(plain));

    EXPECT_EQ(FinishRemoval(Waitable(uninstaller), CInstallationGuard(), kKey, program.wstring(),
                            L"", 200),
              kFilesLeft);
    EXPECT_TRUE(fs::exists(program)) << "not deleted while it runs";
    EXPECT_TRUE(MarkedForRestart(program)) << "but marked for restart";

    TerminateProcess(uninstaller, 0);
    EXPECT_EQ(FinishRemoval(Waitable(uninstaller), CInstallationGuard(), kKey, program.wstring(),
                            L"", 5000),
              0);
    EXPECT_FALSE(fs::exists(install)) << "the uninstaller and its emptied folder are gone";
    EXPECT_TRUE(fs::exists(other));
}

// The copy deletes only while it holds the installation guard: handed down, it holds it however
// the name stands; not handed down, it takes it once the uninstaller has ended, and when an
// installation holds it by then, the folder is that installation's and nothing is touched.
TEST_F(ScratchFolder, TheCopyActsOnlyUnderTheInstallationGuard) {
    // Not where another test had a copy mark its uninstaller for restart.
    fs::create_directories(root / "Guarded");
    const fs::path program = root / "Guarded" / "uninstall.exe";
    const CKernelHandle standIn = StartStandIn(program);
    ASSERT_TRUE(standIn) << "run with --sleeper=PATH";
    TerminateProcess(standIn, 0);
    const CInstallationGuard installation(L"CopyGuardTestHeld");
    EXPECT_EQ(FinishRemoval(Waitable(standIn), CInstallationGuard(), L"CopyGuardTestHeld",
                            program.wstring(), L"", 5000),
              kFilesLeft);
    EXPECT_TRUE(fs::exists(program) && !MarkedForRestart(program));

    std::vector<CKernelHandle> handles;
    ASSERT_TRUE(installation.HandDown(handles));
    EXPECT_EQ(FinishRemoval(Waitable(standIn),
                            CInstallationGuard::Inherited(uintptr_t(handles[0].Detach())),
                            L"CopyGuardTestHeld", program.wstring(), L"", 5000),
              0);
    EXPECT_FALSE(fs::exists(program));
}

// The folders an installation made above its install folder go after it, each while empty, and
// only when the folder named holds the install folder.
TEST_F(ScratchFolder, TheCopyRemovesTheFoldersMadeAboveOnlyUpToTheOneNamed) {
    const struct {
        const char* madeAbove;  // below root
        bool madeGone, levelGone;
    } cases[] = {
        {"Made", true, true},
        {"Made\\Level", false, true},
        {"Elsewhere", false, false},
        {"Made\\Level\\App", false, false},
    };
    for (const auto& c : cases) {
        const fs::path program = root / "Made" / "Level" / "App" / "uninstall.exe";
        fs::create_directories(root / "Elsewhere");
        fs::create_directories(program.parent_path());
        const CKernelHandle standIn = StartStandIn(program);
        ASSERT_TRUE(standIn) << "run with --sleeper=PATH";
        TerminateProcess(standIn, 0);
        EXPECT_EQ(FinishRemoval(Waitable(standIn), CInstallationGuard(), kKey, program.wstring(),
                                (root / c.madeAbove).wstring(), 5000),
                  0);
        EXPECT_FALSE(fs::exists(program.parent_path())) << c.madeAbove;
        EXPECT_EQ(!fs::exists(root / "Made" / "Level"), c.levelGone) << c.madeAbove;
        EXPECT_EQ(!fs::exists(root / "Made"), c.madeGone) << c.madeAbove;
        EXPECT_TRUE(fs::exists(root / "Elsewhere")) << c.madeAbove;
        fs::remove_all(root / "Made");
    }
}

}  // namespace
