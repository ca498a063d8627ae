#pragma once
// COwnerDraw<T>: the mix-in of owner-drawn controls. It answers the reflected owner-draw
// messages by calling T's DrawItem, MeasureItem, CompareItem and DeleteItem, which T overrides
// by defining its own; a control chains to it with CHAIN_MSG_MAP(COwnerDraw<T>).

#include <windows.h>

#include "windowing/gdi_handles.h"
#include "windowing/message_map.h"

template <class T>
class COwnerDraw {
public:
    BEGIN_MSG_MAP(COwnerDraw<T>)
        MESSAGE_HANDLER(OCM_DRAWITEM, OnDrawItem)
        MESSAGE_HANDLER(OCM_MEASUREITEM, OnMeasureItem)
        MESSAGE_HANDLER(OCM_COMPAREITEM, OnCompareItem)
        MESSAGE_HANDLER(OCM_DELETEITEM, OnDeleteItem)
    END_MSG_MAP()

    // A message without its structure is answered 0 and never reaches T.
    LRESULT OnDrawItem(UINT, WPARAM, LPARAM lParam, BOOL&) {
        if (!lParam) return FALSE;
        Derived()->DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
        return TRUE;
    }
    LRESULT OnMeasureItem(UINT, WPARAM, LPARAM lParam, BOOL&) {
        if (!lParam) return FALSE;
        Derived()->MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return TRUE;
    }
    LRESULT OnCompareItem(UINT, WPARAM, LPARAM lParam, BOOL&) {
        if (!lParam) return 0;
        return Derived()->CompareItem(reinterpret_cast<COMPAREITEMSTRUCT*>(lParam));
    }
    LRESULT OnDeleteItem(UINT, WPARAM, LPARAM lParam, BOOL&) {
        if (!lParam) return FALSE;
        Derived()->DeleteItem(reinterpret_cast<DELETEITEMSTRUCT*>(lParam));
        return TRUE;
    }

    void DrawItem(DRAWITEMSTRUCT*) {}
    // An item as tall as a line of the control's font.
    void MeasureItem(MEASUREITEMSTRUCT* item) {
        const HWND hWnd = Derived()->m_hWnd;
        CWindowDC dc(hWnd, CWindowDC::ClientArea);
        CSelectGuard font(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(hWnd, WM_GETFONT, 0, 0)));
        TEXTMETRICW metrics{};
        if (::GetTextMetricsW(dc, &metrics)) item->itemHeight = static_cast<UINT>(metrics.tmHeight);
    }
    int CompareItem(COMPAREITEMSTRUCT*) { return 0; }
    void DeleteItem(DELETEITEMSTRUCT*) {}

private:
    T* Derived() { return static_cast<T*>(this); }
};
