#pragma once
// CSingleLineEdit: the install-folder field. A standard edit whose border gives way to flat
// margins painted with its background brush.

#include <windows.h>

#include "res/dpi.h"
#include "windowing/accessibility.h"
#include "windowing/gdi_handles.h"
#include "windowing/message_map.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

constexpr int kEditMarginLeftUnits = 12;
constexpr int kEditMarginTopUnits = 5;
constexpr int kEditMarginRightUnits = 12;

struct EditMargins {
    int left;
    int top;
    int right;
};

inline EditMargins EditMarginsAt(UINT dpi) {
    return {UnitsToPixels(kEditMarginLeftUnits, int(dpi)),
            UnitsToPixels(kEditMarginTopUnits, int(dpi)),
            UnitsToPixels(kEditMarginRightUnits, int(dpi))};
}

// The client rectangle inside a window rectangle; a window smaller than its margins keeps an
// empty client area rather than an inverted one.
inline RECT EditClientRect(const RECT& window, UINT dpi) {
    const EditMargins m = EditMarginsAt(dpi);
    RECT client{window.left + m.left, window.top + m.top, window.right - m.right, window.bottom};
    if (client.right < client.left) client.right = client.left;
    if (client.top > client.bottom) client.top = client.bottom;
    return client;
}

class CSingleLineEdit : public CWindowImpl<CSingleLineEdit, CEditT<CWindow>, CControlWinTraits> {
public:
    BEGIN_MSG_MAP(CSingleLineEdit)
        MESSAGE_HANDLER(OCM_CTLCOLOREDIT, OnCtlColorEdit)
        MESSAGE_HANDLER(WM_SIZE, OnSize)
        MESSAGE_HANDLER(WM_NCCALCSIZE, OnNcCalcSize)
        MESSAGE_HANDLER(WM_NCPAINT, OnNcPaint)
        MESSAGE_HANDLER(WM_NCDESTROY, OnNcDestroy)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    // The background fills the margins and the text cell alike.
    void SetColors(COLORREF text, COLORREF background) {
        m_clrText = text;
        m_clrBk = background;
        m_hBkBrush.Reset(::CreateSolidBrush(background));
        if (m_hWnd)
            ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME);
    }

    // Its text is its value, so screen readers are given its name apart.
    void SetAccessibleName(const wchar_t* name) { AnnotateName(m_hWnd, name); }

    LRESULT OnCtlColorEdit(UINT, WPARAM wParam, LPARAM, BOOL&) {
        const auto hdc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(hdc, m_clrText);
        ::SetBkColor(hdc, m_clrBk);
        return reinterpret_cast<LRESULT>(m_hBkBrush.Get());
    }

    // The frame change recomputes the margins for the new size. The standard edit still sees the
    // size so that its text layout follows.
    LRESULT OnSize(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
        ::SetWindowPos(this->m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_FRAMECHANGED | SWP_NOOWNERZORDER);
        DefWindowProc(msg, wParam, lParam);
        return 0;
    }

    // The standard computation never runs, so no border is ever reserved.
    LRESULT OnNcCalcSize(UINT, WPARAM wParam, LPARAM lParam, BOOL&) {
        if (wParam && lParam) {
            RECT& proposed = reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0];
            proposed = EditClientRect(proposed, GetWindowDpi(this->m_hWnd));
        }
        return 0;
    }

    // The whole window is filled; the client area is painted over it by the edit.
    LRESULT OnNcPaint(UINT, WPARAM, LPARAM, BOOL&) {
        RECT window{};
        ::GetWindowRect(this->m_hWnd, &window);
        const RECT area{0, 0, window.right - window.left, window.bottom - window.top};
        CWindowDC dc(this->m_hWnd, CWindowDC::WholeWindow);
        if (dc) ::FillRect(dc, &area, m_hBkBrush);
        return 0;
    }

    // So that no annotation outlives the window; the standard edit goes on.
    LRESULT OnNcDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
        ClearAnnotations(m_hWnd);
        bHandled = FALSE;
        return 0;
    }

private:
    COLORREF m_clrText = 0;
    COLORREF m_clrBk = 0;
    CBrush m_hBkBrush{::CreateSolidBrush(RGB(255, 255, 255))};
};
