#pragma once
// CSolidBackground<T, kColorMessage>: the background a control answers to its reflected colour
// message (OCM_CTLCOLORSTATIC for the statics, OCM_CTLCOLORBTN for the image button). Opaque, it
// is the control's colour with a brush the control owns; transparent, the null brush, so the
// parent shows through. White and opaque until its owner says otherwise. Chained with
// CHAIN_MSG_MAP(CSolidBackground<T, kColorMessage>).

#include <windows.h>

#include "windowing/gdi_handles.h"
#include "windowing/message_map.h"

template <class T, UINT kColorMessage>
class CSolidBackground {
public:
    BEGIN_MSG_MAP(CSolidBackground)
        MESSAGE_HANDLER(kColorMessage, OnCtlColor)
    END_MSG_MAP()

    // No text colour is set, so a static painted by the system keeps the DC's.
    LRESULT OnCtlColor(UINT, WPARAM wParam, LPARAM, BOOL&) {
        const auto dc = reinterpret_cast<HDC>(wParam);
        ::SetBkMode(dc, m_mode);
        ::SetBkColor(dc, m_color);
        return reinterpret_cast<LRESULT>(m_brush.Get());
    }

    // TRANSPARENT over the banner; any other mode paints the background colour.
    void SetBackgroundMode(int mode) {
        if (mode == m_mode) return;
        m_mode = mode;
        RenewBrush();
    }
    void SetBackgroundColor(COLORREF color) {
        if (color == m_color) return;
        m_color = color;
        RenewBrush();
    }
    int BackgroundMode() const { return m_mode; }

protected:
    bool IsTransparent() const { return m_mode == TRANSPARENT; }
    COLORREF BackgroundColor() const { return m_color; }
    HBRUSH BackgroundBrush() const { return m_brush; }

private:
    void RenewBrush() {
        m_brush.Reset(IsTransparent() ? static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH))
                                      : ::CreateSolidBrush(m_color));
        static_cast<T*>(this)->Invalidate();
    }

    int m_mode = OPAQUE;
    COLORREF m_color = RGB(255, 255, 255);
    // Stock objects may be held: the system ignores their deletion.
    CBrush m_brush{static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH))};
};
