#pragma once
// CLinkButton: a hyperlink-like button, coloured text on white with the hand cursor.

#include <windows.h>

#include "res/colors.h"
#include "controls/control_text.h"
#include "controls/focus_cue.h"
#include "controls/hand_cursor.h"
#include "controls/offscreen_paint.h"
#include "controls/text_color.h"
#include "controls/transparent_background.h"
#include "windowing/accessibility.h"
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
                    public CFocusCue<CLinkButton>,
                    public CHandCursor,
                    public CTransparentBackground,
                    public CTextColor<CLinkButton> {
public:
    BEGIN_MSG_MAP(CLinkButton)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_NCDESTROY, OnNcDestroy)
        CHAIN_MSG_MAP(CFocusCue<CLinkButton>)
        CHAIN_MSG_MAP(CHandCursor)
        CHAIN_MSG_MAP(CTransparentBackground)
        CHAIN_MSG_MAP(COwnerDraw<CLinkButton>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    // A link to screen readers, not the push button the standard proxy takes it for. Both let the
    // standard button go on.
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
        AnnotateRole(m_hWnd, ROLE_SYSTEM_LINK);
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnNcDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
        ClearAnnotations(m_hWnd);
        bHandled = FALSE;
        return 0;
    }

    SIZE GetLinkSize() const { return LinkSizeFor(MeasureWindowText(m_hWnd)); }

    void DrawItem(DRAWITEMSTRUCT* item) {
        PaintItemOffscreen(m_hWnd, *item, OffscreenBackground::White,
                           [&](Gdiplus::GpGraphics* graphics, const RECT& client) {
                               Draw(item->hDC, graphics, client);
                           });
        // The link is as large as its text.
        DrawFocusCue(*item, item->rcItem);
    }

private:
    void Draw(HDC itemDC, Gdiplus::GpGraphics* graphics, const RECT& client) {
        DrawWindowTextLine(
            m_hWnd, itemDC, graphics,
            Gdiplus::RectF(float(client.left), float(client.top), float(client.right - client.left),
                           float(client.bottom - client.top)),
            TextColor());
    }
};
