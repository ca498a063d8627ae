#pragma once
// CStaticBackground<T>: answers the reflected WM_CTLCOLORSTATIC with T's background mode,
// colour and brush (`m_nBkMode`, `m_clrBk`, `m_hBkBrush`). No text colour is set, so a static
// painted by the system keeps the DC's. Chained with CHAIN_MSG_MAP(CStaticBackground<T>).

#include <windows.h>

#include "windowing/message_map.h"

template <class T>
class CStaticBackground {
public:
    BEGIN_MSG_MAP(CStaticBackground<T>)
        MESSAGE_HANDLER(OCM_CTLCOLORSTATIC, OnCtlColorStatic)
    END_MSG_MAP()

    LRESULT OnCtlColorStatic(UINT, WPARAM wParam, LPARAM, BOOL&) {
        const T* self = static_cast<const T*>(this);
        const auto hdc = reinterpret_cast<HDC>(wParam);
        ::SetBkMode(hdc, self->m_nBkMode);
        ::SetBkColor(hdc, self->m_clrBk);
        return reinterpret_cast<LRESULT>(static_cast<HBRUSH>(self->m_hBkBrush));
    }
};
