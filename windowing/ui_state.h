#pragma once
// Whether keyboard cues show: the WM_CHANGEUISTATE / WM_UPDATEUISTATE / WM_QUERYUISTATE protocol,
// kept by the top-level window for itself and its controls. The cues start hidden and show once
// the keyboard is used. The root keeps the state itself because Wine's DefWindowProc keeps none
// (every window answers WM_QUERYUISTATE with 0 there), and controls ask the root.
//
//     BEGIN_MSG_MAP(CMyWindow)
//         CHAIN_MSG_MAP(CUiStateRoot<CMyWindow>)
//     END_MSG_MAP()

#include <windows.h>

#include "windowing/message_map.h"

constexpr WORD kAllCuesHidden = UISF_HIDEFOCUS | UISF_HIDEACCEL;

// The state after WM_UPDATEUISTATE `change`: UIS_SET adds its flags, UIS_CLEAR takes them away.
// Other actions and flags (UIS_INITIALIZE, UISF_ACTIVE) leave the state as it is.
constexpr WORD UpdatedUiState(WORD state, WPARAM change) {
    const WORD flags = HIWORD(change) & kAllCuesHidden;
    switch (LOWORD(change)) {
        case UIS_SET:
            return WORD(state | flags);
        case UIS_CLEAR:
            return WORD(state & ~flags);
        default:
            return state;
    }
}

template <class T>
class CUiStateRoot {
public:
    BEGIN_MSG_MAP(CUiStateRoot<T>)
        MESSAGE_HANDLER(WM_CHANGEUISTATE, OnChangeUiState)
        MESSAGE_HANDLER(WM_UPDATEUISTATE, OnUpdateUiState)
        MESSAGE_HANDLER(WM_QUERYUISTATE, OnQueryUiState)
    END_MSG_MAP()

    // A change that changes nothing is not passed on, so controls repaint only when it matters.
    LRESULT OnChangeUiState(UINT, WPARAM wParam, LPARAM, BOOL&) {
        if (UpdatedUiState(m_uiState, wParam) != m_uiState)
            ::SendMessageW(Self(), WM_UPDATEUISTATE, wParam, 0);
        return 0;
    }

    LRESULT OnUpdateUiState(UINT msg, WPARAM wParam, LPARAM, BOOL&) {
        m_uiState = UpdatedUiState(m_uiState, wParam);
        for (HWND child = ::GetWindow(Self(), GW_CHILD); child;
             child = ::GetWindow(child, GW_HWNDNEXT))
            ::SendMessageW(child, msg, wParam, 0);
        return 0;
    }

    LRESULT OnQueryUiState(UINT, WPARAM, LPARAM, BOOL&) { return m_uiState; }

private:
    HWND Self() const { return static_cast<const T*>(this)->m_hWnd; }

    WORD m_uiState = kAllCuesHidden;
};

// True while the top-level window of `window` hides focus cues.
inline bool FocusCuesHidden(HWND window) {
    const HWND root = ::GetAncestor(window, GA_ROOT);
    return (::SendMessageW(root ? root : window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
}
