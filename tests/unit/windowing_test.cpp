#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// WS_OVERLAPPED alone is 0, which would pick the child style of the traits.
constexpr DWORD kTopLevelStyle = WS_OVERLAPPED | WS_CLIPCHILDREN;
constexpr UINT kAnswered = WM_APP + 1;
constexpr RECT kButtonRect{0, 0, 80, 24};

class CTopWindow : public CWindowImpl<CTopWindow, CWindow> {
public:
    int m_setTexts = 0;
    int m_finalMessages = 0;
    HWND m_finalHandle = nullptr;
    std::vector<std::pair<WPARAM, LPARAM>> m_commands;

    BEGIN_MSG_MAP(CTopWindow)
        MESSAGE_HANDLER(kAnswered, OnAnswered)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
        MESSAGE_HANDLER(WM_COMMAND, OnCommand)
    END_MSG_MAP()

    LRESULT OnAnswered(UINT, WPARAM wParam, LPARAM, BOOL&) { return 42 + wParam; }
    LRESULT OnSetText(UINT, WPARAM, LPARAM, BOOL& handled) {
        ++m_setTexts;
        handled = FALSE;
        return 0;
    }
    LRESULT OnCommand(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
        m_commands.emplace_back(wParam, lParam);
        return 0;
    }
    void OnFinalMessage(HWND hWnd) override {
        ++m_finalMessages;
        m_finalHandle = hWnd;
    }

    HWND CreateTopLevel() { return Create(nullptr, RECT{0, 0, 300, 200}, L"", kTopLevelStyle); }
};

class CProbeButton : public CWindowImpl<CProbeButton, CButtonT<CWindow>, CControlWinTraits> {
public:
    int m_buttonUps = 0;

    BEGIN_MSG_MAP(CProbeButton)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
    END_MSG_MAP()

    // Watches without consuming, so the standard button still completes its click.
    LRESULT OnLButtonUp(UINT, WPARAM, LPARAM, BOOL& handled) {
        ++m_buttonUps;
        handled = FALSE;
        return 0;
    }
};

class CProbeEdit : public CWindowImpl<CProbeEdit, CEditT<CWindow>, CControlWinTraits> {
public:
    BEGIN_MSG_MAP(CProbeEdit)
        MESSAGE_HANDLER(WM_CHAR, OnChar)
    END_MSG_MAP()

    // Swallows 'x' only; every other character reaches the standard edit.
    LRESULT OnChar(UINT, WPARAM wParam, LPARAM, BOOL& handled) {
        handled = wParam == L'x';
        return 0;
    }
};

class CProbeStatic : public CWindowImpl<CProbeStatic, CStaticT<CWindow>, CControlWinTraits> {
public:
    BEGIN_MSG_MAP(CProbeStatic)
    END_MSG_MAP()
};

int g_selfDeletedWindows = 0;

class CSelfDeletingWindow : public CWindowImpl<CSelfDeletingWindow, CWindow> {
public:
    BEGIN_MSG_MAP(CSelfDeletingWindow)
        MESSAGE_HANDLER(WM_CLOSE, OnClose)
    END_MSG_MAP()

    LRESULT OnClose(UINT, WPARAM, LPARAM, BOOL&) {
        DestroyWindow();
        return 0;
    }
    void OnFinalMessage(HWND) override {
        ++g_selfDeletedWindows;
        delete this;
    }
};

int g_messagesAfterDestruction = 0;

// Counts what reaches it after its own destructor has run.
class CWatchedWindow : public CWindowImpl<CWatchedWindow, CWindow> {
public:
    ~CWatchedWindow() override { m_destroyed = true; }

    BEGIN_MSG_MAP(CWatchedWindow)
        MESSAGE_HANDLER(WM_DESTROY, OnDestroy)
    END_MSG_MAP()

    LRESULT OnDestroy(UINT, WPARAM, LPARAM, BOOL& handled) {
        Witness();
        handled = FALSE;
        return 0;
    }
    void OnFinalMessage(HWND) override { Witness(); }

private:
    void Witness() {
        if (m_destroyed) ++g_messagesAfterDestruction;
    }
    bool m_destroyed = false;
};

TEST(WindowImpl, HandlersAnswerAndTheRestReachesTheStandardProcedure) {
    CTopWindow window;
    ASSERT_NE(window.CreateTopLevel(), nullptr);
    EXPECT_EQ(window.SendMessage(kAnswered, 1), 43);

    // The map sees WM_SETTEXT but declines it, and WM_GETTEXT is not in the map: the text
    // round-trips only if both reach DefWindowProcW.
    EXPECT_TRUE(window.SetWindowText(L"Marlin"));
    EXPECT_EQ(window.m_setTexts, 1);
    EXPECT_EQ(window.GetWindowText(), L"Marlin");
    window.DestroyWindow();
}

TEST(WindowImpl, ObjectIsReachableFromItsHandleUntilTheLastMessage) {
    CTopWindow window;
    const HWND hWnd = window.CreateTopLevel();
    ASSERT_NE(hWnd, nullptr);
    EXPECT_EQ(window.m_hWnd, hWnd);
    EXPECT_EQ(CTopWindow::FromHandle(hWnd), &window);
    EXPECT_EQ(CTopWindow::FromHandle(nullptr), nullptr);
    EXPECT_EQ(CTopWindow::FromHandle(::GetDesktopWindow()), nullptr);
    EXPECT_EQ(window.Create(nullptr), nullptr) << "an object has one window at a time";

    EXPECT_TRUE(window.DestroyWindow());
    EXPECT_EQ(window.m_hWnd, nullptr);
    EXPECT_EQ(window.m_finalMessages, 1);
    EXPECT_EQ(window.m_finalHandle, hWnd);
    EXPECT_EQ(CTopWindow::FromHandle(hWnd), nullptr);

    // The object can have a new window afterwards.
    const HWND second = window.CreateTopLevel();
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(CTopWindow::FromHandle(second), &window);
    window.DestroyWindow();
    EXPECT_EQ(window.m_finalMessages, 2);
}

TEST(WindowImpl, FinalMessageMayDeleteTheObject) {
    g_selfDeletedWindows = 0;
    auto* window = new CSelfDeletingWindow;
    const HWND hWnd = window->Create(nullptr, RECT{0, 0, 100, 100}, L"", kTopLevelStyle);
    ASSERT_NE(hWnd, nullptr);
    ::SendMessageW(hWnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_EQ(g_selfDeletedWindows, 1);
}

TEST(WindowImpl, ObjectDestroyedBeforeItsWindowTakesTheWindowAlong) {
    g_messagesAfterDestruction = 0;
    HWND hWnd = nullptr;
    {
        CWatchedWindow window;
        hWnd = window.Create(nullptr, RECT{0, 0, 100, 100}, L"", kTopLevelStyle);
        ASSERT_NE(hWnd, nullptr);
    }
    EXPECT_FALSE(::IsWindow(hWnd));
    EXPECT_EQ(g_messagesAfterDestruction, 0);
}

TEST(WindowImpl, TraitsStyleAppliesOnlyWhenTheCreatorPassesNone) {
    CTopWindow parent;
    ASSERT_NE(parent.CreateTopLevel(), nullptr);
    CProbeButton byTraits, explicitStyle;
    ASSERT_NE(byTraits.Create(parent, kButtonRect), nullptr);
    ASSERT_NE(explicitStyle.Create(parent, kButtonRect, L"", 0x4000000B, 0, 1005), nullptr);
    EXPECT_EQ(byTraits.GetStyle(), 0x56000000u);
    EXPECT_EQ(explicitStyle.GetStyle(), 0x4000000Bu);
    EXPECT_EQ(explicitStyle.GetDlgCtrlID(), 1005);
    parent.DestroyWindow();
}

TEST(WindowImpl, RepaintingAnObjectWithoutAWindowTouchesNoOtherWindow) {
    CTopWindow other;
    ASSERT_NE(other.CreateTopLevel(), nullptr);
    other.ShowWindow(SW_SHOWNA);
    other.UpdateWindow();
    ASSERT_FALSE(::GetUpdateRect(other, nullptr, FALSE));
    CProbeButton notCreated;
    EXPECT_FALSE(notCreated.Invalidate());
    EXPECT_FALSE(::GetUpdateRect(other, nullptr, FALSE)) << "a null handle means every window";
    other.DestroyWindow();
}

TEST(WindowClassRegistration, OneRegistrationPerClassSharedByItsInstances) {
    CTopWindow parent;
    ASSERT_NE(parent.CreateTopLevel(), nullptr);
    CProbeButton first, second;
    CProbeStatic label;
    ASSERT_NE(first.Create(parent, kButtonRect), nullptr);
    ASSERT_NE(second.Create(parent, kButtonRect), nullptr);
    ASSERT_NE(label.Create(parent, kButtonRect), nullptr);

    const ATOM buttonClass = ::GetClassWord(first, GCW_ATOM);
    EXPECT_NE(buttonClass, 0);
    EXPECT_EQ(::GetClassWord(second, GCW_ATOM), buttonClass);
    EXPECT_EQ(CProbeButton::Class().atom, buttonClass);
    EXPECT_NE(::GetClassWord(label, GCW_ATOM), buttonClass);
    EXPECT_NE(::GetClassWord(first, GCW_ATOM), ::GetClassWord(parent, GCW_ATOM));
    parent.DestroyWindow();
}

TEST(WindowClassRegistration, TopLevelClassHasTheMainWindowLook) {
    CTopWindow window;
    ASSERT_NE(window.CreateTopLevel(), nullptr);
    EXPECT_EQ(::GetClassLongPtrW(window, GCL_STYLE),
              static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS));
    EXPECT_EQ(::GetClassLongPtrW(window, GCLP_HBRBACKGROUND),
              static_cast<ULONG_PTR>(COLOR_WINDOW + 1));
    EXPECT_EQ(::GetClassLongPtrW(window, GCLP_HCURSOR),
              reinterpret_cast<ULONG_PTR>(::LoadCursorW(nullptr, IDC_ARROW)));
    EXPECT_EQ(::GetClassLongPtrW(window, GCLP_HICON), 0u);
    EXPECT_EQ(::GetClassLongPtrW(window, GCLP_HICONSM), 0u);
    window.DestroyWindow();
}

TEST(WindowClassRegistration, ForeignCreationParameterIsNeverTakenForAnObject) {
    CTopWindow parent;
    ASSERT_NE(parent.CreateTopLevel(), nullptr);
    CProbeButton unattached;
    const ATOM atom = CProbeButton::Class().atom;
    ASSERT_NE(atom, 0);
    for (void* param : {reinterpret_cast<void*>(0x1234), static_cast<void*>(&unattached)}) {
        const HWND hWnd = ::CreateWindowExW(
            0, MAKEINTATOM(atom), L"plain", WS_CHILD | BS_PUSHBUTTON, 0, 0, 80, 24, parent,
            reinterpret_cast<HMENU>(7), windowing::ModuleInstance(), param);
        ASSERT_NE(hWnd, nullptr);
        EXPECT_EQ(CProbeButton::FromHandle(hWnd), nullptr);
        EXPECT_EQ(unattached.m_hWnd, nullptr);
        // Still a working standard button.
        parent.m_commands.clear();
        ::SendMessageW(hWnd, BM_CLICK, 0, 0);
        ASSERT_EQ(parent.m_commands.size(), 1u);
        EXPECT_EQ(parent.m_commands[0].first, MAKEWPARAM(7, BN_CLICKED));
        ::DestroyWindow(hWnd);
    }
    parent.DestroyWindow();
}

TEST(Superclass, ButtonStillSendsItsClickToTheParent) {
    CTopWindow parent;
    ASSERT_NE(parent.CreateTopLevel(), nullptr);
    CProbeButton button;
    ASSERT_NE(button.Create(parent, kButtonRect, L"Go", WS_CHILD | BS_PUSHBUTTON, 0, 1002),
              nullptr);
    button.SendMessage(BM_CLICK);
    EXPECT_EQ(button.m_buttonUps, 1);
    ASSERT_EQ(parent.m_commands.size(), 1u);
    EXPECT_EQ(parent.m_commands[0].first, MAKEWPARAM(1002, BN_CLICKED));
    EXPECT_EQ(parent.m_commands[0].second, reinterpret_cast<LPARAM>(button.m_hWnd));
    EXPECT_EQ(button.GetWindowText(), L"Go");
    parent.DestroyWindow();
}

TEST(Superclass, EditKeepsItsTextAndTheMapDecidesWhatItSees) {
    CTopWindow parent;
    ASSERT_NE(parent.CreateTopLevel(), nullptr);
    CProbeEdit edit;
    ASSERT_NE(edit.Create(parent, RECT{0, 0, 200, 24}, L"C:\\Program Files\\Marlin", 0x50001084),
              nullptr);
    EXPECT_EQ(edit.GetWindowText(), L"C:\\Program Files\\Marlin");

    edit.SendMessage(EM_SETSEL, 3, 7);
    DWORD start = 0, end = 0;
    edit.SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 3u);
    EXPECT_EQ(end, 7u);

    edit.SetWindowText(L"");
    for (wchar_t c : std::wstring(L"axb")) edit.SendMessage(WM_CHAR, c, 1);
    EXPECT_EQ(edit.GetWindowText(), L"ab") << "the consumed 'x' never reached the edit";
    parent.DestroyWindow();
}

TEST(Superclass, StaticLetsHitTestsThroughToItsParent) {
    CTopWindow parent;
    ASSERT_NE(parent.CreateTopLevel(), nullptr);
    CProbeStatic label;
    ASSERT_NE(label.Create(parent, RECT{0, 0, 100, 20}, L"Title", 0x5000000D), nullptr);
    POINT inside{5, 5};
    ::ClientToScreen(label, &inside);
    EXPECT_EQ(label.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(inside.x, inside.y)), HTTRANSPARENT);
    parent.DestroyWindow();
}

}  // namespace
