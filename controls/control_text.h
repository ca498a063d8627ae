#pragma once
// A control's window text: reading it, measuring it and drawing it with GDI+.

#include <windows.h>

#include <string>

#include "controls/control_font.h"
#include "res/colors.h"
#include "windowing/gdi_handles.h"
#include "windowing/gdiplus_handles.h"
#include "windowing/window.h"

inline std::wstring ReadWindowText(HWND control) {
    return CWindow(control).GetWindowText();
}

// The bounding box of `text` laid out without limits; empty when GDI+ cannot measure it.
inline Gdiplus::SizeF MeasureText(Gdiplus::GpGraphics* graphics, const std::wstring& text,
                                  Gdiplus::GpFont* font) {
    const Gdiplus::RectF layout(0, 0, 0, 0);
    Gdiplus::RectF box(0, 0, 0, 0);
    if (Gdiplus::DllExports::GdipMeasureString(graphics, text.c_str(), INT(text.size()), font,
                                               &layout, nullptr, &box, nullptr,
                                               nullptr) != Gdiplus::Ok) {
        return Gdiplus::SizeF(0, 0);
    }
    return Gdiplus::SizeF(box.Width, box.Height);
}

// The control's current text in its current font, measured on its own DC.
inline Gdiplus::SizeF MeasureWindowText(HWND control) {
    CWindowDC dc(control, CWindowDC::ClientArea);
    if (!dc) return Gdiplus::SizeF(0, 0);
    const CGpFont font = CreateControlFont(control, dc);
    CGpGraphics graphics;
    Gdiplus::DllExports::GdipCreateFromHDC(dc, graphics.Put());
    return MeasureText(graphics, ReadWindowText(control), font);
}

// A string format with the given horizontal and vertical alignment, or none (null) for the
// default layout.
inline CGpStringFormat CreateAlignedFormat(Gdiplus::StringAlignment alignment,
                                           Gdiplus::StringAlignment lineAlignment) {
    CGpStringFormat format;
    if (Gdiplus::DllExports::GdipCreateStringFormat(0, LANG_NEUTRAL, format.Put()) == Gdiplus::Ok) {
        Gdiplus::DllExports::GdipSetStringFormatAlign(format, alignment);
        Gdiplus::DllExports::GdipSetStringFormatLineAlign(format, lineAlignment);
    }
    return format;
}

// Draws `text` in `layout` with a solid brush of `argb`.
inline void DrawControlText(Gdiplus::GpGraphics* graphics, const std::wstring& text,
                            Gdiplus::GpFont* font, const Gdiplus::RectF& layout,
                            Gdiplus::GpStringFormat* format, Gdiplus::ARGB argb) {
    CGpSolidBrush brush;
    Gdiplus::DllExports::GdipCreateSolidFill(argb, brush.Put());
    Gdiplus::DllExports::GdipDrawString(graphics, text.c_str(), INT(text.size()), font, &layout,
                                        format, brush);
}

// The control's own text in its font, left-aligned and centred vertically in `layout`: the line
// of text of the link and of the controls with a picture beside it.
inline void DrawWindowTextLine(HWND control, HDC itemDC, Gdiplus::GpGraphics* graphics,
                               const Gdiplus::RectF& layout, COLORREF color) {
    const CGpFont font = CreateControlFont(control, itemDC);
    const CGpStringFormat format =
        CreateAlignedFormat(Gdiplus::StringAlignmentNear, Gdiplus::StringAlignmentCenter);
    DrawControlText(graphics, ReadWindowText(control), font, layout, format, ToArgb(color));
}
