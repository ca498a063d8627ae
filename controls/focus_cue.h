#pragma once
// CFocusCue<T>: the keyboard focus cue of the skinned buttons, a frame one unit wide in the skin's
// dark text colour around the control (or around its text), drawn only while the control has the
// focus and the window shows focus cues, which it does once the keyboard has been used. Until
// then every control paints exactly as it always has. Chained with CHAIN_MSG_MAP(CFocusCue<T>);
// T's DrawItem ends with DrawFocusCue.

#include <windows.h>

#include <algorithm>
#include <array>

#include "res/dpi.h"
#include "windowing/gdi_handles.h"
#include "windowing/message_map.h"
#include "windowing/ui_state.h"

// The skin's dark text colour, #2b3440, until the owner gives the skin's own.
constexpr COLORREF kDefaultFocusCueColor = RGB(0x2B, 0x34, 0x40);

// Top, bottom, left and right bars of the frame, inside `around`, each UnitsToPixels(1, dpi)
// thick; in a rectangle thinner than two bars they overlap.
inline std::array<RECT, 4> FocusCueEdges(const RECT& around, int dpi) {
    const LONG t = UnitsToPixels(1, dpi);
    const LONG left = around.left, top = around.top, right = around.right, bottom = around.bottom;
    const LONG innerTop = std::min(top + t, bottom), innerBottom = std::max(bottom - t, top);
    const LONG innerLeft = std::min(left + t, right), innerRight = std::max(right - t, left);
    return {{{left, top, right, innerTop},
             {left, innerBottom, right, bottom},
             {left, top, innerLeft, bottom},
             {innerRight, top, right, bottom}}};
}

// A cue only for an item that has the focus, when neither the item nor its window hides cues.
inline bool ShowsFocusCue(HWND control, UINT itemState) {
    return (itemState & ODS_FOCUS) && !(itemState & ODS_NOFOCUSRECT) && !FocusCuesHidden(control);
}

inline void PaintFocusCue(HDC dc, const RECT& around, COLORREF color, int dpi) {
    const CBrush brush(::CreateSolidBrush(color));
    for (const RECT& edge : FocusCueEdges(around, dpi)) ::FillRect(dc, &edge, brush);
}

template <class T>
class CFocusCue {
public:
    BEGIN_MSG_MAP(CFocusCue<T>)
        MESSAGE_HANDLER(WM_SETFOCUS, OnFocusChange)
        MESSAGE_HANDLER(WM_KILLFOCUS, OnFocusChange)
        MESSAGE_HANDLER(WM_UPDATEUISTATE, OnUpdateUiState)
    END_MSG_MAP()

    void SetFocusCueColor(COLORREF color) {
        m_clrCue = color;
        Derived()->Invalidate();
    }

    // Both go on to the standard button, which keeps the focus state the next paint reads.
    LRESULT OnFocusChange(UINT, WPARAM, LPARAM, BOOL& bHandled) {
        if (!FocusCuesHidden(Derived()->m_hWnd)) RepaintWithWhatLiesUnder();
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnUpdateUiState(UINT, WPARAM, LPARAM, BOOL& bHandled) {
        if (::GetFocus() == Derived()->m_hWnd) RepaintWithWhatLiesUnder();
        bHandled = FALSE;
        return 0;
    }

protected:
    // After the control's own picture, on the item's DC.
    void DrawFocusCue(const DRAWITEMSTRUCT& item, const RECT& around) const {
        const HWND hWnd = static_cast<const T*>(this)->m_hWnd;
        if (ShowsFocusCue(hWnd, item.itemState))
            PaintFocusCue(item.hDC, around, m_clrCue, int(GetWindowDpi(hWnd)));
    }

private:
    T* Derived() { return static_cast<T*>(this); }

    // A control drawn over the banner keeps whatever lies under it, a cue included: the parent's
    // area is painted again, siblings under the control first.
    void RepaintWithWhatLiesUnder() {
        const HWND hWnd = Derived()->m_hWnd;
        const HWND parent = ::GetParent(hWnd);
        if (!parent) {
            ::InvalidateRect(hWnd, nullptr, TRUE);
            return;
        }
        RECT area{};
        ::GetWindowRect(hWnd, &area);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&area), 2);
        ::RedrawWindow(parent, &area, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    }

    COLORREF m_clrCue = kDefaultFocusCueColor;
};
