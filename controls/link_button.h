#pragma once
// CLinkButton: a hyperlink-like button, coloured text on white with the hand cursor.

#include <windows.h>

#include "res/colors.h"
#include "controls/control_text.h"
#include "controls/hand_cursor.h"
#include "controls/offscreen_paint.h"
#include "controls/transparent_background.h"
#include "windowing/gdiplus_handles.h"
#include "windowing/owner_draw.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

// The text's box truncated, plus two pixels of width.
inline SIZE LinkSizeFor(Gdiplus::SizeF text) {
    return SIZE{LONG(text.Width) + 2, LONG(text.Height)};
}

class CLinkButton : public CWindowImpl<CLinkButton, CButtonT<CWindow>, CControlWinTraits>,
                    public COwnerDraw<CLinkButton>,
                    public CHandCursor,
                    public CTransparentBackground {
public:
    BEGIN_MSG_MAP(CLinkButton)
        CHAIN_MSG_MAP(CHandCursor)
        CHAIN_MSG_MAP(CTransparentBackground)
        CHAIN_MSG_MAP(COwnerDraw<CLinkButton>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    void SetTextColor(COLORREF color) {
        m_clrText = color;
        Invalidate();
    }

    SIZE GetLinkSize() const { return LinkSizeFor(MeasureWindowText(m_hWnd)); }

    void DrawItem(DRAWITEMSTRUCT* item) {
        PaintItemOffscreen(m_hWnd, *item, OffscreenBackground::White,
                           [&](Gdiplus::GpGraphics* graphics, const RECT& client) {
                               Draw(item->hDC, graphics, client);
                           });
    }

private:
    void Draw(HDC itemDC, Gdiplus::GpGraphics* graphics, const RECT& client) {
        DrawWindowTextLine(
            m_hWnd, itemDC, graphics,
            Gdiplus::RectF(float(client.left), float(client.top), float(client.right - client.left),
                           float(client.bottom - client.top)),
            m_clrText);
    }

    COLORREF m_clrText = 0;
};
