#pragma once
// CImageView: an owner-drawn static showing one shared picture stretched to its rectangle.

#include <windows.h>

#include <utility>

#include "controls/image_drawing.h"
#include "controls/static_background.h"
#include "res/images.h"
#include "windowing/gdi_handles.h"
#include "windowing/gdiplus_handles.h"
#include "windowing/message_map.h"
#include "windowing/owner_draw.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

class CImageView : public CWindowImpl<CImageView, CStaticT<CWindow>, CControlWinTraits>,
                   public COwnerDraw<CImageView>,
                   public CStaticBackground<CImageView> {
public:
    ImagePtr m_pImage;
    int m_nBkMode = OPAQUE;
    COLORREF m_clrBk = RGB(255, 255, 255);
    CBrush m_hBkBrush{static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH))};

    BEGIN_MSG_MAP(CImageView)
        CHAIN_MSG_MAP(CStaticBackground<CImageView>)
        CHAIN_MSG_MAP(COwnerDraw<CImageView>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    // An empty picture does not repaint: the old one stays until something else does. Without a
    // window there is nothing to invalidate (a null handle would invalidate every window).
    void SetImage(ImagePtr image) {
        m_pImage = std::move(image);
        if (m_pImage && this->m_hWnd) ::InvalidateRect(this->m_hWnd, nullptr, TRUE);
    }

    void DrawItem(DRAWITEMSTRUCT* item) {
        if (!m_pImage) return;
        CGpGraphics graphics;
        if (Gdiplus::DllExports::GdipCreateFromHDC(item->hDC, graphics.Out()) != Gdiplus::Ok) {
            return;
        }
        const RECT& r = item->rcItem;
        DrawImageRect(graphics, m_pImage, r.left, r.top, r.right - r.left, r.bottom - r.top);
    }
};
