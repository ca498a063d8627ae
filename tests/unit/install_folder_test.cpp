#include "files/install_folder.h"

#include <windows.h>

#include <sddl.h>
#include <gtest/gtest.h>

#include <set>

#include "files/folder_trust.h"
#include "platform/unique_handle.h"
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

// A fresh installation makes every level below the root that is missing, and never the root: on a
// share that means nothing above the share's own folders.
TEST(InstallFolder, HighestMissingFolderStopsAtTheDriveOrShareRoot) {
    struct Case {
        const wchar_t* folder;
        std::set<std::wstring> there;
        const wchar_t* missing;
    };
    for (const auto& c : {
             Case{L"C:\\Tools\\Marlin\\App", {L"C:\\Tools"}, L"C:\\Tools\\Marlin"},
             Case{L"C:\\Tools\\Marlin\\App", {}, L"C:\\Tools"},
             Case{L"C:\\Tools", {L"C:\\Tools"}, L""},
             Case{L"C:\\", {}, L""},
             Case{L"\\\\nosuchserver\\share\\App", {}, L"\\\\nosuchserver\\share\\App"},
             Case{L"\\\\srv\\share\\A\\B", {L"\\\\srv\\share\\A"}, L"\\\\srv\\share\\A\\B"},
             Case{L"\\\\srv\\share", {}, L""},
         }) {
        std::vector<std::wstring> asked;
        const auto exists = [&](const std::wstring& level) {
            asked.push_back(level);
            return c.there.count(level) != 0;
        };
        EXPECT_EQ(HighestMissingFolder(c.folder, exists), c.missing) << c.folder;
        for (const std::wstring& level : asked)
            EXPECT_GT(level.size(), VolumeRoot(c.folder).size()) << "the root is never asked";
    }
}

// SYSTEM, the administrators, TrustedInstaller, and the user the rule is told to trust.
constexpr wchar_t kTrustedInstaller[] =
    L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";
constexpr wchar_t kAdminsOnly[] = L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";
// A drive's root: users add folders and own what they add; everyone else reads.
constexpr wchar_t kDriveRoot[] =
    L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
    L"D:(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICIIO;GA;;;CO)(A;OICI;0x1200a9;;;BU)(A;CI;LC;;;AU)"
    L"(A;OICIIO;SDGXGWGR;;;AU)";

CLocalMemory<PSECURITY_DESCRIPTOR> Descriptor(const std::wstring& sddl) {
    CLocalMemory<PSECURITY_DESCRIPTOR> descriptor;
    EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                     descriptor.Put(), nullptr))
        << std::string(sddl.begin(), sddl.end());
    return descriptor;
}

// Whether a standard user may change what a folder leads to, decided on its owner and access list
// and its parent's; `changeable` is what the reason must say, or empty when it is not.
TEST(FolderTrust, DecidesOnOwnerAndAccessListsAlone) {
    const std::wstring user = L"S-1-5-21-1-2-3-1001";
    struct Case {
        const wchar_t* what;
        std::wstring folder;
        std::wstring parent;
        bool trustUser;
        std::wstring changeable;
    };
    for (const auto& c : {
             Case{L"administrators only", kAdminsOnly, kAdminsOnly, false, L""},
             Case{L"administrators only, below a drive's root", kAdminsOnly, kDriveRoot, false,
                  L""},
             Case{L"owned by TrustedInstaller",
                  std::wstring(L"O:") + kTrustedInstaller + L"D:P(A;;FA;;;SY)(A;;0x1200a9;;;BU)",
                  kDriveRoot, false, L""},
             Case{L"users may modify", L"O:BAD:(A;OICI;FA;;;BA)(A;OICI;0x1301bf;;;BU)", kDriveRoot,
                  false, L"S-1-5-32-545 may delete it"},
             Case{L"made at a drive's root, inheriting",
                  L"O:BAD:(A;OICIID;FA;;;BA)"
                  L"(A;OICIID;SDGXGWGR;;;AU)",
                  kDriveRoot, false, L"S-1-5-11 may delete it"},
             Case{L"owned by a user", L"O:" + user + L"D:P(A;OICI;FA;;;BA)", kDriveRoot, false,
                  L"owned by " + user},
             Case{L"owned by the user the run trusts",
                  L"O:" + user + L"D:P(A;OICI;FA;;;BA)(A;;FA;;;" + user + L")", kDriveRoot, true,
                  L""},
             Case{L"the same, untrusted", L"O:BAD:P(A;;FA;;;" + user + L")", kAdminsOnly, false,
                  user + L" may delete, change the access list of, take the ownership of"},
             Case{L"users may add folders only (a drive's root itself)", kDriveRoot, kAdminsOnly,
                  false, L""},
             Case{L"users may change its access list", L"O:BAD:(A;;FA;;;BA)(A;;WD;;;BU)",
                  kAdminsOnly, false, L"S-1-5-32-545 may change the access list of it"},
             Case{L"users may take it over", L"O:BAD:(A;;FA;;;BA)(A;;WO;;;BU)", kAdminsOnly, false,
                  L"S-1-5-32-545 may take the ownership of it"},
             Case{L"generic all", L"O:BAD:(A;;GA;;;WD)", kAdminsOnly, false, L"S-1-1-0 may delete"},
             Case{L"generic write alone renames nothing", L"O:BAD:(A;;GW;;;WD)", kAdminsOnly, false,
                  L""},
             Case{L"full control for users, inherited only", L"O:BAD:(A;OICIIO;FA;;;BU)",
                  kAdminsOnly, false, L""},
             Case{L"full control for the creator, as given", L"O:BAD:(A;;FA;;;CO)", kAdminsOnly,
                  false, L""},
             Case{L"a parent that lets users delete what it holds", kAdminsOnly,
                  L"O:BAD:(A;;FA;;;BA)(A;;0x1200e9;;;BU)", false,
                  L"in the folder above, S-1-5-32-545 may delete what is in it"},
             Case{L"no access list", L"O:BA", kAdminsOnly, false, L"no access list"},
             Case{L"no access list on the parent", kAdminsOnly, L"O:BA", false,
                  L"in the folder above, it has no access list"},
             Case{L"Wine's view of a 0777 folder",
                  L"O:" + user + L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + user +
                      L")(A;OICI;0x1301ff;;;WD)",
                  kAdminsOnly, true, L"S-1-1-0 may delete"},
             Case{L"Wine's view of a 0755 folder",
                  L"O:" + user + L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + user +
                      L")(A;OICI;0x1200a9;;;WD)",
                  L"O:" + user + L"D:(A;OICI;FA;;;SY)(A;OICI;FA;;;" + user +
                      L")(A;OICI;0x1200a9;;;WD)",
                  true, L""},
         }) {
        const auto folder = Descriptor(c.folder), parent = Descriptor(c.parent);
        CLocalMemory<PSID> trusted;
        if (c.trustUser) {
            ASSERT_TRUE(ConvertStringSidToSidW(user.c_str(), trusted.Put()));
        }
        const std::wstring reason = FindChangeableReason(folder.Get(), parent.Get(), trusted.Get());
        if (c.changeable.empty())
            EXPECT_EQ(reason, L"") << c.what;
        else
            EXPECT_NE(reason.find(c.changeable), std::wstring::npos)
                << std::string(c.what, c.what + wcslen(c.what)) << ": "
                << std::string(reason.begin(), reason.end());
    }
}

// The run's own user is a standard user's when a process of it may run without administrator
// rights: a split token whose limited half does not hold the Administrators group (Wine's does).
TEST(FolderTrust, OwnUserCountsAsStandardOnlyWithAWeakerSide) {
    EXPECT_FALSE(OwnUserHasStandardSide(TokenElevationTypeDefault, false));
    EXPECT_TRUE(OwnUserHasStandardSide(TokenElevationTypeFull, false));
    EXPECT_TRUE(OwnUserHasStandardSide(TokenElevationTypeLimited, false));
    EXPECT_FALSE(OwnUserHasStandardSide(TokenElevationTypeFull, true));
}

}  // namespace
