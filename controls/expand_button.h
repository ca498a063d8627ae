#pragma once
// CExpandButton: the custom-installation toggle, text on the left and a chevron on the right
// that points down while collapsed and up while expanded. A click raises the standard BN_CLICKED
// and changes nothing: the owner toggles it.

#include <windows.h>

#include "res/colors.h"
#include "controls/check_box.h"
#include "controls/control_text.h"
#include "controls/focus_cue.h"
#include "controls/hand_cursor.h"
#include "controls/image_drawing.h"
#include "controls/offscreen_paint.h"
#include "controls/picture_toggle.h"
#include "controls/transparent_background.h"
#include "res/dpi.h"
#include "res/images.h"
#include "windowing/gdiplus_handles.h"
#include "windowing/owner_draw.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

struct ExpandButtonLayout {
    RECT chevron;
    Gdiplus::RectF text;
};

// The chevron at the right edge, centred vertically (rounded toward the top); the text fills the
// rest but the gap.
inline ExpandButtonLayout LayoutExpandButton(const RECT& client, int dpi) {
    const int w = client.right - client.left;
    const int h = client.bottom - client.top;
    const int side = UnitsToPixels(16, dpi);
    const int gap = UnitsToPixels(2, dpi);
    const int x = client.right - side;
    const int y = (h - side) / 2;
    return {RECT{x, y, x + side, y + side}, Gdiplus::RectF(float(client.left), float(client.top),
                                                           float(w - (side + gap)), float(h))};
}

class CExpandButton : public CWindowImpl<CExpandButton, CButtonT<CWindow>, CControlWinTraits>,
                      public COwnerDraw<CExpandButton>,
                      public CPictureToggle<CExpandButton>,
                      public CFocusCue<CExpandButton>,
                      public CHandCursor,
                      public CTransparentBackground {
public:
    // A button that says whether it is expanded.
    CExpandButton()
        : CPictureToggle(IDP_COLLAPSED, IDP_EXPANDED,
                         {ROLE_SYSTEM_PUSHBUTTON, STATE_SYSTEM_EXPANDED, STATE_SYSTEM_COLLAPSED}) {}

    BEGIN_MSG_MAP(CExpandButton)
        CHAIN_MSG_MAP(CPictureToggle<CExpandButton>)
        CHAIN_MSG_MAP(CFocusCue<CExpandButton>)
        CHAIN_MSG_MAP(CHandCursor)
        CHAIN_MSG_MAP(CTransparentBackground)
        CHAIN_MSG_MAP(COwnerDraw<CExpandButton>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    bool IsExpanded() const { return IsOn(); }
    void SetExpanded(bool expanded) { SetOn(expanded); }
    void Toggle() { SetOn(!IsOn()); }

    // Laid out like the check box: picture, gap and a line of text.
    SIZE GetIdealSize() const { return MeasureIdealSize(m_hWnd); }

    void DrawItem(DRAWITEMSTRUCT* item) {
        PaintItemOffscreen(m_hWnd, *item, OffscreenBackground::White,
                           [&](Gdiplus::GpGraphics* graphics, const RECT& client) {
                               Draw(item->hDC, graphics, client);
                           });
        DrawFocusCue(*item, item->rcItem);
    }

private:
    void Draw(HDC itemDC, Gdiplus::GpGraphics* graphics, const RECT& client) {
        const ExpandButtonLayout layout = LayoutExpandButton(client, int(GetWindowDpi(m_hWnd)));
        const RECT& chevron = layout.chevron;
        DrawImageRect(graphics, CurrentImage(), chevron.left, chevron.top,
                      chevron.right - chevron.left, chevron.bottom - chevron.top);
        DrawWindowTextLine(m_hWnd, itemDC, graphics, layout.text, TextColor());
    }
};
