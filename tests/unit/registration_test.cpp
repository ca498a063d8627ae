#include "system/registration.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <map>
#include <thread>

#include "platform/com_init.h"
#include "system/installed_files.h"
#include "system/shell_folders.h"
#include "system/start_menu.h"
#include "system/uninstall_entry.h"
#include "tests/support/shell_sandbox.h"

namespace {

using namespace testing_support;

// An identity of the test's own: every value differs from every other and from the string table's.
const ProductIdentity& TestProduct() {
    static const ProductIdentity product = [] {
        ProductIdentity p;
        p.uninstallKey = L"RegistrationTest";
        p.shortcutName = L"Registration \u4E2D Test";
        p.startMenuFolder = L"Registration Test Folder";
        p.displayName = L"Registration Test (Display)";
        p.version = L"9.8.7";
        p.publisher = L"Test Publisher Ltd.";
        p.exeName = L"registered.exe";
        return p;
    }();
    return product;
}

const wchar_t kKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\RegistrationTest";
const wchar_t kDefaultFolder[] = L"C:\\Program Files\\Marlin\\MarlinDataRecoveryiOS";

std::wstring ShortcutName() {
    return TestProduct().shortcutName;
}

// The installed files' total of the test's registrations: 3 KiB and one byte.
constexpr uint64_t kInstalledBytes = 3 * 1024 + 1;

// As the window does it: on a worker thread of its own, which has no COM yet.
void RegisterOnWorker(const std::wstring& folder, CRunLog& log = NoRunLog()) {
    std::thread([&] { RegisterProduct(TestProduct(), folder, kInstalledBytes, log); }).join();
}

struct StoredValue {
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    std::wstring text;  // the data up to the first null
    bool nullTerminated = false;
    std::string raw;
};

void DeleteKey() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kKey);
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kKey, KEY_WOW64_64KEY, 0);
}

HKEY OpenKey(REGSAM access) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, access | KEY_WOW64_64KEY, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return nullptr;
    }
    return key;
}

// Every value of the key, read from the 64-bit view.
std::map<std::wstring, StoredValue> ReadKey() {
    std::map<std::wstring, StoredValue> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, KEY_READ | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS) {
        return values;
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        BYTE data[4096] = {};
        StoredValue value;
        value.bytes = sizeof(data);
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &value.type, data, &value.bytes) !=
            ERROR_SUCCESS) {
            break;
        }
        const auto* text = reinterpret_cast<const wchar_t*>(data);
        const size_t chars = value.bytes / sizeof(wchar_t);
        value.text.assign(text, wcsnlen(text, chars));
        value.raw.assign(reinterpret_cast<const char*>(data), value.bytes);
        value.nullTerminated = chars > 0 && text[chars - 1] == L'\0';
        values[name] = value;
    }
    RegCloseKey(key);
    return values;
}

void ExpectText(const std::map<std::wstring, StoredValue>& values, const wchar_t* name,
                const std::wstring& expected) {
    const auto found = values.find(name);
    ASSERT_NE(found, values.end()) << name;
    EXPECT_EQ(found->second.type, DWORD(REG_SZ)) << name;
    EXPECT_EQ(found->second.text, expected) << name;
    EXPECT_EQ(found->second.bytes, (expected.size() + 1) * sizeof(wchar_t)) << name;
    EXPECT_TRUE(found->second.nullTerminated) << name;
}

void ExpectNumber(const std::map<std::wstring, StoredValue>& values, const wchar_t* name,
                  DWORD expected) {
    const auto found = values.find(name);
    ASSERT_NE(found, values.end()) << name;
    EXPECT_EQ(found->second.type, DWORD(REG_DWORD)) << name;
    ASSERT_EQ(found->second.bytes, sizeof(DWORD)) << name;
    DWORD stored = 0;
    memcpy(&stored, found->second.raw.data(), sizeof stored);
    EXPECT_EQ(stored, expected) << name;
}

TEST(UninstallEntry, ListsTheValuesInWritingOrder) {
    const auto values = UninstallValues(TestProduct(), kDefaultFolder, L"20240229");
    const std::vector<std::wstring> order = {
        L"InstallLocation", L"DisplayName",  L"DisplayIcon",
        L"DisplayVersion",  L"Publisher",    L"UninstallString",
        L"StartMenuFolder", L"ShortcutName", L"QuietUninstallString",
        L"InstallDate"};
    ASSERT_EQ(values.size(), order.size());
    for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(values[i].name, order[i]) << i;
    EXPECT_EQ(values.back().data, L"20240229");
    const auto numbers = UninstallNumbers(5000);
    ASSERT_EQ(numbers.size(), 3u);
    EXPECT_EQ(numbers[0].name, std::wstring(L"EstimatedSize"));
    EXPECT_EQ(numbers[0].data, 5u);
    EXPECT_EQ(numbers[1].name, std::wstring(L"NoModify"));
    EXPECT_EQ(numbers[2].name, std::wstring(L"NoRepair"));
    EXPECT_EQ(UninstallKeyPath(TestProduct()), kKey);
}

TEST(UninstallEntry, SizeInKibRoundsUpAndDateIsEightDigits) {
    const struct {
        uint64_t bytes;
        DWORD kib;
    } sizes[] = {{0, 0},
                 {1, 1},
                 {1023, 1},
                 {1024, 1},
                 {1025, 2},
                 {2097152, 2048},
                 {0xFFFFFFFFull * 1024, 0xFFFFFFFF},
                 {~0ull, 0xFFFFFFFF}};
    for (const auto& c : sizes) EXPECT_EQ(EstimatedSizeKiB(c.bytes), c.kib) << c.bytes;

    const struct {
        WORD year, month, day;
        const wchar_t* text;
    } dates[] = {
        {2024, 2, 29, L"20240229"}, {1999, 12, 31, L"19991231"}, {2031, 1, 5, L"20310105"}};
    for (const auto& c : dates) {
        SYSTEMTIME date{};
        date.wYear = c.year;
        date.wMonth = c.month;
        date.wDay = c.day;
        EXPECT_EQ(InstallDateText(date), c.text);
    }
}

// Today as the entry writes it, and yesterday's in case the test ran across midnight.
bool IsToday(const std::wstring& date) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    FILETIME file{};
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER ticks{{file.dwLowDateTime, file.dwHighDateTime}};
    ticks.QuadPart -= 60ull * 10000000;
    file = {ticks.LowPart, ticks.HighPart};
    SYSTEMTIME minuteAgo{};
    FileTimeToSystemTime(&file, &minuteAgo);
    return date == InstallDateText(now) || date == InstallDateText(minuteAgo);
}

TEST(UninstallEntry, WritesEveryValueForTheFolderAsGiven) {
    struct Case {
        const wchar_t* folder;
        const wchar_t* exe;
        const wchar_t* uninstallCommand;
    };
    for (auto c :
         {Case{kDefaultFolder, L"C:\\Program Files\\Marlin\\MarlinDataRecoveryiOS\\registered.exe",
               L"\"C:\\Program Files\\Marlin\\MarlinDataRecoveryiOS\\uninstall.exe\""},
          Case{L"D:\\Apps\\Marlin Recovery\\", L"D:\\Apps\\Marlin Recovery\\registered.exe",
               L"\"D:\\Apps\\Marlin Recovery\\uninstall.exe\""},
          Case{L"C:\\软件\\马林 恢复", L"C:\\软件\\马林 恢复\\registered.exe",
               L"\"C:\\软件\\马林 恢复\\uninstall.exe\""}}) {
        SCOPED_TRACE(c.folder);
        DeleteKey();
        RegisterOnWorker(c.folder);
        const auto values = ReadKey();
        EXPECT_EQ(values.size(), 14u);
        ExpectText(values, L"InstallLocation", c.folder);
        ExpectText(values, L"StartMenuShortcut",
                   JoinPath(StartMenuFolderPath(TestProduct()), ShortcutName() + L".lnk"));
        ExpectText(values, L"DisplayName", L"Registration Test (Display)");
        ExpectText(values, L"DisplayIcon", c.exe);
        ExpectText(values, L"DisplayVersion", L"9.8.7");
        ExpectText(values, L"Publisher", L"Test Publisher Ltd.");
        ExpectText(values, L"UninstallString", c.uninstallCommand);
        ExpectText(values, L"StartMenuFolder", L"Registration Test Folder");
        ExpectText(values, L"ShortcutName", ShortcutName());
        ExpectText(values, L"QuietUninstallString", c.uninstallCommand + std::wstring(L" /S"));
        ASSERT_EQ(values.count(L"InstallDate"), 1u);
        EXPECT_TRUE(IsToday(values.at(L"InstallDate").text)) << values.at(L"InstallDate").text;
        ExpectText(values, L"InstallDate", values.at(L"InstallDate").text);
        ExpectNumber(values, L"EstimatedSize", 4);
        ExpectNumber(values, L"NoModify", 1);
        ExpectNumber(values, L"NoRepair", 1);
    }
}

TEST(UninstallEntry, InstallingAgainOverwritesItsValuesAndKeepsOtherValues) {
    DeleteKey();
    HKEY key = OpenKey(KEY_WRITE);
    ASSERT_NE(key, nullptr);
    const DWORD one = 1;
    RegSetValueExW(key, L"DisplayVersion", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
    RegSetValueExW(key, L"NoModify", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), 4);
    const wchar_t old[] = L"C:\\Old";
    RegSetValueExW(key, L"InstallLocation", 0, REG_SZ, reinterpret_cast<const BYTE*>(old),
                   sizeof(old));
    RegSetValueExW(key, L"Comments", 0, REG_SZ, reinterpret_cast<const BYTE*>(old), sizeof(old));
    RegCloseKey(key);

    RegisterOnWorker(L"C:\\New Place");
    const auto values = ReadKey();
    EXPECT_EQ(values.size(), 15u);
    ExpectText(values, L"InstallLocation", L"C:\\New Place");
    ExpectText(values, L"DisplayVersion", L"9.8.7");
    ExpectText(values, L"UninstallString", L"\"C:\\New Place\\uninstall.exe\"");
    ExpectText(values, L"Comments", old);
    ExpectNumber(values, L"NoModify", 1);
}

// Removes the Start-menu folder whether it is a folder with the shortcut in it or a stray file.
std::wstring ClearStartMenuFolder() {
    const std::wstring folder = StartMenuFolderPath(TestProduct());
    DeleteFileW(JoinPath(folder, ShortcutName() + L".lnk").c_str());
    RemoveDirectoryW(folder.c_str());
    DeleteFileW(folder.c_str());
    return folder;
}

TEST(StartMenu, RegistrationCreatesTheFolderAndTheShortcut) {
    const CComInit com;
    std::wstring programs;
    ASSERT_TRUE(GetShellFolder(CSIDL_PROGRAMS, programs));
    const std::wstring folder = ClearStartMenuFolder();
    ASSERT_EQ(folder, JoinPath(programs, L"Registration Test Folder"));
    ASSERT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);

    const std::wstring installFolder = MakeSandboxFolder(L"register-start-menu");
    const std::wstring logFile = JoinPath(installFolder, L"run.log");
    DeleteFileW(logFile.c_str());
    {
        CRunLog log;
        ASSERT_TRUE(log.Open(logFile));
        RegisterOnWorker(installFolder, log);
    }
    const std::wstring link = JoinPath(folder, ShortcutName() + L".lnk");
    ASSERT_TRUE(FileExists(link));
    const std::string logged = ReadBytes(logFile);
    EXPECT_NE(logged.find(" Start-menu shortcut: done (" + ToUtf8(link) + ")\r\n"),
              std::string::npos)
        << logged;
    EXPECT_NE(logged.find(" Uninstall entry: done (HKLM\\" + ToUtf8(kKey) + ")\r\n"),
              std::string::npos)
        << logged;
    const ShortcutFields read = ReadShortcut(link);
    ASSERT_EQ(read.loaded, S_OK);
    EXPECT_EQ(read.target, JoinPath(installFolder, L"registered.exe"));
    EXPECT_EQ(read.description, ShortcutName());
    EXPECT_EQ(read.iconPath, read.target);
    EXPECT_EQ(read.iconIndex, 0);
}

TEST(StartMenu, AnEarlierShortcutIsOverwritten) {
    const CComInit com;
    const std::wstring folder = ClearStartMenuFolder();
    SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    const std::wstring link = JoinPath(folder, ShortcutName() + L".lnk");
    WriteBytes(link, "an older, broken shortcut");

    const std::wstring installFolder = L"C:\\Program Files\\Marlin\\Second Install\\";
    RegisterOnWorker(installFolder);
    const ShortcutFields read = ReadShortcut(link);
    ASSERT_EQ(read.loaded, S_OK);
    EXPECT_EQ(read.target, L"C:\\Program Files\\Marlin\\Second Install\\registered.exe");
}

TEST(StartMenu, AFileInTheFolderPlaceStillLetsTheRegistryBeWritten) {
    const std::wstring folder = ClearStartMenuFolder();
    WriteBytes(folder, "a file where the folder should be");
    DeleteKey();

    const std::wstring logFile = JoinPath(MakeSandboxFolder(L"register-blocked"), L"run.log");
    DeleteFileW(logFile.c_str());
    {
        CRunLog log;
        ASSERT_TRUE(log.Open(logFile));
        RegisterOnWorker(L"C:\\Blocked Start Menu", log);
    }
    EXPECT_EQ(ReadBytes(folder), "a file where the folder should be");
    ExpectText(ReadKey(), L"InstallLocation", L"C:\\Blocked Start Menu");
    const std::string logged = ReadBytes(logFile);
    const std::string failed = " Start-menu shortcut: failed (" +
                               ToUtf8(JoinPath(folder, ShortcutName() + L".lnk")) + "): ";
    EXPECT_NE(logged.find(failed), std::string::npos) << logged;
    EXPECT_NE(logged.find(" Uninstall entry: done ("), std::string::npos) << logged;
    ClearStartMenuFolder();
}

}  // namespace

namespace {

// A SID of `type` (the machine's own domain for account types that need one).
std::vector<BYTE> WellKnown(WELL_KNOWN_SID_TYPE type) {
    std::vector<BYTE> sid(SECURITY_MAX_SID_SIZE);
    DWORD size = DWORD(sid.size());
    EXPECT_TRUE(CreateWellKnownSid(type, nullptr, sid.data(), &size)) << type;
    return sid;
}

std::vector<BYTE> FromText(const wchar_t* text) {
    PSID sid = nullptr;
    EXPECT_TRUE(ConvertStringSidToSidW(text, &sid)) << text;
    const CLocalMemory<PSID> owned(sid);
    return std::vector<BYTE>(static_cast<BYTE*>(sid), static_cast<BYTE*>(sid) + GetLengthSid(sid));
}

}  // namespace

// The system account, as which device-management tools install, puts its shortcuts where every
// user sees them; any other account, a service's or an administrator's, keeps its own.
TEST(ShortcutFolders, AllUsersOnlyForTheSystemAccount) {
    const struct {
        const char* what;
        std::vector<BYTE> sid;
        bool allUsers;
    } accounts[] = {
        {"LocalSystem", WellKnown(WinLocalSystemSid), true},
        {"LocalSystem as text", FromText(L"S-1-5-18"), true},
        {"LocalService", WellKnown(WinLocalServiceSid), false},
        {"NetworkService", WellKnown(WinNetworkServiceSid), false},
        {"a user", FromText(L"S-1-5-21-1004336348-1177238915-682003330-1001"), false},
        {"an administrator", FromText(L"S-1-5-21-1004336348-1177238915-682003330-500"), false},
        {"the Administrators group", WellKnown(WinBuiltinAdministratorsSid), false},
        {"an empty buffer", std::vector<BYTE>(SECURITY_MAX_SID_SIZE, 0), false},
    };
    for (const auto& a : accounts) {
        const ShortcutFolderIds ids = ShortcutFoldersFor(const_cast<BYTE*>(a.sid.data()));
        EXPECT_EQ(ids.programs, a.allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS) << a.what;
        EXPECT_EQ(ids.desktop, a.allUsers ? CSIDL_COMMON_DESKTOPDIRECTORY : CSIDL_DESKTOP)
            << a.what;
    }
    EXPECT_EQ(ShortcutFoldersFor(nullptr).programs, CSIDL_PROGRAMS);
    // Wine runs the tests as a user.
    EXPECT_EQ(ShortcutFoldersOfThisAccount().programs, CSIDL_PROGRAMS);
}

// A recorded path is data: only a shortcut of the entry's name at a whole path in the one form.
TEST(RecordedShortcuts, OnlyTheEntrysShortcutAtAWholePath) {
    const std::wstring link = L"Marlin.lnk";
    const struct {
        const wchar_t* recorded;
        const wchar_t* folder;  // null: refused
    } cases[] = {
        {L"C:\\Users\\a\\Desktop\\Marlin.lnk", L"C:\\Users\\a\\Desktop"},
        {L"C:\\Users\\a\\Desktop\\marlin.LNK", L"C:\\Users\\a\\Desktop"},
        {L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Marlin\\Marlin.lnk",
         L"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\Marlin"},
        {L"\\\\nas\\profiles\\a\\Desktop\\Marlin.lnk", L"\\\\nas\\profiles\\a\\Desktop"},
        {L"C:\\Marlin.lnk", L"C:\\"},
        {L"C:\\Windows\\System32\\kernel32.dll", nullptr},
        {L"C:\\Users\\a\\Desktop\\Other.lnk", nullptr},
        {L"C:\\Users\\a\\Desktop\\Marlin.lnk:stream", nullptr},
        {L"Desktop\\Marlin.lnk", nullptr},
        {L"Marlin.lnk", nullptr},
        {L"\\Users\\a\\Marlin.lnk", nullptr},
        {L"C:\\Users\\a\\..\\b\\Marlin.lnk", nullptr},
        {L"C:\\Users\\a\\\\Marlin.lnk", nullptr},
        {L"C:/Users/a/Marlin.lnk", nullptr},
        {L"\\\\?\\C:\\Users\\a\\Marlin.lnk", nullptr},
        {L"C:\\Users\\CON\\Marlin.lnk", nullptr},
        {L"", nullptr},
    };
    for (const auto& c : cases) {
        const auto place = RecordedShortcutPlace(c.recorded, link);
        ASSERT_EQ(place.has_value(), c.folder != nullptr) << ToUtf8(c.recorded);
        if (!place) continue;
        EXPECT_EQ(place->folder, c.folder) << ToUtf8(c.recorded);
        EXPECT_TRUE(CompareStringOrdinal(place->name.c_str(), -1, link.c_str(), -1, TRUE) ==
                    CSTR_EQUAL);
    }
}

// A move and the uninstaller remove the shortcuts where the entry recorded them, in whatever
// account's folders they lie, and the emptied Start-menu folder; nothing but those.
TEST(RecordedShortcuts, RemovedWhereRecordedFromAnyAccount) {
    const CComInit com;
    const std::wstring profile = MakeSandboxFolder(L"other-profile");
    const std::wstring menu = JoinPath(profile, L"Programs\\Registration Test Folder");
    const std::wstring desktop = JoinPath(profile, L"Desktop");
    SHCreateDirectoryExW(nullptr, menu.c_str(), nullptr);
    SHCreateDirectoryExW(nullptr, desktop.c_str(), nullptr);
    const std::wstring menuLink = JoinPath(menu, ShortcutName() + L".lnk");
    const std::wstring desktopLink = JoinPath(desktop, ShortcutName() + L".lnk");
    const std::wstring neighbour = JoinPath(desktop, L"Neighbour.lnk");
    for (const std::wstring& file : {menuLink, desktopLink, neighbour}) WriteBytes(file, "link");

    RegisteredInstallation entry;
    entry.found = true;
    entry.startMenuFolder = TestProduct().startMenuFolder;
    entry.shortcutName = ShortcutName();
    entry.startMenuShortcut = menuLink;
    entry.desktopShortcut = desktopLink;
    EXPECT_EQ(RemoveShortcuts(TestProduct(), entry), 0);
    EXPECT_FALSE(FileExists(menuLink));
    EXPECT_EQ(GetFileAttributesW(menu.c_str()), INVALID_FILE_ATTRIBUTES)
        << "the emptied Start-menu folder goes";
    EXPECT_FALSE(FileExists(desktopLink));
    EXPECT_TRUE(FileExists(neighbour));
    EXPECT_NE(GetFileAttributesW(desktop.c_str()), INVALID_FILE_ATTRIBUTES);
    // Gone already: nothing is left to count.
    EXPECT_EQ(RemoveShortcuts(TestProduct(), entry), 0);

    // A recorded path that names another file, or that is reached by another path than its own,
    // is left with what it names, and counts as a shortcut left.
    WriteBytes(desktopLink, "link");
    entry.startMenuShortcut = neighbour;
    entry.desktopShortcut = OtherPathTo(desktopLink);
    ASSERT_FALSE(entry.desktopShortcut.empty());
    EXPECT_EQ(RemoveShortcuts(TestProduct(), entry), 2);
    EXPECT_TRUE(FileExists(neighbour));
    EXPECT_TRUE(FileExists(desktopLink));
}
