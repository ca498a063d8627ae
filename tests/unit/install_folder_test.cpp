#include "files/install_folder.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "staging/folder_check.h"
#include "tests/support/archive_builder.h"

namespace {

using testing_support::ArchiveBuilder;
using testing_support::Bytes;

TEST(InstallFolder, OneFormForEveryWayOfWritingIt) {
    struct Case {
        const wchar_t* text;
        const wchar_t* normal;  // nullptr: refused
    };
    for (const auto& c : {
             Case{L"C:\\Apps\\Marlin", L"C:\\Apps\\Marlin"},
             Case{L"c:/Apps/Marlin/", L"C:\\Apps\\Marlin"},
             Case{L"C:\\Apps\\\\Marlin\\\\", L"C:\\Apps\\Marlin"},
             Case{L"C:\\Apps. \\Marlin..", L"C:\\Apps\\Marlin"},
             Case{L"C:\\Apps\\.\\x\\..\\Marlin", L"C:\\Apps\\Marlin"},
             Case{L"\\\\?\\C:\\Apps\\Marlin", L"C:\\Apps\\Marlin"},
             Case{L"\\\\?\\UNC\\server\\share\\App", L"\\\\server\\share\\App"},
             Case{L"//server/share/App/", L"\\\\server\\share\\App"},
             Case{L"\\\\server\\share", L"\\\\server\\share"},
             Case{L"c:/", L"C:\\"},
             Case{L"C:\\\u8F6F\u4EF6\\\u9A6C\u6797 \u6062\u590D",
                  L"C:\\\u8F6F\u4EF6\\\u9A6C\u6797 \u6062\u590D"},
             Case{L"", nullptr},
             Case{L"Apps", nullptr},
             Case{L"C:", nullptr},
             Case{L"C:Apps", nullptr},
             Case{L"\\Apps", nullptr},
             Case{L"\\\\server", nullptr},
             Case{L"\\\\server\\", nullptr},
             Case{L"\\\\.\\C:\\x", nullptr},
             Case{L"\\\\?\\Volume{0}\\x", nullptr},
             Case{L"1:\\x", nullptr},
             Case{L"\u00e9:\\x", nullptr},
             Case{L"C:\\..\\x", nullptr},
             Case{L"C:\\Apps\\...", nullptr},
             Case{L"C:\\a<b", nullptr},
             Case{L"C:\\a:b", nullptr},
             Case{L"C:\\a\tb", nullptr},
             Case{L"C:\\Apps\\nul.txt", nullptr},
             Case{L"C:\\~setup~0123", nullptr},
         }) {
        const auto normal = NormalInstallFolder(c.text);
        if (c.normal) {
            EXPECT_EQ(normal.value_or(L"(refused)"), c.normal) << c.text;
        } else {
            EXPECT_FALSE(normal) << c.text << L" -> " << normal.value_or(L"");
        }
    }
    EXPECT_TRUE(NormalInstallFolder(L"C:\\" + std::wstring(255, L'x')));
    EXPECT_FALSE(NormalInstallFolder(L"C:\\" + std::wstring(256, L'x')));
}

TEST(InstallFolder, FoldersAreTheSameNestedOrApart) {
    struct Case {
        const wchar_t* a;
        const wchar_t* b;
        FolderRelation relation;
    };
    for (const auto& c : {
             Case{L"C:\\Apps", L"c:\\APPS", FolderRelation::Same},
             Case{L"C:\\Apps", L"C:\\Apps\\Marlin", FolderRelation::Nested},
             Case{L"C:\\Apps\\Marlin", L"C:\\apps", FolderRelation::Nested},
             Case{L"C:\\", L"C:\\x", FolderRelation::Nested},
             Case{L"\\\\s\\sh", L"\\\\s\\sh\\x", FolderRelation::Nested},
             Case{L"C:\\App", L"C:\\Apps", FolderRelation::Apart},
             Case{L"C:\\Apps", L"D:\\Apps", FolderRelation::Apart},
         }) {
        EXPECT_EQ(RelateFolders(c.a, c.b), c.relation) << c.a << L" " << c.b;
    }
    EXPECT_TRUE(FoldersNest(L"c:/apps/", L"\\\\?\\C:\\Apps\\Marlin"));
    EXPECT_FALSE(FoldersNest(L"Apps", L"C:\\Apps\\Marlin")) << "not a folder at all";
    EXPECT_FALSE(FoldersNest(L"C:\\Apps", L"C:\\Apps\\"));
}

// The command line's folder wins; otherwise the installed product's, when it is usable; otherwise
// the product's own default, and the log says why.
TEST(InstallFolder, TheInstalledProductsFolderIsTheDefault) {
    const auto volumeExists = [](const std::wstring& root) {
        return root == L"C:\\" || root == L"\\\\srv\\share\\";
    };
    const std::wstring fallback = L"C:\\Program Files\\Default";
    struct Case {
        const wchar_t* given;
        std::optional<std::wstring> registered;
        std::wstring folder;
        const wchar_t* reason;
    };
    for (const auto& c : {
             Case{L"D:\\Given", L"C:\\Old", L"D:\\Given", L"given on the command line"},
             Case{L"", L"c:/Apps Two/Marlin/", L"C:\\Apps Two\\Marlin",
                  L"the installed product's folder"},
             Case{L"", L"\\\\srv\\share\\App", L"\\\\srv\\share\\App",
                  L"the installed product's folder"},
             Case{L"", std::nullopt, fallback, L"the default folder: the product has no "},
             Case{L"", L"\\\\other\\share\\App", fallback, L"the default folder: the drive or "},
         }) {
        const FolderChoice choice =
            ChooseInstallFolder(c.given, c.registered, fallback, volumeExists);
        EXPECT_EQ(choice.folder, c.folder) << c.registered.value_or(L"(none)");
        EXPECT_EQ(choice.reason.rfind(c.reason, 0), 0u) << choice.reason;
    }
}

// An update stages each file 24 characters deeper than its folder: the longest staged file may
// have 259 characters, the longest staged folder 247.
TEST(InstallFolder, StagedPathsStayWithinWhatWindowsProgramsOpen) {
    struct Case {
        std::wstring name;
        size_t longestFolder;  // of the install folder, for the name to be staged
        const wchar_t* what;
    };
    for (const auto& c : {
             Case{L"d\\" + std::wstring(40, L'f'), 192, L"a file of 260 characters"},
             Case{std::wstring(100, L'd') + L"\\f", 122, L"a folder of 248 characters"},
         }) {
        const auto folder = [](size_t length) { return L"C:\\" + std::wstring(length - 3, L'x'); };
        EXPECT_EQ(FindStagedPathProblem(folder(c.longestFolder), {L"top.txt", c.name}), L"");
        const std::wstring problem =
            FindStagedPathProblem(folder(c.longestFolder + 1), {L"top.txt", c.name});
        EXPECT_NE(problem.find(c.what), std::wstring::npos) << problem;
        EXPECT_NE(problem.find(c.name.substr(0, c.name.find(L'\\'))), std::wstring::npos)
            << problem;
    }
}

TEST(InstallFolder, PayloadNamesAreReadWithoutDecoding) {
    ArchiveBuilder archive;
    archive.Add(u"a.txt", "a").Add(u"sub\\b.txt", std::string(5000, 'b')).Add(u"empty", "");
    const Bytes bytes = archive.Build();
    EXPECT_EQ(ReadPayloadNames(bytes.data(), bytes.size()),
              (std::vector<std::wstring>{L"a.txt", L"sub\\b.txt", L"empty"}));
    EXPECT_FALSE(ReadPayloadNames(bytes.data(), bytes.size() - 1)) << "cut short";
    EXPECT_FALSE(ReadPayloadNames(nullptr, 0));
}

}  // namespace
