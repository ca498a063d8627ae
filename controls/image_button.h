#pragma once
// CImageButton: a button drawn entirely from three pictures (normal, hover, pressed).

#include <windows.h>

#include <utility>

#include "controls/background.h"
#include "controls/focus_cue.h"
#include "controls/hover_click.h"
#include "controls/image_drawing.h"
#include "res/images.h"
#include "windowing/gdi_handles.h"
#include "windowing/gdiplus_handles.h"
#include "windowing/owner_draw.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

class CImageButton;
using CImageButtonBackground = CSolidBackground<CImageButton, OCM_CTLCOLORBTN>;

class CImageButton : public CWindowImpl<CImageButton, CButtonT<CWindow>, CControlWinTraits>,
                     public COwnerDraw<CImageButton>,
                     public CHoverClick<CImageButton>,
                     public CFocusCue<CImageButton>,
                     public CImageButtonBackground {
public:
    BEGIN_MSG_MAP(CImageButton)
        CHAIN_MSG_MAP(CHoverClick<CImageButton>)
        CHAIN_MSG_MAP(CFocusCue<CImageButton>)
        CHAIN_MSG_MAP(CImageButtonBackground)
        CHAIN_MSG_MAP(COwnerDraw<CImageButton>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    // No fallback: a state without its own picture shows nothing.
    void SetImages(ImagePtr normal, ImagePtr hover, ImagePtr pressed) {
        m_pImgNormal = std::move(normal);
        m_pImgHover = std::move(hover);
        m_pImgPressed = std::move(pressed);
        Invalidate();
    }

    // Straight onto the item's DC: transparent parts of the picture keep what is there.
    void DrawItem(DRAWITEMSTRUCT* item) {
        CGpGraphics graphics;
        if (Gdiplus::DllExports::GdipCreateFromHDC(item->hDC, graphics.Put()) != Gdiplus::Ok) {
            return;
        }
        const RECT& r = item->rcItem;
        DrawImageRect(graphics, ImageFor(item->itemState), r.left, r.top, r.right - r.left,
                      r.bottom - r.top);
        graphics.Reset();
        DrawFocusCue(*item, r);
    }

private:
    const ImagePtr& ImageFor(UINT itemState) const {
        if (itemState & ODS_SELECTED) return m_pImgPressed;
        return IsHovering() ? m_pImgHover : m_pImgNormal;
    }

    ImagePtr m_pImgNormal;
    ImagePtr m_pImgHover;
    ImagePtr m_pImgPressed;
};
