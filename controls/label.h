#pragma once
// CLabel: static text. Owner-drawn (SS_OWNERDRAW) it paints its text with GDI+ in one of three
// alignments over an optional background; otherwise the system paints the text and the label
// supplies the background.

#include <windows.h>

#include "res/colors.h"
#include "controls/background_brush.h"
#include "controls/control_font.h"
#include "controls/control_text.h"
#include "controls/static_background.h"
#include "windowing/gdi_handles.h"
#include "windowing/gdiplus_handles.h"
#include "windowing/message_map.h"
#include "windowing/owner_draw.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

// 1 centre, 2 far (right); anything else near (left).
inline Gdiplus::StringAlignment LabelAlignment(int align) {
    switch (align) {
        case 1:
            return Gdiplus::StringAlignmentCenter;
        case 2:
            return Gdiplus::StringAlignmentFar;
        default:
            return Gdiplus::StringAlignmentNear;
    }
}

// Whole pixels, truncated toward zero.
inline SIZE TruncateSize(const Gdiplus::SizeF& size) {
    return SIZE{LONG(size.Width), LONG(size.Height)};
}

class CLabel : public CWindowImpl<CLabel, CStaticT<CWindow>, CControlWinTraits>,
               public COwnerDraw<CLabel>,
               public CStaticBackground<CLabel> {
public:
    int m_nBkMode = OPAQUE;
    int m_nAlign = 0;
    COLORREF m_clrBk = RGB(255, 255, 255);
    COLORREF m_clrText = 0;
    CBrush m_hBkBrush{static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH))};

    BEGIN_MSG_MAP(CLabel)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBackground)
        MESSAGE_HANDLER(WM_SETTEXT, OnSetText)
        CHAIN_MSG_MAP(CStaticBackground<CLabel>)
        CHAIN_MSG_MAP(COwnerDraw<CLabel>)
        DEFAULT_REFLECTION_HANDLER()
    END_MSG_MAP()

    // The system static draws a simple label's text cell by cell and erases nothing, so the rest
    // of an opaque label would keep whatever was on the screen: fill it with the label's brush.
    LRESULT OnEraseBackground(UINT, WPARAM wParam, LPARAM, BOOL&) {
        if (m_nBkMode != TRANSPARENT && wParam) {
            RECT client{};
            ::GetClientRect(this->m_hWnd, &client);
            ::FillRect(reinterpret_cast<HDC>(wParam), &client, m_hBkBrush.Get());
        }
        return TRUE;
    }

    // The system static paints a new simple text over the old one without erasing, so a shorter
    // text would keep the tail of the longer one: repaint the whole label instead.
    LRESULT OnSetText(UINT msg, WPARAM wParam, LPARAM lParam, BOOL&) {
        const LRESULT result = DefWindowProc(msg, wParam, lParam);
        Invalidate(TRUE);
        return result;
    }

    // Transparent over the banner, or opaque on its own background colour.
    void SetBackgroundMode(int mode) {
        m_nBkMode = mode;
        m_hBkBrush.Reset(MakeBackgroundBrush(mode, m_clrBk));
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
        if (GdipCreateFromHDC(item->hDC, graphics.Out()) != Gdiplus::Ok) return;
        if (m_nBkMode != TRANSPARENT) {
            CGpSolidBrush background;
            GdipCreateSolidFill(ToArgb(m_clrBk), background.Out());
            GdipFillRectangleI(graphics, background, client.left, client.top, w, h);
        }
        const CGpFont font = CreateControlFont(this->m_hWnd, item->hDC);
        const CGpStringFormat format =
            CreateAlignedFormat(LabelAlignment(m_nAlign), Gdiplus::StringAlignmentCenter);
        const Gdiplus::RectF layout(float(client.left), float(client.top), float(w), float(h));
        DrawControlText(graphics, ReadWindowText(this->m_hWnd), font, layout, format,
                        ToArgb(m_clrText));
    }
};
