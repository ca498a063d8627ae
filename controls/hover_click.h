#pragma once
// CHoverClick<T>: pointer tracking and click delivery of the flat buttons, which chain to it with
// CHAIN_MSG_MAP(CHoverClick<T>). It keeps whether the pointer is over the button and repaints the
// button when that changes. A completed click is posted to the parent as WM_COMMAND with the
// control id and lParam 0.

#include <windows.h>
#include <windowsx.h>
#include <objidl.h>
#include <gdiplus.h>

#include "windowing/message_map.h"

template <class T>
class CHoverClick {
public:
    bool IsHovering() const { return m_bHover; }

    BEGIN_MSG_MAP(CHoverClick<T>)
        MESSAGE_HANDLER(WM_MOUSEMOVE, OnMouseMove)
        MESSAGE_HANDLER(WM_MOUSELEAVE, OnMouseLeave)
        MESSAGE_HANDLER(WM_LBUTTONUP, OnLButtonUp)
    END_MSG_MAP()

    // Tracking starts on the way in only; the standard button never sees pointer moves.
    LRESULT OnMouseMove(UINT, WPARAM, LPARAM, BOOL&) {
        T* self = Derived();
        if (!m_bHover) {
            m_bHover = true;
            TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, self->m_hWnd,
                                  HOVER_DEFAULT};
            ::TrackMouseEvent(&track);
            ::InvalidateRect(self->m_hWnd, nullptr, TRUE);
        }
        return 0;
    }

    LRESULT OnMouseLeave(UINT, WPARAM, LPARAM, BOOL&) {
        m_bHover = false;
        ::InvalidateRect(Derived()->m_hWnd, nullptr, TRUE);
        return 0;
    }

    // Consumed, so the standard button's own BN_CLICKED never follows.
    LRESULT OnLButtonUp(UINT, WPARAM, LPARAM lParam, BOOL&) {
        const HWND hWnd = Derived()->m_hWnd;
        const POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ReleaseCapture();
        RECT client{};
        ::GetClientRect(hWnd, &client);
        if (::PtInRect(&client, point)) {
            ::PostMessageW(::GetParent(hWnd), WM_COMMAND,
                           MAKEWPARAM(::GetDlgCtrlID(hWnd), BN_CLICKED), 0);
        }
        return 0;
    }

private:
    T* Derived() { return static_cast<T*>(this); }

    bool m_bHover = false;
};
