#pragma once
// The GDI+ font of a control, made afresh from its WM_SETFONT font for one paint or measurement.

#include <windows.h>

#include "windowing/gdiplus_handles.h"

// The control's font when it has one, otherwise the font selected into `dc`.
inline CGpFont CreateControlFont(HWND control, HDC dc) {
    CGpFont font;
    const auto hFont = reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
    LOGFONTA logFont{};
    if (hFont && ::GetObjectA(hFont, sizeof(logFont), &logFont) == sizeof(logFont)) {
        Gdiplus::DllExports::GdipCreateFontFromLogfontA(dc, &logFont, font.Put());
    } else {
        Gdiplus::DllExports::GdipCreateFontFromDC(dc, font.Put());
    }
    return font;
}
