#include "windowing/owner_draw.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// WS_OVERLAPPED alone is 0, which would pick the child style of the traits.
constexpr DWORD kTopLevelStyle = WS_OVERLAPPED | WS_CLIPCHILDREN;
constexpr int kChildId = 1002;
constexpr UINT kClickCode = static_cast<UINT>(-2);  // NM_CLICK
constexpr RECT kChildRect{10, 10, 110, 40};

class CReflectingParent : public CWindowImpl<CReflectingParent, CWindow> {
public:
    BEGIN_MSG_MAP(CReflectingParent)
        REFLECT_NOTIFICATIONS()
    END_MSG_MAP()
};

struct Received {
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
};

class CReflectTarget : public CWindowImpl<CReflectTarget, CButtonT<CWindow>, CControlWinTraits>,
                       public COwnerDraw<CReflectTarget> {
public:
    std::vector<Received> m_received;
    std::vector<DRAWITEMSTRUCT> m_draws;

    BEGIN_MSG_MAP(CReflectTarget)
        MESSAGE_HANDLER(OCM_COMMAND, OnReflected)
        MESSAGE_HANDLER(OCM_NOTIFY, OnReflected)
        MESSAGE_HANDLER(OCM_CTLCOLORBTN, OnReflected)
        MESSAGE_HANDLER(OCM_CTLCOLOREDIT, OnReflected)
        MESSAGE_HANDLER(OCM_CTLCOLORSTATIC, OnReflected)
        CHAIN_MSG_MAP(COwnerDraw<CReflectTarget>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    static LRESULT AnswerTo(UINT msg) { return 0x5A000 + msg; }

    LRESULT OnReflected(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
        m_received.push_back({msg, wParam, lParam});
        return AnswerTo(msg);
    }
    void DrawItem(DRAWITEMSTRUCT* item) { m_draws.push_back(*item); }
    void MeasureItem(MEASUREITEMSTRUCT* item) {
        m_received.push_back({OCM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(item)});
        item->itemHeight = 33;
    }
};

// Leaves every reflected message to the default handling.
class CPlainStatic : public CWindowImpl<CPlainStatic, CStaticT<CWindow>, CControlWinTraits>,
                     public COwnerDraw<CPlainStatic> {
public:
    BEGIN_MSG_MAP(CPlainStatic)
        CHAIN_MSG_MAP(COwnerDraw<CPlainStatic>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()
};

class ReflectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(m_parent.Create(nullptr, RECT{0, 0, 300, 200}, L"", kTopLevelStyle), nullptr);
        ASSERT_NE(m_child.Create(m_parent, kChildRect, L"child", 0x5000000B, 0, kChildId), nullptr);
        m_dc = ::GetDC(m_child);
    }
    void TearDown() override {
        ::ReleaseDC(m_child, m_dc);
        m_parent.DestroyWindow();
    }
    LRESULT SendToParent(UINT msg, WPARAM wParam, LPARAM lParam) {
        return m_parent.SendMessage(msg, wParam, lParam);
    }
    LPARAM Child() const { return reinterpret_cast<LPARAM>(m_child.m_hWnd); }

    CReflectingParent m_parent;
    CReflectTarget m_child;
    HDC m_dc = nullptr;
};

TEST_F(ReflectionTest, NotificationsArriveAtTheSenderAsMessagePlus0x2000) {
    NMHDR header{m_child, kChildId, kClickCode};
    const WPARAM hdc = reinterpret_cast<WPARAM>(m_dc);
    struct Case {
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    for (const Case& c : {Case{WM_COMMAND, MAKEWPARAM(kChildId, BN_CLICKED), Child()},
                          Case{WM_NOTIFY, kChildId, reinterpret_cast<LPARAM>(&header)},
                          Case{WM_CTLCOLORBTN, hdc, Child()}, Case{WM_CTLCOLOREDIT, hdc, Child()},
                          Case{WM_CTLCOLORSTATIC, hdc, Child()}}) {
        m_child.m_received.clear();
        EXPECT_EQ(SendToParent(c.msg, c.wParam, c.lParam), CReflectTarget::AnswerTo(c.msg + 0x2000))
            << std::hex << c.msg;
        ASSERT_EQ(m_child.m_received.size(), 1u) << std::hex << c.msg;
        EXPECT_EQ(m_child.m_received[0].msg, c.msg + 0x2000);
        EXPECT_EQ(m_child.m_received[0].wParam, c.wParam);
        EXPECT_EQ(m_child.m_received[0].lParam, c.lParam);
    }
}

TEST_F(ReflectionTest, OwnerDrawItemsFindTheirControlByHandleOrId) {
    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_BUTTON;
    draw.CtlID = kChildId;
    draw.hwndItem = m_child;
    draw.hDC = m_dc;
    EXPECT_EQ(SendToParent(WM_DRAWITEM, kChildId, reinterpret_cast<LPARAM>(&draw)), TRUE);
    ASSERT_EQ(m_child.m_draws.size(), 1u);
    EXPECT_EQ(m_child.m_draws[0].hDC, m_dc);

    MEASUREITEMSTRUCT measure{};
    measure.CtlType = ODT_BUTTON;
    measure.CtlID = kChildId;
    EXPECT_EQ(SendToParent(WM_MEASUREITEM, kChildId, reinterpret_cast<LPARAM>(&measure)), TRUE);
    EXPECT_EQ(measure.itemHeight, 33u);
}

TEST_F(ReflectionTest, PaintingAnOwnerDrawnButtonReachesItsDrawItem) {
    // The standard button paints into a given DC on WM_PRINTCLIENT exactly as on WM_PAINT,
    // without showing a window (showing one waits for the X server).
    m_child.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(m_dc), PRF_CLIENT);
    ASSERT_FALSE(m_child.m_draws.empty());
    EXPECT_EQ(m_child.m_draws.back().hwndItem, m_child.m_hWnd);
    EXPECT_EQ(m_child.m_draws.back().CtlType, static_cast<UINT>(ODT_BUTTON));
    EXPECT_EQ(m_child.m_draws.back().hDC, m_dc);
}

TEST_F(ReflectionTest, NotificationsWithoutASenderAmongTheChildrenAreNotReflected) {
    CReflectTarget stranger;
    ASSERT_NE(stranger.Create(nullptr, kChildRect, L"", WS_POPUP | BS_OWNERDRAW), nullptr);
    NMHDR foreign{stranger, kChildId, kClickCode};
    DRAWITEMSTRUCT menuItem{};
    menuItem.CtlType = ODT_MENU;
    menuItem.hwndItem = m_child;
    MEASUREITEMSTRUCT unknownId{};
    unknownId.CtlType = ODT_BUTTON;
    unknownId.CtlID = 999;
    const WPARAM hdc = reinterpret_cast<WPARAM>(m_dc);
    struct Case {
        const char* what;
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    for (const Case& c : {
             Case{"command posted with lParam 0", WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0},
             Case{"notify without header", WM_NOTIFY, kChildId, 0},
             Case{"notify from a window that is no child", WM_NOTIFY, kChildId,
                  reinterpret_cast<LPARAM>(&foreign)},
             Case{"menu item drawing", WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&menuItem)},
             Case{"draw item without structure", WM_DRAWITEM, kChildId, 0},
             Case{"measure item of no child", WM_MEASUREITEM, 999,
                  reinterpret_cast<LPARAM>(&unknownId)},
             Case{"colour without control", WM_CTLCOLORBTN, hdc, 0},
             Case{"colour of a window that is no child", WM_CTLCOLORSTATIC, hdc,
                  reinterpret_cast<LPARAM>(stranger.m_hWnd)},
         }) {
        m_child.m_received.clear();
        stranger.m_received.clear();
        const LRESULT expected = ::DefWindowProcW(m_parent, c.msg, c.wParam, c.lParam);
        EXPECT_EQ(SendToParent(c.msg, c.wParam, c.lParam), expected) << c.what;
        EXPECT_TRUE(m_child.m_received.empty()) << c.what;
        EXPECT_TRUE(m_child.m_draws.empty()) << c.what;
        EXPECT_TRUE(stranger.m_received.empty()) << c.what;
    }
    EXPECT_EQ(unknownId.itemHeight, 0u);
    stranger.DestroyWindow();
}

TEST_F(ReflectionTest, UnhandledReflectedMessageGetsTheDefaultAnswerToTheOriginal) {
    CPlainStatic label;
    ASSERT_NE(label.Create(m_parent, kChildRect, L"", 0x5000000D), nullptr);
    const WPARAM hdc = reinterpret_cast<WPARAM>(m_dc);
    const LPARAM labelHandle = reinterpret_cast<LPARAM>(label.m_hWnd);
    for (UINT msg : {WM_CTLCOLORSTATIC, WM_CTLCOLORBTN}) {
        const LRESULT standard = ::DefWindowProcW(label, msg, hdc, labelHandle);
        ASSERT_NE(standard, 0) << "DefWindowProcW answers colour messages with a brush";
        EXPECT_EQ(SendToParent(msg, hdc, labelHandle), standard) << std::hex << msg;
    }
}

TEST(ReflectedMessages, AreTheNotificationsPlus0x2000) {
    struct Case {
        UINT msg;
        bool reflected;
    };
    for (auto c :
         {Case{OCM_COMMAND, true}, Case{OCM_NOTIFY, true}, Case{OCM_DRAWITEM, true},
          Case{OCM_MEASUREITEM, true}, Case{OCM_CTLCOLORMSGBOX, true},
          Case{OCM_CTLCOLORSTATIC, true}, Case{OCM_PARENTNOTIFY, true}, Case{WM_DRAWITEM, false},
          Case{OCM__BASE + WM_PAINT, false}, Case{OCM__BASE, false}, Case{WM_USER, false}}) {
        EXPECT_EQ(IsReflectedMessage(c.msg), c.reflected) << std::hex << c.msg;
    }
    EXPECT_EQ(OCM_DRAWITEM, 0x202B);
    EXPECT_EQ(OCM_CTLCOLORBTN, 0x2135);
    EXPECT_EQ(OCM_CTLCOLOREDIT, 0x2133);
    EXPECT_EQ(OCM_CTLCOLORSTATIC, 0x2138);
}

TEST_F(ReflectionTest, OwnerDrawMixInAnswersWithoutTrustingLParam) {
    for (UINT msg : {OCM_DRAWITEM, OCM_MEASUREITEM, OCM_COMPAREITEM, OCM_DELETEITEM}) {
        EXPECT_EQ(m_child.SendMessage(msg, kChildId, 0), 0) << std::hex << msg;
    }
    EXPECT_TRUE(m_child.m_draws.empty());
    EXPECT_TRUE(m_child.m_received.empty());

    COMPAREITEMSTRUCT compare{};
    DELETEITEMSTRUCT remove{};
    EXPECT_EQ(m_child.SendMessage(OCM_COMPAREITEM, kChildId, reinterpret_cast<LPARAM>(&compare)),
              0);
    EXPECT_EQ(m_child.SendMessage(OCM_DELETEITEM, kChildId, reinterpret_cast<LPARAM>(&remove)),
              TRUE);
}

TEST_F(ReflectionTest, DefaultMeasureItemIsOneLineOfTheControlsFont) {
    CPlainStatic label;
    ASSERT_NE(label.Create(m_parent, kChildRect, L"", 0x5000000D, 0, 77), nullptr);
    CFont large(
        ::CreateFontW(-40, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    label.SetFont(large, FALSE);
    MEASUREITEMSTRUCT measure{};
    measure.CtlType = ODT_STATIC;
    measure.CtlID = 77;
    EXPECT_EQ(SendToParent(WM_MEASUREITEM, 77, reinterpret_cast<LPARAM>(&measure)), TRUE);
    EXPECT_GE(measure.itemHeight, 40u);
    label.DestroyWindow();
}

}  // namespace
