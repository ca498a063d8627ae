// The installer window in process: pages, frame, commands, DPI changes and worker reports.
#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <thread>

#include <oleacc.h>

#include "platform/com_ptr.h"
#include "res/dpi.h"
#include "res/strings.h"
#include "files/tree_removal.h"
#include "system/start_menu.h"
#include "system/uninstall_entry.h"
#include "tests/support/gdiplus_test.h"
#include "tests/support/message_pump.h"
#include "tests/support/pixel_canvas.h"
#include "tests/support/recording_delegate.h"
#include "tests/support/run_environment.h"
#include "ui/layout.h"
#include "ui/pages.h"
#include "ui/tab_order.h"

namespace {

using testing_support::ExpectedDpi;

class MainWindow : public testing_support::GdiplusTest {
protected:
    void SetUp() override {
        GdiplusTest::SetUp();
        m_window = std::make_unique<CMainWindow>(ReadProductIdentity());
        ASSERT_NE(m_window->CreateCentred(), nullptr);
        PumpMessages();
    }
    void TearDown() override {
        if (m_window && m_window->m_hWnd) m_window->DestroyWindow();
        PumpMessages();
        m_window.reset();
    }
    HWND Window() const { return m_window->m_hWnd; }
    HWND Control(ControlRole role) const { return m_window->ControlHandle(role); }
    template <class TControl>
    TControl& Control(ControlRole role) const {
        TControl* control = TControl::FromHandle(Control(role));
        EXPECT_NE(control, nullptr) << int(role);
        return *control;
    }
    HFONT FontOf(ControlRole role) const {
        return reinterpret_cast<HFONT>(::SendMessageW(Control(role), WM_GETFONT, 0, 0));
    }
    int Units(int units) const { return MulDiv(units, int(ExpectedDpi()), 96); }
    // A key as the message loop handles it: the window's keyboard handling first, then the
    // control with the focus. Shift is held for a backward Tab.
    void Press(WORD key, bool shift = false) {
        BYTE keys[256] = {};
        ::GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        ::SetKeyboardState(keys);
        for (UINT message : {WM_KEYDOWN, WM_KEYUP}) {
            MSG msg{::GetFocus(), message, key, 1, 0, {}};
            if (!m_window->PreTranslateMessage(msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        PumpMessages();
    }
    bool HasFocus(ControlRole role) const { return ::GetFocus() == Control(role); }
    RECT WindowRectNow() const {
        RECT r;
        ::GetWindowRect(Window(), &r);
        return r;
    }

    std::unique_ptr<CMainWindow> m_window;
};

// Which switched controls each page shows, as the page table of the design states it.
const std::map<int, std::vector<ControlRole>>& ShownControls() {
    using R = ControlRole;
    static const std::vector<R> installing = {R::Banner, R::StatusLabel, R::ProgressBar};
    static const std::map<int, std::vector<R>> shown = {
        {1,
         {R::Banner, R::InstallButton, R::AgreeCheck, R::LicenceLink, R::CustomToggle,
          R::LocationLabel, R::BrowseButton}},
        {2, installing},
        {3, installing},
        {4, installing},
        {5,
         {R::ResultImage, R::ResultTitle, R::ResultText, R::ShortcutCheck, R::LaunchCheck,
          R::FinishButton}},
        {6, {R::ResultImage, R::ResultTitle, R::ResultText, R::ContactButton}},
        {7, installing},
    };
    return shown;
}

TEST_F(MainWindow, OpensOnTheWelcomePageWithEveryControlMade) {
    EXPECT_EQ(m_window->Page(), PageWelcome);
    EXPECT_FALSE(m_window->IsInstalled());
    for (ControlRole role : kMemberOrder) EXPECT_TRUE(::IsWindow(Control(role))) << int(role);
    for (ControlRole box :
         {ControlRole::AgreeCheck, ControlRole::ShortcutCheck, ControlRole::LaunchCheck})
        EXPECT_TRUE(Control<CCheckBox>(box).IsChecked()) << int(box);
    EXPECT_EQ(CWindow(Control(ControlRole::PathEdit)).GetWindowText(),
              L"C:\\Program Files\\Marlin\\MarlinDataRecoveryiOS");
}

TEST_F(MainWindow, EveryPageShowsItsControlsAndBackgroundMode) {
    for (int page = 1; page <= 7; ++page) {
        // Result pages end the flow, so each page gets a window of its own.
        TearDown();
        SetUp();
        m_window->ShowPage(page);
        PumpMessages();
        ASSERT_EQ(m_window->Page(), page);
        const auto& shown = ShownControls().at(page);
        for (ControlRole role : kMemberOrder) {
            bool expected = std::find(shown.begin(), shown.end(), role) != shown.end();
            if (role == ControlRole::Title || role == ControlRole::CloseButton ||
                role == ControlRole::PathEdit)
                expected = true;  // never switched
            EXPECT_EQ(::IsWindowVisible(Control(role)) != FALSE, expected)
                << "page " << page << " control " << int(role);
        }
        // The focus is never left on a hidden control.
        const HWND first[] = {Control(ControlRole::InstallButton),
                              Window(),
                              Window(),
                              Window(),
                              Control(ControlRole::FinishButton),
                              Control(ControlRole::ContactButton),
                              Control(ControlRole::CloseButton)};
        EXPECT_EQ(::GetFocus(), first[page - 1]) << "page " << page;
        const int mode = (page == 5 || page == 6) ? OPAQUE : TRANSPARENT;
        EXPECT_EQ(Control<CLabel>(ControlRole::Title).BackgroundMode(), mode) << page;
        EXPECT_EQ(Control<CImageButton>(ControlRole::CloseButton).BackgroundMode(), mode) << page;
    }
}

TEST_F(MainWindow, RepeatedPageOnlyLaysOutAgain) {
    const RECT centred = WindowRectNow();
    ::SetWindowPos(Window(), nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_EQ(m_window->Page(), PageWelcome);
    m_window->ShowPage(PageWelcome);
    EXPECT_EQ(m_window->Page(), PageWelcome);
    const RECT after = WindowRectNow();
    EXPECT_EQ(after.left, centred.left);
    EXPECT_EQ(after.top, centred.top);
}

TEST_F(MainWindow, CustomToggleGrowsAndShrinksTheWindow) {
    const RECT before = WindowRectNow();
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_CUSTOM_INSTALL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Control(ControlRole::CustomToggle)));
    const RECT grown = WindowRectNow();
    EXPECT_EQ(grown.bottom - grown.top, before.bottom - before.top + Units(46));
    EXPECT_EQ(grown.top, before.top);
    EXPECT_TRUE(Control<CExpandButton>(ControlRole::CustomToggle).IsExpanded());
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(IDC_CUSTOM_INSTALL, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Control(ControlRole::CustomToggle)));
    const RECT shrunk = WindowRectNow();
    EXPECT_EQ(shrunk.bottom - shrunk.top, before.bottom - before.top);
    EXPECT_FALSE(Control<CExpandButton>(ControlRole::CustomToggle).IsExpanded());
}

TEST_F(MainWindow, DragBandIsRowsOneToNinetyNine) {
    POINT origin{0, 0};
    ::ClientToScreen(Window(), &origin);
    struct Case {
        int row;
        LRESULT code;
    };
    for (auto c :
         {Case{0, HTCLIENT}, Case{1, HTCAPTION}, Case{99, HTCAPTION}, Case{100, HTCLIENT}}) {
        const LPARAM point = MAKELPARAM(origin.x + 300, origin.y + c.row);
        EXPECT_EQ(::SendMessageW(Window(), WM_NCHITTEST, 0, point), c.code) << "row " << c.row;
    }
}

TEST_F(MainWindow, NonClientSizeKeepsAllButTheLastRow) {
    RECT rect{10, 20, 610, 384};
    EXPECT_EQ(::SendMessageW(Window(), WM_NCCALCSIZE, FALSE, reinterpret_cast<LPARAM>(&rect)), 0);
    EXPECT_EQ(rect.bottom, 384);
    EXPECT_EQ(rect.top, 20);
    NCCALCSIZE_PARAMS params{};
    params.rgrc[0] = RECT{10, 20, 610, 384};
    EXPECT_EQ(::SendMessageW(Window(), WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params)), 0);
    EXPECT_EQ(params.rgrc[0].bottom, 383);
    EXPECT_EQ(params.rgrc[0].left, 10);
}

// Records the reflected commands that reach a control, then passes everything on.
WNDPROC g_original = nullptr;
int g_reflectedCommands = 0;
LRESULT CALLBACK RecordingProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == OCM_COMMAND) ++g_reflectedCommands;
    return ::CallWindowProcW(g_original, hwnd, msg, wParam, lParam);
}

TEST_F(MainWindow, CommandsAreHandledNotReflectedWhileOtherNotificationsAre) {
    struct Case {
        ControlRole role;
        int reflected;
    };
    const Case cases[] = {
        {ControlRole::AgreeCheck, 0},
        {ControlRole::ContactButton, 0},
        {ControlRole::PathEdit, 1},
    };
    for (const auto& c : cases) {
        const HWND control = Control(c.role);
        const WORD id = WORD(ControlId(c.role));
        g_reflectedCommands = 0;
        g_original = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc)));
        ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                       reinterpret_cast<LPARAM>(control));
        ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_original));
        EXPECT_EQ(g_reflectedCommands, c.reflected) << id;
    }
    // The agreement command flipped the box once.
    EXPECT_FALSE(Control<CCheckBox>(ControlRole::AgreeCheck).IsChecked());
}

TEST_F(MainWindow, DpiChangeTakesTheSuggestedRectangleAndRemakesTheFonts) {
    const HFONT smallBefore = FontOf(ControlRole::Title);
    const HFONT largeBefore = FontOf(ControlRole::ResultTitle);
    RECT suggested{100, 50, 100 + 900, 50 + 546};
    EXPECT_EQ(::SendMessageW(Window(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                             reinterpret_cast<LPARAM>(&suggested)),
              0);
    const RECT now = WindowRectNow();
    EXPECT_EQ(now.left, 100);
    EXPECT_EQ(now.top, 50);
    EXPECT_EQ(now.right, 1000);
    EXPECT_EQ(now.bottom, 596);
    const HFONT smallAfter = FontOf(ControlRole::Title);
    const HFONT largeAfter = FontOf(ControlRole::ResultTitle);
    EXPECT_NE(smallAfter, smallBefore);
    EXPECT_NE(largeAfter, largeBefore);
    EXPECT_EQ(::GetObjectType(smallBefore), 0u) << "the old fonts are deleted";
    EXPECT_EQ(::GetObjectType(largeBefore), 0u);
    EXPECT_EQ(FontOf(ControlRole::AgreeCheck), smallAfter);
    EXPECT_EQ(FontOf(ControlRole::ResultText), smallAfter);
    LOGFONTW small{}, large{};
    ASSERT_TRUE(::GetObjectW(smallAfter, sizeof small, &small));
    ASSERT_TRUE(::GetObjectW(largeAfter, sizeof large, &large));
    EXPECT_LT(large.lfHeight, small.lfHeight) << "heights are negative: the large font is taller";
    // The close button keeps its distance from the new right edge.
    RECT close;
    ::GetWindowRect(Control(ControlRole::CloseButton), &close);
    EXPECT_EQ(now.right - close.right, Units(8));
}

TEST_F(MainWindow, FailureReportedWhilePageTwoIsShownStillEndsOnTheFailurePage) {
    // The test program carries no payload, so the worker fails at once, racing the Install
    // command's own switch to page 2.
    m_window->StartInstall(L"C:\\never-written", PageInstalling);
    for (int i = 0; i < 200 && m_window->Page() != PageFailed; ++i) {
        PumpMessages();
        ::Sleep(10);
    }
    EXPECT_EQ(m_window->Page(), PageFailed);
    EXPECT_FALSE(m_window->IsInstalled());
    EXPECT_TRUE(::IsWindowVisible(Control(ControlRole::ContactButton)));
    EXPECT_FALSE(::IsWindowVisible(Control(ControlRole::StatusLabel)));
}

// Counts messages reaching one window, then passes them on. Counters on the same window chain
// behind the first one's subclassing, so that none calls itself as the procedure it replaced.
class MessageCounter {
public:
    MessageCounter(HWND hwnd, UINT message)
        : m_hwnd(hwnd),
          m_message(message),
          m_previous(static_cast<MessageCounter*>(::GetPropW(hwnd, kProp))) {
        ::SetPropW(hwnd, kProp, this);
        if (!m_previous)
            m_original = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
    }
    ~MessageCounter() {
        if (m_previous) {
            ::SetPropW(m_hwnd, kProp, m_previous);
            return;
        }
        ::SetWindowLongPtrW(m_hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_original));
        ::RemovePropW(m_hwnd, kProp);
    }
    int Count() const { return m_count; }

private:
    static constexpr const wchar_t* kProp = L"MessageCounter";
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        WNDPROC original = nullptr;
        for (auto* counter = static_cast<MessageCounter*>(::GetPropW(hwnd, kProp)); counter;
             counter = counter->m_previous) {
            if (msg == counter->m_message) ++counter->m_count;
            original = counter->m_original;
        }
        return ::CallWindowProcW(original, hwnd, msg, wParam, lParam);
    }
    HWND m_hwnd;
    UINT m_message;
    MessageCounter* m_previous;
    WNDPROC m_original = nullptr;
    int m_count = 0;
};

class ProgressDisplay : public MainWindow {
protected:
    void SetUp() override {
        MainWindow::SetUp();
        m_window->ShowPage(PageUpdating);
        PumpMessages();
    }
    // Pumps until `done` holds, or two seconds have passed; true when it held.
    template <class Condition>
    bool PumpUntil(Condition done) {
        for (int i = 0; i < 200 && !done(); ++i) {
            PumpMessages();
            ::Sleep(10);
        }
        PumpMessages();
        return done();
    }
    std::wstring StatusText() const {
        return CWindow(Control(ControlRole::StatusLabel)).GetWindowText();
    }
    float BarValue() const { return Control<CProgressBar>(ControlRole::ProgressBar).Progress(); }
    CExtractor m_worker{L""};
};

TEST_F(ProgressDisplay, BeginResetsTheBarAndReportsShowTheNewestEntryAndFraction) {
    ASSERT_EQ(BarValue(), 0.5f);
    MessageCounter barPaints(Control(ControlRole::ProgressBar), WM_PAINT);
    std::thread([&] { m_window->OnExtractBegin(m_worker, 2, 100); }).join();
    EXPECT_TRUE(PumpUntil([&] { return BarValue() == 0.0f; }));
    std::thread([&] { m_window->OnExtractProgress(m_worker, L"dict\\a.txt", 0.25f); }).join();
    EXPECT_TRUE(PumpUntil([&] { return StatusText() == L"dict\\a.txt" && BarValue() == 0.25f; }));
    EXPECT_TRUE(PumpUntil([&] { return barPaints.Count() >= 2; })) << "the bar repaints";
}

TEST_F(ProgressDisplay, BurstOfReportsCostsABoundedNumberOfRepaints) {
    MessageCounter barPaints(Control(ControlRole::ProgressBar), WM_PAINT);
    // Every rendering of the status line asks the window for its colours first.
    MessageCounter labelPaints(Control(ControlRole::StatusLabel), OCM_CTLCOLORSTATIC);
    MessageCounter labelTexts(Control(ControlRole::StatusLabel), WM_SETTEXT);
    constexpr int kReports = 5000;
    const auto start = std::chrono::steady_clock::now();
    std::atomic<bool> sent{false};
    std::thread worker([&] {
        m_window->OnExtractBegin(m_worker, kReports, kReports);
        for (int i = 1; i <= kReports; ++i)
            m_window->OnExtractProgress(m_worker, L"file" + std::to_wstring(i),
                                        float(i) / kReports);
        sent = true;
    });
    EXPECT_TRUE(PumpUntil([&] { return sent && StatusText() == L"file5000"; }));
    worker.join();
    EXPECT_EQ(BarValue(), 1.0f);
    const double frames =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count() /
        ProgressMailbox::kRestMilliseconds;
    // At most one update a frame (the first comes at once), and one rendering per update.
    EXPECT_LE(labelTexts.Count(), frames + 2);
    EXPECT_LE(labelPaints.Count(), labelTexts.Count());
    EXPECT_LE(barPaints.Count(), frames + 2);
    EXPECT_GE(labelTexts.Count(), 1);
}

TEST_F(ProgressDisplay, LastReportIsShownBeforeTheResult) {
    std::thread worker([&] {
        m_window->OnExtractBegin(m_worker, 3, 3);
        for (int i = 1; i <= 3; ++i)
            m_window->OnExtractProgress(m_worker, L"last" + std::to_wstring(i), float(i) / 3);
        m_window->OnExtractFailed(m_worker);
    });
    // The failure report is sent and waits for the window's thread.
    EXPECT_TRUE(PumpUntil([&] { return m_window->Page() == PageFailed; }));
    worker.join();
    EXPECT_EQ(StatusText(), L"last3");
    EXPECT_EQ(BarValue(), 1.0f);
}

TEST_F(MainWindow, ReportAfterTheWindowIsGoneFailsAtOnce) {
    m_window->DestroyWindow();
    PumpMessages();
    CExtractor extractor(L"");
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        m_window->OnExtractBegin(extractor, 1, 1);
        m_window->OnExtractFailed(extractor);
    });
    worker.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(m_window->IsInstalled());
}

// Notes, as the worker's result reaches the window, whether the product's Uninstall entry names
// the folder then.
class RegisteredWhenShown {
public:
    RegisteredWhenShown(HWND window, std::wstring key, std::wstring folder)
        : m_window(window), m_key(std::move(key)), m_folder(std::move(folder)) {
        s_active = this;
        m_original = reinterpret_cast<WNDPROC>(
            ::SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc)));
    }
    ~RegisteredWhenShown() {
        ::SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_original));
        s_active = nullptr;
    }
    int results = 0;
    int registered = 0;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        RegisteredWhenShown& self = *s_active;
        if (msg == WM_APP_SHOW_RESULT) {
            ++self.results;
            const RegisteredInstallation entry = ReadRegisteredInstallation(self.m_key);
            if (entry.found && entry.installLocation == self.m_folder) ++self.registered;
        }
        return ::CallWindowProcW(self.m_original, hwnd, msg, wParam, lParam);
    }
    static inline RegisteredWhenShown* s_active = nullptr;
    HWND m_window;
    std::wstring m_key;
    std::wstring m_folder;
    WNDPROC m_original = nullptr;
};

class FinishAfterRegistration : public testing_support::GdiplusTest {};

TEST_F(FinishAfterRegistration, TheSuccessPageComesOnceTheUninstallEntryIsWritten) {
    ProductIdentity product = ReadProductIdentity();
    product.uninstallKey = L"MainWindowFinishTest";
    product.startMenuFolder = L"Main Window Finish Test";
    const std::wstring folder = testing_support::MakeSandboxFolder();
    {
        CMainWindow window(product);
        ASSERT_NE(window.CreateCentred(), nullptr);
        PumpMessages();
        window.ShowPage(PageUpdating);
        CExtractor worker(L"");
        worker.SetInstallFolder(folder);
        {
            RegisteredWhenShown probe(window.m_hWnd, product.uninstallKey, folder);
            std::thread registering([&] { window.OnExtractDone(worker); });
            for (int i = 0; i < 500 && window.Page() != PageSucceeded; ++i) {
                PumpMessages();
                ::Sleep(10);
            }
            registering.join();
            EXPECT_EQ(window.Page(), PageSucceeded);
            EXPECT_EQ(probe.results, 1);
            EXPECT_EQ(probe.registered, 1) << "Finish is shown before the product is registered";
        }
        EXPECT_TRUE(window.IsInstalled());
        // Neither the desktop shortcut nor the product's start as the window goes.
        for (ControlRole role : {ControlRole::ShortcutCheck, ControlRole::LaunchCheck}) {
            CCheckBox* box = CCheckBox::FromHandle(window.ControlHandle(role));
            ASSERT_NE(box, nullptr);
            if (box->IsChecked()) box->Toggle();
        }
        window.DestroyWindow();
        PumpMessages();
    }
    EXPECT_TRUE(DeleteUninstallEntry(product));
    RemoveTree(StartMenuFolderPath(product));
}

TEST_F(MainWindow, TabWalksThePageInReadingOrderAndShowsTheFocusCueOnlyAfterAKey) {
    const HWND install = Control(ControlRole::InstallButton);
    ASSERT_TRUE(HasFocus(ControlRole::InstallButton));
    // Until a key is pressed the focused button paints as it always has.
    RECT r;
    ::GetClientRect(install, &r);
    testing_support::CPixelCanvas before(r.right, r.bottom), after(r.right, r.bottom);
    testing_support::SendDrawItem(install, before.Dc(), ODS_FOCUS);
    constexpr COLORREF kCue = RGB(0x2B, 0x34, 0x40);  // the skin's dark text colour
    EXPECT_NE(before.At(0, r.bottom / 2), kCue);

    const std::vector<ControlRole> order = TabOrder(PageWelcome, false);
    for (size_t i = 1; i <= order.size(); ++i) {
        Press(VK_TAB);
        EXPECT_TRUE(HasFocus(order[i % order.size()])) << i;
    }
    Press(VK_TAB, true);
    EXPECT_TRUE(HasFocus(ControlRole::CloseButton)) << "Shift+Tab goes back round the end";
    testing_support::SendDrawItem(install, after.Dc(), ODS_FOCUS);
    EXPECT_EQ(after.At(0, r.bottom / 2), kCue);
}

TEST_F(MainWindow, EscapeDoesWhatTheCloseButtonDoes) {
    m_window->ShowPage(PageInstalling);
    Press(VK_ESCAPE);
    EXPECT_TRUE(::IsWindow(Window())) << "inert while installing";
    m_window->ShowPage(PageUpdating);
    Press(VK_ESCAPE);
    EXPECT_FALSE(::IsWindow(Window()));
}

struct BstrTraits : platform::NullIsInvalid<BSTR> {
    static void Close(BSTR text) { ::SysFreeString(text); }
};

// What Wine's own accessibility proxy shows, as a screen reader would ask it: the names, from
// the window texts, and the focus. (It takes every button for a client area and implements no
// annotation, so roles and on states cannot be seen here.)
TEST_F(MainWindow, ScreenReadersReadEachControlsNameAndFollowTheFocus) {
    const FARPROC proc =
        ::GetProcAddress(::LoadLibraryExW(L"oleacc.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32),
                         "AccessibleObjectFromWindow");
    const auto fromWindow =
        reinterpret_cast<decltype(&AccessibleObjectFromWindow)>(reinterpret_cast<void*>(proc));
    ASSERT_NE(fromWindow, nullptr);
    const std::pair<ControlRole, StringId> named[] = {
        {ControlRole::InstallButton, IDS_INSTALL},
        {ControlRole::AgreeCheck, IDS_AGREE},
        {ControlRole::LicenceLink, IDS_LICENCE},
        {ControlRole::CustomToggle, IDS_CUSTOM_INSTALL},
        {ControlRole::CloseButton, IDS_CLOSE_BUTTON_NAME}};
    Press(VK_TAB);
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    for (const auto& [role, name] : named) {
        ComPtr<IAccessible> object;
        ASSERT_EQ(fromWindow(Control(role), DWORD(OBJID_CLIENT), IID_IAccessible, object.PutVoid()),
                  S_OK);
        CUniqueHandle<BstrTraits> text;
        ASSERT_EQ(object->get_accName(self, text.Put()), S_OK);
        EXPECT_EQ(std::wstring(text ? text.Get() : L""), LoadLocalizedString(name));
        VARIANT state{};
        ASSERT_EQ(object->get_accState(self, &state), S_OK);
        EXPECT_EQ((state.lVal & STATE_SYSTEM_FOCUSED) != 0, role == ControlRole::AgreeCheck)
            << int(role);
    }
    EXPECT_FALSE(LoadLocalizedString(IDS_CLOSE_BUTTON_NAME).empty());
}

}  // namespace
