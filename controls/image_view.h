#pragma once
// CImageView: an owner-drawn static showing one shared picture stretched to its rectangle.

#include <windows.h>

#include <utility>

#include "controls/image_drawing.h"
#include "controls/background.h"
#include "res/images.h"
#include "windowing/gdi_handles.h"
#include "windowing/gdiplus_handles.h"
#include "windowing/message_map.h"
#include "windowing/owner_draw.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

class CImageView;
using CImageViewBackground = CSolidBackground<CImageView, OCM_CTLCOLORSTATIC>;

class CImageView : public CWindowImpl<CImageView, CStaticT<CWindow>, CControlWinTraits>,
                   public COwnerDraw<CImageView>,
                   public CImageViewBackground {
public:
    BEGIN_MSG_MAP(CImageView)
        CHAIN_MSG_MAP(CImageViewBackground)
        CHAIN_MSG_MAP(COwnerDraw<CImageView>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    // An empty picture does not repaint: the old one stays until something else does.
    void SetImage(ImagePtr image) {
        m_pImage = std::move(image);
        if (m_pImage) Invalidate(TRUE);
    }

    void DrawItem(DRAWITEMSTRUCT* item) {
        if (!m_pImage) return;
        CGpGraphics graphics;
        if (Gdiplus::DllExports::GdipCreateFromHDC(item->hDC, graphics.Put()) != Gdiplus::Ok) {
            return;
        }
        const RECT& r = item->rcItem;
        DrawImageRect(graphics, m_pImage, r.left, r.top, r.right - r.left, r.bottom - r.top);
    }

private:
    ImagePtr m_pImage;
};
