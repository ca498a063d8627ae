#pragma once
// CButtonEx: the flat push button, a filled rectangle with an optional border and an optional
// icon left of its centred text.

#include <windows.h>

#include <utility>

#include "res/colors.h"
#include "controls/control_text.h"
#include "controls/filled_button.h"
#include "controls/focus_cue.h"
#include "controls/image_drawing.h"
#include "controls/offscreen_paint.h"
#include "controls/transparent_background.h"
#include "res/dpi.h"
#include "res/images.h"
#include "windowing/gdiplus_handles.h"
#include "windowing/owner_draw.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

struct ButtonExMetrics {
    int iconSide;
    int gap;       // between icon and text
    int textDrop;  // the text sits this much lower than centred beside an icon
};

inline ButtonExMetrics ButtonExMetricsAt(int dpi) {
    return {UnitsToPixels(14, dpi), UnitsToPixels(8, dpi), UnitsToPixels(1, dpi)};
}

struct ButtonExLayout {
    Gdiplus::RectF icon;  // empty without an icon
    Gdiplus::PointF text;
};

// Icon and text centred together in a width x height button; text too wide runs off both edges.
inline ButtonExLayout LayoutButtonEx(float width, float height, Gdiplus::SizeF text, bool hasIcon,
                                     int dpi) {
    ButtonExLayout layout{};
    if (!hasIcon) {
        layout.text = Gdiplus::PointF((width - text.Width) * 0.5f, (height - text.Height) * 0.5f);
        return layout;
    }
    const ButtonExMetrics m = ButtonExMetricsAt(dpi);
    const float side = float(m.iconSide);
    const float iconX = (width - text.Width - float(m.gap) - side) * 0.5f;
    layout.icon = Gdiplus::RectF(iconX, (height - side) * 0.5f, side, side);
    layout.text = Gdiplus::PointF(iconX + side + float(m.gap),
                                  (height - text.Height) * 0.5f + float(m.textDrop));
    return layout;
}

class CButtonEx : public CWindowImpl<CButtonEx, CButtonT<CWindow>, CControlWinTraits>,
                  public COwnerDraw<CButtonEx>,
                  public CFilledButton<CButtonEx>,
                  public CFocusCue<CButtonEx>,
                  public CTransparentBackground {
public:
    BEGIN_MSG_MAP(CButtonEx)
        CHAIN_MSG_MAP(CHoverClick<CButtonEx>)
        CHAIN_MSG_MAP(CFocusCue<CButtonEx>)
        CHAIN_MSG_MAP(CTransparentBackground)
        CHAIN_MSG_MAP(COwnerDraw<CButtonEx>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    CButtonEx() : CFilledButton({0xFFFFFFFF, 0xFFEAEAEC, 0xFFD2D5DA}, 0x0040342B) {}

    // A width of 0 draws no border.
    void SetBorder(Gdiplus::ARGB color, int width) {
        m_clrBorder = color;
        m_nBorderWidth = width;
        Invalidate();
    }
    void SetIcon(ImagePtr icon) {
        m_pIcon = std::move(icon);
        Invalidate();
    }

    void DrawItem(DRAWITEMSTRUCT* item) {
        const bool pressed = (item->itemState & ODS_SELECTED) != 0;
        PaintItemOffscreen(m_hWnd, *item, OffscreenBackground::Untouched,
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

        CGpSolidBrush background;
        GdipCreateSolidFill(CurrentFill(pressed), background.Put());
        GdipFillRectangleI(graphics, background, client.left, client.top, w, h);

        if (m_nBorderWidth > 0) {
            CGpSolidBrush borderBrush;
            GdipCreateSolidFill(m_clrBorder, borderBrush.Put());
            CGpPen pen;
            GdipCreatePen2(borderBrush, float(m_nBorderWidth), Gdiplus::UnitWorld, pen.Put());
            GdipDrawRectangleI(graphics, pen, client.left, client.top, w - 1, h - 1);
        }

        const CGpFont font = CreateControlFont(m_hWnd, itemDC);
        const std::wstring text = ReadWindowText(m_hWnd);
        const ButtonExLayout layout =
            LayoutButtonEx(float(w), float(h), MeasureText(graphics, text, font),
                           m_pIcon != nullptr, int(GetWindowDpi(m_hWnd)));
        if (m_pIcon) DrawImageRectF(graphics, m_pIcon, layout.icon);
        DrawControlText(graphics, text, font, Gdiplus::RectF(layout.text.X, layout.text.Y, 0, 0),
                        nullptr, ToArgb(TextColor()));
    }

    Gdiplus::ARGB m_clrBorder = 0xFFEAEAEA;
    int m_nBorderWidth = 2;
    ImagePtr m_pIcon;
};
