#pragma once
// Painting a control through an off-screen bitmap, copied to the item's DC in one BitBlt so the
// control never flickers.

#include <windows.h>

#include <utility>

#include "windowing/gdi_handles.h"
#include "windowing/gdiplus_handles.h"

enum class OffscreenBackground { Untouched, White };

// Makes the bitmap, the memory DC and the GDI+ graphics on it; releases the graphics, then the
// memory DC (with the bitmap selected out), then the bitmap.
class COffscreenPaint {
public:
    COffscreenPaint(HDC target, const RECT& client, OffscreenBackground background)
        : m_target(target),
          m_client(client),
          m_width(client.right - client.left),
          m_height(client.bottom - client.top),
          m_bitmap(m_width > 0 && m_height > 0 ? ::CreateCompatibleBitmap(target, m_width, m_height)
                                               : nullptr),
          m_memory(::CreateCompatibleDC(target)),
          m_select(m_memory, m_bitmap) {
        if (!m_bitmap || !m_memory) return;
        if (background == OffscreenBackground::White) FillWhite();
        Gdiplus::DllExports::GdipCreateFromHDC(m_memory, m_graphics.Put());
    }
    COffscreenPaint(const COffscreenPaint&) = delete;
    COffscreenPaint& operator=(const COffscreenPaint&) = delete;

    // Null when the control has no area or the bitmap could not be made: nothing to draw.
    Gdiplus::GpGraphics* Graphics() const { return m_graphics; }

    void CopyToTarget() {
        if (!m_graphics) return;
        Gdiplus::DllExports::GdipFlush(m_graphics, Gdiplus::FlushIntentionSync);
        ::BitBlt(m_target, 0, 0, m_width, m_height, m_memory, 0, 0, SRCCOPY);
    }

private:
    void FillWhite() {
        const COLORREF previous = ::SetBkColor(m_memory, RGB(255, 255, 255));
        ::ExtTextOutW(m_memory, 0, 0, ETO_OPAQUE, &m_client, nullptr, 0, nullptr);
        ::SetBkColor(m_memory, previous);
    }

    HDC m_target;
    RECT m_client;
    int m_width;
    int m_height;
    CBitmap m_bitmap;
    CMemoryDC m_memory;
    CSelectGuard m_select;
    CGpGraphics m_graphics;
};

// Runs draw(graphics) on an off-screen copy of `client` and copies the result to `target`.
template <class TDraw>
void PaintOffscreen(HDC target, const RECT& client, OffscreenBackground background, TDraw&& draw) {
    COffscreenPaint paint(target, client, background);
    if (!paint.Graphics()) return;
    std::forward<TDraw>(draw)(paint.Graphics());
    paint.CopyToTarget();
}

// An owner-drawn control's item painted off screen over its whole client area:
// draw(graphics, client).
template <class TDraw>
void PaintItemOffscreen(HWND control, const DRAWITEMSTRUCT& item, OffscreenBackground background,
                        TDraw&& draw) {
    RECT client{};
    ::GetClientRect(control, &client);
    PaintOffscreen(item.hDC, client, background,
                   [&](Gdiplus::GpGraphics* graphics) { draw(graphics, client); });
}
