#include "install/registration.h"

#include <gtest/gtest.h>

#include <map>
#include <thread>

#include "platform/com_init.h"
#include "install/shell_folders.h"
#include "install/start_menu.h"
#include "install/uninstall_entry.h"
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

// As the window does it: on a worker thread of its own, which has no COM yet.
void RegisterOnWorker(const std::wstring& folder) {
    std::thread([&] { RegisterProduct(TestProduct(), folder); }).join();
}

struct StoredValue {
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    std::wstring text;  // the data up to the first null
    bool nullTerminated = false;
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

TEST(UninstallEntry, ListsTheEightValuesInWritingOrder) {
    const auto values = UninstallValues(TestProduct(), kDefaultFolder);
    const std::vector<std::wstring> order = {L"InstallLocation", L"DisplayName", L"DisplayIcon",
                                             L"DisplayVersion",  L"Publisher",   L"UninstallString",
                                             L"StartMenuFolder", L"ShortcutName"};
    ASSERT_EQ(values.size(), order.size());
    for (size_t i = 0; i < order.size(); ++i) EXPECT_EQ(values[i].name, order[i]) << i;
    EXPECT_EQ(UninstallKeyPath(TestProduct()), kKey);
}

TEST(UninstallEntry, WritesEightTextValuesForTheFolderAsGiven) {
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
        EXPECT_EQ(values.size(), 8u);
        ExpectText(values, L"InstallLocation", c.folder);
        ExpectText(values, L"DisplayName", L"Registration Test (Display)");
        ExpectText(values, L"DisplayIcon", c.exe);
        ExpectText(values, L"DisplayVersion", L"9.8.7");
        ExpectText(values, L"Publisher", L"Test Publisher Ltd.");
        ExpectText(values, L"UninstallString", c.uninstallCommand);
        ExpectText(values, L"StartMenuFolder", L"Registration Test Folder");
        ExpectText(values, L"ShortcutName", ShortcutName());
    }
}

TEST(UninstallEntry, InstallingAgainOverwritesTheEightAndKeepsOtherValues) {
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
    EXPECT_EQ(values.size(), 10u);
    ExpectText(values, L"InstallLocation", L"C:\\New Place");
    ExpectText(values, L"DisplayVersion", L"9.8.7");
    ExpectText(values, L"UninstallString", L"\"C:\\New Place\\uninstall.exe\"");
    ExpectText(values, L"Comments", old);
    ASSERT_EQ(values.count(L"NoModify"), 1u);
    EXPECT_EQ(values.at(L"NoModify").type, DWORD(REG_DWORD));
    EXPECT_EQ(values.at(L"NoModify").bytes, 4u);
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
    RegisterOnWorker(installFolder);
    const std::wstring link = JoinPath(folder, ShortcutName() + L".lnk");
    ASSERT_TRUE(FileExists(link));
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

    RegisterOnWorker(L"C:\\Blocked Start Menu");
    EXPECT_EQ(ReadBytes(folder), "a file where the folder should be");
    ExpectText(ReadKey(), L"InstallLocation", L"C:\\Blocked Start Menu");
    ClearStartMenuFolder();
}

}  // namespace
