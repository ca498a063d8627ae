// The keyboard: Tab and Shift+Tab through the page's controls, Enter and Esc, and where the focus
// goes as pages change and the window is activated. The first key shows the focus cues.
#include <algorithm>
#include <utility>

#include "ui/main_window.h"
#include "ui/tab_order.h"

bool CMainWindow::PreTranslateMessage(const MSG& msg) {
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
    if (!m_hWnd || !msg.hwnd) return false;
    if (msg.hwnd != m_hWnd && !::IsChild(m_hWnd, msg.hwnd)) return false;
    ::SendMessageW(m_hWnd, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    if (msg.message != WM_KEYDOWN) return false;
    switch (msg.wParam) {
        case VK_TAB:
            OnTabKey(::GetKeyState(VK_SHIFT) < 0);
            return true;
        case VK_RETURN:
            OnReturnKey();
            return true;
        case VK_ESCAPE:
            OnEscapeKey();
            return true;
        default:
            return false;
    }
}

void CMainWindow::OnTabKey(bool backward) {
    const auto next = NextTabStop(TabStops(), RoleOf(::GetFocus()), backward);
    if (next) FocusControl(*next);
}

// A control is used as a click would use it; in the path edit Enter starts the installation
// (and never breaks the line).
void CMainWindow::OnReturnKey() {
    const HWND focus = ::GetFocus();
    if (!IsTabStop(focus)) return;
    const ControlRole role = *RoleOf(focus);
    const ControlRole used = role == ControlRole::PathEdit ? ControlRole::InstallButton : role;
    SendMessage(WM_COMMAND, MAKEWPARAM(ControlId(used), BN_CLICKED),
                reinterpret_cast<LPARAM>(ControlHandle(used)));
}

void CMainWindow::OnEscapeKey() {
    SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CLOSE, BN_CLICKED),
                reinterpret_cast<LPARAM>(ControlHandle(ControlRole::CloseButton)));
}

// Activation focuses the window itself; the focus goes on to where it was, or to the page's
// first control.
LRESULT CMainWindow::OnActivate(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
    if (LOWORD(wParam) == WA_INACTIVE) m_focusToRestore = ::GetFocus();
    bHandled = FALSE;
    return 0;
}

LRESULT CMainWindow::OnSetFocus(UINT, WPARAM, LPARAM, BOOL&) {
    const HWND restore = std::exchange(m_focusToRestore, nullptr);
    if (IsTabStop(restore)) {
        ::SetFocus(restore);
        return 0;
    }
    const std::vector<ControlRole> order = TabStops();
    if (!order.empty()) FocusControl(order.front());
    return 0;
}

void CMainWindow::FocusPageStart() {
    m_focusToRestore = nullptr;
    // An inactive window is not brought forward: its activation focuses the first control.
    if (::GetActiveWindow() != m_hWnd) return;
    const std::vector<ControlRole> order = TabStops();
    if (order.empty())
        ::SetFocus(m_hWnd);
    else
        FocusControl(order.front());
}

// Like a dialog, an edit reached by the keyboard has its whole text selected.
void CMainWindow::FocusControl(ControlRole role) {
    const HWND control = ControlHandle(role);
    if (role == ControlRole::PathEdit) ::SendMessageW(control, EM_SETSEL, 0, -1);
    ::SetFocus(control);
}

std::vector<ControlRole> CMainWindow::TabStops() const {
    return TabOrder(m_page, m_customToggle.IsExpanded());
}

std::optional<ControlRole> CMainWindow::RoleOf(HWND window) const {
    if (!window) return std::nullopt;
    for (ControlRole role : kMemberOrder)
        if (ControlHandle(role) == window) return role;
    return std::nullopt;
}

bool CMainWindow::IsTabStop(HWND window) const {
    const auto role = RoleOf(window);
    if (!role) return false;
    const std::vector<ControlRole> order = TabStops();
    return std::find(order.begin(), order.end(), *role) != order.end();
}
