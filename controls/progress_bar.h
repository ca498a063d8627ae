#pragma once
// CProgressBar: a flat framed bar filled from the left, with the percentage in a column to its
// right. It paints itself on WM_PAINT through a white off-screen bitmap.

#include <windows.h>

#include <cwchar>
#include <string>

#include "res/colors.h"
#include "controls/control_font.h"
#include "controls/control_text.h"
#include "controls/offscreen_paint.h"
#include "res/dpi.h"
#include "windowing/gdi_handles.h"
#include "windowing/gdiplus_handles.h"
#include "windowing/message_map.h"
#include "windowing/standard_controls.h"
#include "windowing/window_impl.h"

constexpr int kPercentColumnUnits = 47;

// NaN and values below 0 count as empty, values above 1 as full, so the bar never runs under the
// percentage and the integer conversions stay defined.
inline float ClampProgress(float progress) {
    if (!(progress >= 0.0f)) return 0.0f;
    return progress > 1.0f ? 1.0f : progress;
}

struct ProgressBarGeometry {
    int barWidth;     // framed bar, from the client's left
    int barHeight;    // the frame's bottom edge lies on the row below
    int fillWidth;    // filled part of the bar, from its left
    int columnWidth;  // percentage column right of the bar
};

// A control narrower than the column or without height gets an empty bar, never a negative one.
inline ProgressBarGeometry MeasureProgressBar(int width, int height, UINT dpi, float progress) {
    ProgressBarGeometry g{};
    g.columnWidth = UnitsToPixels(kPercentColumnUnits, int(dpi));
    g.barWidth = width > g.columnWidth ? width - g.columnWidth : 0;
    g.barHeight = height > 1 ? height - 1 : 0;
    g.fillWidth = int(float(g.barWidth) * ClampProgress(progress));
    return g;
}

// "00%" to "100%", truncated toward zero.
inline std::wstring FormatPercent(float progress) {
    wchar_t text[8] = {};
    std::swprintf(text, 8, L"%02d%%", int(ClampProgress(progress) * 100.0f));
    return text;
}

class CProgressBar : public CWindowImpl<CProgressBar, CStaticT<CWindow>, CControlWinTraits> {
public:
    BEGIN_MSG_MAP(CProgressBar)
        MESSAGE_HANDLER(WM_ERASEBKGND, OnEraseBkgnd)
        MESSAGE_HANDLER(WM_PAINT, OnPaint)
        MESSAGE_HANDLER(WM_PRINTCLIENT, OnPrintClient)
    END_MSG_MAP()

    // Repaints only when the value changes, so a stream of equal reports costs no paint.
    void SetProgress(float progress) {
        if (progress == m_fProgress) return;
        m_fProgress = progress;
        Invalidate();
    }
    float Progress() const { return m_fProgress; }

    void SetColors(COLORREF border, COLORREF track, COLORREF bar) {
        m_clrBorder = border;
        m_clrTrack = track;
        m_clrBar = bar;
        Invalidate();
    }

    LRESULT OnEraseBkgnd(UINT, WPARAM, LPARAM, BOOL&) { return 1; }

    LRESULT OnPaint(UINT, WPARAM, LPARAM, BOOL&) {
        PAINTSTRUCT ps{};
        const HDC hdc = ::BeginPaint(this->m_hWnd, &ps);
        if (hdc) Paint(hdc);
        ::EndPaint(this->m_hWnd, &ps);
        return 0;
    }

    // The same picture for PrintWindow and for a parent painting its children into a bitmap.
    LRESULT OnPrintClient(UINT, WPARAM wParam, LPARAM, BOOL&) {
        if (wParam) Paint(reinterpret_cast<HDC>(wParam));
        return 0;
    }

private:
    void Paint(HDC target) {
        RECT client{};
        ::GetClientRect(this->m_hWnd, &client);
        PaintOffscreen(target, client, OffscreenBackground::White,
                       [&](Gdiplus::GpGraphics* graphics) { Draw(graphics, client, m_fProgress); });
    }

    void Draw(Gdiplus::GpGraphics* graphics, const RECT& client, float progress) {
        using namespace Gdiplus::DllExports;
        const ProgressBarGeometry g =
            MeasureProgressBar(client.right - client.left, client.bottom - client.top,
                               GetWindowDpi(this->m_hWnd), progress);
        CGpSolidBrush track;
        GdipCreateSolidFill(ToArgb(m_clrTrack), track.Put());
        GdipFillRectangleI(graphics, track, client.left, client.top, g.barWidth, g.barHeight);
        if (g.fillWidth > 0) {
            CGpSolidBrush bar;
            GdipCreateSolidFill(ToArgb(m_clrBar), bar.Put());
            GdipFillRectangleI(graphics, bar, client.left, client.top, g.fillWidth, g.barHeight);
        }
        CGpPen frame;
        GdipCreatePen1(ToArgb(m_clrBorder), 1.0f, Gdiplus::UnitWorld, frame.Put());
        GdipDrawRectangleI(graphics, frame, client.left, client.top, g.barWidth, g.barHeight);

        CWindowDC dc(this->m_hWnd, CWindowDC::ClientArea);
        const CGpFont font = CreateControlFont(this->m_hWnd, dc);
        const CGpStringFormat format =
            CreateAlignedFormat(Gdiplus::StringAlignmentFar, Gdiplus::StringAlignmentCenter);
        const Gdiplus::RectF column(float(client.left + g.barWidth), float(client.top),
                                    float(g.columnWidth), float(g.barHeight));
        DrawControlText(graphics, FormatPercent(progress), font, column, format, 0xFF000000);
    }

    COLORREF m_clrBorder = 0;
    COLORREF m_clrTrack = 0;
    COLORREF m_clrBar = 0;
    // Set on the window's thread only, where the worker's reports are shown.
    float m_fProgress = 0.5f;
};
