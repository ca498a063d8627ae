#pragma once
// CImageButton: a button drawn entirely from three pictures (normal, hover, pressed).

#include <windows.h>

#include "controls/background_brush.h"
#include "controls/hover_click.h"
#include "controls/image_drawing.h"
#include "res/images.h"
#include "windowing/gdi_handles.h"
#include "windowing/gdiplus_handles.h"
#include "windowing/owner_draw.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

class CImageButton : public CWindowImpl<CImageButton, CButtonT<CWindow>, CControlWinTraits>,
                     public COwnerDraw<CImageButton>,
                     public CHoverClick<CImageButton> {
public:
    ImagePtr m_pImgNormal;
    ImagePtr m_pImgHover;
    ImagePtr m_pImgPressed;
    bool m_bHover = false;
    int m_nBkMode = OPAQUE;
    COLORREF m_clrBk = 0xFFFFFF;
    CBrush m_hBkBrush{static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH))};

    BEGIN_MSG_MAP(CImageButton)
        CHAIN_MSG_MAP(CHoverClick<CImageButton>)
        MESSAGE_HANDLER(OCM_CTLCOLORBTN, OnCtlColorButton)
        CHAIN_MSG_MAP(COwnerDraw<CImageButton>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    // TRANSPARENT answers the null brush; any other mode a solid brush of m_clrBk that the
    // button owns.
    void SetBackgroundMode(int mode) {
        m_nBkMode = mode;
        m_hBkBrush.Reset(MakeBackgroundBrush(mode, m_clrBk));
    }

    LRESULT OnCtlColorButton(UINT, WPARAM wParam, LPARAM, BOOL&) {
        const HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetBkMode(dc, m_nBkMode);
        ::SetBkColor(dc, m_clrBk);
        return reinterpret_cast<LRESULT>(m_hBkBrush.Get());
    }

    // Straight onto the item's DC: transparent parts of the picture keep what is there.
    void DrawItem(DRAWITEMSTRUCT* item) {
        CGpGraphics graphics;
        if (Gdiplus::DllExports::GdipCreateFromHDC(item->hDC, graphics.Out()) != Gdiplus::Ok) {
            return;
        }
        const RECT& r = item->rcItem;
        DrawImageRect(graphics, ImageFor(item->itemState), r.left, r.top, r.right - r.left,
                      r.bottom - r.top);
    }

private:
    // No fallback: a state without its own picture shows nothing.
    const ImagePtr& ImageFor(UINT itemState) const {
        if (itemState & ODS_SELECTED) return m_pImgPressed;
        return m_bHover ? m_pImgHover : m_pImgNormal;
    }
};
