#pragma once
// CRoundButton: the prominent action button, a filled pill with centred text on white.

#include <windows.h>

#include "res/colors.h"
#include "controls/control_text.h"
#include "controls/filled_button.h"
#include "controls/focus_cue.h"
#include "controls/offscreen_paint.h"
#include "controls/round_rect_path.h"
#include "controls/transparent_background.h"
#include "windowing/gdiplus_handles.h"
#include "windowing/owner_draw.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

class CRoundButton : public CWindowImpl<CRoundButton, CButtonT<CWindow>, CControlWinTraits>,
                     public COwnerDraw<CRoundButton>,
                     public CFilledButton<CRoundButton>,
                     public CFocusCue<CRoundButton>,
                     public CTransparentBackground {
public:
    BEGIN_MSG_MAP(CRoundButton)
        CHAIN_MSG_MAP(CHoverClick<CRoundButton>)
        CHAIN_MSG_MAP(CFocusCue<CRoundButton>)
        CHAIN_MSG_MAP(CTransparentBackground)
        CHAIN_MSG_MAP(COwnerDraw<CRoundButton>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    CRoundButton() : CFilledButton({0xFFFFD521, 0xFFFFE265, 0xFFFFCF00}, 0) {}

    void DrawItem(DRAWITEMSTRUCT* item) {
        const bool pressed = (item->itemState & ODS_SELECTED) != 0;
        // White around the pill: the button is meant for a white parent.
        PaintItemOffscreen(m_hWnd, *item, OffscreenBackground::White,
                           [&](Gdiplus::GpGraphics* graphics, const RECT& client) {
                               Draw(item->hDC, graphics, client, pressed);
                           });
        DrawFocusCue(*item, item->rcItem);
    }

private:
    void Draw(HDC itemDC, Gdiplus::GpGraphics* graphics, const RECT& client, bool pressed) {
        using namespace Gdiplus::DllExports;
        const int w = client.right - client.left;
        const int h = client.bottom - client.top;
        GdipSetSmoothingMode(graphics, Gdiplus::SmoothingModeHighQuality);
        GdipSetTextRenderingHint(graphics, Gdiplus::TextRenderingHintAntiAlias);

        const CGpPath path = BuildRoundRectPath(client.left, client.top, w, h, h);
        CGpSolidBrush fill;
        GdipCreateSolidFill(CurrentFill(pressed), fill.Put());
        if (path) GdipFillPath(graphics, fill, path);

        const CGpFont font = CreateControlFont(m_hWnd, itemDC);
        const CGpStringFormat format =
            CreateAlignedFormat(Gdiplus::StringAlignmentCenter, Gdiplus::StringAlignmentCenter);
        DrawControlText(graphics, ReadWindowText(m_hWnd), font,
                        Gdiplus::RectF(float(client.left), float(client.top), float(w), float(h)),
                        format, ToArgb(TextColor()));
    }
};
