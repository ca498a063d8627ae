#pragma once
// CCheckBox: a box picture (empty or ticked) with the window text to its right, on white. A click
// raises the standard BN_CLICKED and changes nothing: the owner toggles the box.

#include <windows.h>

#include "res/colors.h"
#include "controls/control_text.h"
#include "controls/focus_cue.h"
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

struct BoxedTextLayout {
    RECT box;
    Gdiplus::RectF text;
};

// The text's cell: the control's height, right of the box and the gap after it.
inline RECT CheckBoxTextCell(const RECT& client, int dpi) {
    return RECT{client.left + UnitsToPixels(16, dpi) + UnitsToPixels(2, dpi), client.top,
                client.right, client.bottom};
}

// The box at the left, centred vertically (rounded toward the top), the text after a gap.
inline BoxedTextLayout LayoutCheckBox(const RECT& client, int dpi) {
    const int h = client.bottom - client.top;
    const int box = UnitsToPixels(16, dpi);
    const int y = (h - box) / 2;
    const RECT text = CheckBoxTextCell(client, dpi);
    return {RECT{0, y, box, y + box},
            Gdiplus::RectF(float(text.left), float(text.top), float(text.right - text.left),
                           float(text.bottom - text.top))};
}

// The size of a 16-unit picture, a 2-unit gap and a line of text measuring `text`.
inline SIZE IdealSizeFor(Gdiplus::SizeF text, int dpi) {
    const int box = UnitsToPixels(16, dpi);
    const int gap = UnitsToPixels(2, dpi);
    const float height = float(box) > text.Height ? float(box) : text.Height;
    return SIZE{LONG(float(box + gap) + text.Width + 2.0f), LONG(height + 2.0f)};
}

// For any control laid out as picture, gap and text: the check box and the expand button.
inline SIZE MeasureIdealSize(HWND control) {
    return IdealSizeFor(MeasureWindowText(control), int(GetWindowDpi(control)));
}

class CCheckBox : public CWindowImpl<CCheckBox, CButtonT<CWindow>, CControlWinTraits>,
                  public COwnerDraw<CCheckBox>,
                  public CPictureToggle<CCheckBox>,
                  public CFocusCue<CCheckBox>,
                  public CTransparentBackground {
public:
    CCheckBox()
        : CPictureToggle(IDP_UNCHECKED, IDP_CHECKED,
                         {ROLE_SYSTEM_CHECKBUTTON, STATE_SYSTEM_CHECKED, 0}) {}

    BEGIN_MSG_MAP(CCheckBox)
        CHAIN_MSG_MAP(CPictureToggle<CCheckBox>)
        CHAIN_MSG_MAP(CFocusCue<CCheckBox>)
        CHAIN_MSG_MAP(CTransparentBackground)
        CHAIN_MSG_MAP(COwnerDraw<CCheckBox>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    bool IsChecked() const { return IsOn(); }
    void SetChecked(bool checked) { SetOn(checked); }
    void Toggle() { SetOn(!IsOn()); }

    // Hidden until its page shows it; the standard button does the clicking.
    HWND Create(HWND parent, const RECT& rect, LPCWSTR text, UINT id) {
        return CWindowImpl::Create(parent, rect, text, WS_CHILD | BS_OWNERDRAW, 0, id);
    }

    SIZE GetIdealSize() const { return MeasureIdealSize(m_hWnd); }

    void DrawItem(DRAWITEMSTRUCT* item) {
        PaintItemOffscreen(m_hWnd, *item, OffscreenBackground::White,
                           [&](Gdiplus::GpGraphics* graphics, const RECT& client) {
                               Draw(item->hDC, graphics, client);
                           });
        DrawFocusCue(*item, CheckBoxTextCell(item->rcItem, int(GetWindowDpi(m_hWnd))));
    }

private:
    void Draw(HDC itemDC, Gdiplus::GpGraphics* graphics, const RECT& client) {
        const BoxedTextLayout layout = LayoutCheckBox(client, int(GetWindowDpi(m_hWnd)));
        Gdiplus::DllExports::GdipSetInterpolationMode(graphics,
                                                      Gdiplus::InterpolationModeHighQuality);
        const RECT& box = layout.box;
        DrawImageRect(graphics, CurrentImage(), box.left, box.top, box.right - box.left,
                      box.bottom - box.top);
        DrawWindowTextLine(m_hWnd, itemDC, graphics, layout.text, TextColor());
    }
};
