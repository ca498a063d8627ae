#include "system/finish.h"

#include <gtest/gtest.h>

#include "platform/com_init.h"
#include "system/shell_folders.h"
#include "tests/support/run_environment.h"
#include "tests/support/shell_sandbox.h"

namespace {

using namespace testing_support;

// An identity of the test's own, so nothing depends on the string table or the UI language.
ProductIdentity TestProduct() {
    ProductIdentity product;
    product.shortcutName = L"Finish Test \u4E2D Product";
    product.exeName = L"finished.exe";
    return product;
}

// The window's UI thread has COM from the entry point; this stands in for it.
class FinishStep : public ::testing::Test {
protected:
    void SetUp() override { DrainQuit(); }

    // An install folder whose product is the launch recorder under the product's name.
    static std::wstring InstallFolder(const wchar_t* name) {
        const std::wstring folder = MakeSandboxFolder(name);
        const std::wstring recorder = JoinPath(ProgramFolder(), L"launch_recorder.exe");
        EXPECT_TRUE(CopyFileW(recorder.c_str(), JoinPath(folder, L"finished.exe").c_str(), FALSE))
            << "launch_recorder.exe must sit beside the test program";
        return folder;
    }

    static std::wstring DesktopShortcut() {
        std::wstring desktop;
        EXPECT_TRUE(GetShellFolder(CSIDL_DESKTOP, desktop));
        return JoinPath(desktop, L"Finish Test \u4E2D Product.lnk");
    }

    // The exit code of a WM_QUIT waiting in this thread's queue, or -1 if there is none.
    static int TakeQuit() {
        MSG msg;
        if (!PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) return -1;
        return int(msg.wParam);
    }
    static void DrainQuit() {
        while (TakeQuit() != -1) {
        }
    }

    static bool WaitForFile(const std::wstring& path, DWORD milliseconds) {
        const ULONGLONG end = GetTickCount64() + milliseconds;
        while (!FileExists(path)) {
            if (GetTickCount64() > end) return false;
            Sleep(50);
        }
        return true;
    }

    const CComInit m_com;
};

TEST_F(FinishStep, ActsOnlyAfterInstallingAndAsChosenThenQuits) {
    struct Case {
        const wchar_t* folder;
        bool installed, shortcut, launch;
    };
    for (auto c :
         {Case{L"finish-both", true, true, true}, Case{L"finish-shortcut-only", true, true, false},
          Case{L"finish-launch-only", true, false, true},
          Case{L"finish-neither", true, false, false},
          Case{L"finish-not-installed", false, true, true}}) {
        SCOPED_TRACE(c.folder);
        const std::wstring folder = InstallFolder(c.folder);
        const std::wstring marker = JoinPath(folder, L"launched.txt");
        const std::wstring shortcut = DesktopShortcut();
        DeleteFileW(shortcut.c_str());

        RunFinishStep(TestProduct(), {c.installed, c.shortcut, c.launch, folder});
        EXPECT_EQ(TakeQuit(), 0) << "the quit message must be posted with exit code 0";

        const bool wantShortcut = c.installed && c.shortcut;
        ASSERT_EQ(FileExists(shortcut), wantShortcut);
        if (wantShortcut) {
            const ShortcutFields read = ReadShortcut(shortcut);
            ASSERT_EQ(read.loaded, S_OK);
            EXPECT_EQ(read.target, JoinPath(folder, L"finished.exe"));
            EXPECT_EQ(read.description, L"Finish Test \u4E2D Product");
            EXPECT_EQ(read.iconPath, read.target);
            EXPECT_EQ(read.iconIndex, 0);
        }

        // A start that should not happen is given as long as a real one would need.
        const bool wantLaunch = c.installed && c.launch;
        EXPECT_EQ(WaitForFile(marker, wantLaunch ? 20000 : 2000), wantLaunch);
        if (wantLaunch) {
            EXPECT_EQ(ReadBytes(marker), "") << "started with arguments";
        }
    }
}

TEST_F(FinishStep, OverwritesAnEarlierDesktopShortcut) {
    const std::wstring folder = InstallFolder(L"finish-overwrite");
    const std::wstring shortcut = DesktopShortcut();
    WriteBytes(shortcut, "stale");

    RunFinishStep(TestProduct(), {true, true, false, folder});
    EXPECT_EQ(TakeQuit(), 0);
    EXPECT_EQ(ReadShortcut(shortcut).target, JoinPath(folder, L"finished.exe"));
}

TEST_F(FinishStep, AMissingProductStillQuits) {
    const std::wstring folder = MakeSandboxFolder(L"finish-missing-product");
    RunFinishStep(TestProduct(), {true, false, true, folder});
    EXPECT_EQ(TakeQuit(), 0);
}

}  // namespace
