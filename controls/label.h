#pragma once
// CLabel: static text. Owner-drawn (SS_OWNERDRAW) it paints its text with GDI+ in its text colour
// and one of three alignments over an optional background; otherwise the system paints the text in
// the DC's colour and the label supplies the background.

#include <windows.h>

#include "res/colors.h"
#include "controls/background.h"
#include "controls/control_font.h"
#include "controls/control_text.h"
#include "controls/text_color.h"
#include "windowing/gdi_handles.h"
#include "windowing/gdiplus_handles.h"
#include "windowing/message_map.h"
#include "windowing/owner_draw.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

enum class LabelAlignment { Near, Centre, Far };

inline Gdiplus::StringAlignment StringAlignmentOf(LabelAlignment alignment) {
    switch (alignment) {
        case LabelAlignment::Centre:
            return Gdiplus::StringAlignmentCenter;
        case LabelAlignment::Far:
            return Gdiplus::StringAlignmentFar;
        case LabelAlignment::Near:
            break;
    }
    return Gdiplus::StringAlignmentNear;
}

// Whole pixels, truncated toward zero.
inline SIZE TruncateSize(const Gdiplus::SizeF& size) {
    return SIZE{LONG(size.Width), LONG(size.Height)};
}

class CLabel;
using CLabelBackground = CSolidBackground<CLabel, OCM_CTLCOLORSTATIC>;

class CLabel : public CWindowImpl<CLabel, CStaticT<CWindow>, CControlWinTraits>,
               public COwnerDraw<CLabel>,
               public CLabelBackground,
               public CTextColor<CLabel> {
public:
    BEGIN_MSG_MAP(CLabel)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
        CHAIN_MSG_MAP(CLabelBackground)
        CHAIN_MSG_MAP(COwnerDraw<CLabel>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    // The system static draws a simple label's text cell by cell and erases nothing, so the rest
    // of an opaque label would keep whatever was on the screen: fill it with the label's brush.
    LRESULT OnEraseBackground(UINT, WPARAM wParam, LPARAM, BOOL&) {
        if (!IsTransparent() && wParam) {
            RECT client{};
            ::GetClientRect(this->m_hWnd, &client);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, BackgroundBrush());
        }
        return TRUE;
    }

    // The system static paints a new simple text at once over the old one without erasing, so a
    // shorter text would keep the tail of the longer one: only store the text, and repaint the
    // whole label once.
    LRESULT OnSetText(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
        const LRESULT result = ::DefWindowProcW(this->m_hWnd, msg, wParam, lParam);
        Invalidate(TRUE);
        return result;
    }

    void SetAlignment(LabelAlignment alignment) {
        m_alignment = alignment;
        Invalidate();
    }

    // The text's size in the current font at the window's DPI, for the layout.
    SIZE GetTextSize() const { return TruncateSize(MeasureWindowText(this->m_hWnd)); }

    // Straight onto the item's DC; a transparent label leaves what the parent painted.
    void DrawItem(DRAWITEMSTRUCT* item) {
        using namespace Gdiplus::DllExports;
        RECT client{};
        ::GetClientRect(this->m_hWnd, &client);
        const int w = client.right - client.left;
        const int h = client.bottom - client.top;
        CGpGraphics graphics;
        if (GdipCreateFromHDC(item->hDC, graphics.Put()) != Gdiplus::Ok) return;
        if (!IsTransparent()) {
            CGpSolidBrush background;
            GdipCreateSolidFill(ToArgb(BackgroundColor()), background.Put());
            GdipFillRectangleI(graphics, background, client.left, client.top, w, h);
        }
        const CGpFont font = CreateControlFont(this->m_hWnd, item->hDC);
        const CGpStringFormat format =
            CreateAlignedFormat(StringAlignmentOf(m_alignment), Gdiplus::StringAlignmentCenter);
        const Gdiplus::RectF layout(float(client.left), float(client.top), float(w), float(h));
        DrawControlText(graphics, ReadWindowText(this->m_hWnd), font, layout, format,
                        ToArgb(TextColor()));
    }

private:
    LabelAlignment m_alignment = LabelAlignment::Near;
};
