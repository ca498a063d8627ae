#pragma once
// Lengths of the design are 96-DPI units, scaled to the DPI of the window's monitor.

#include <windows.h>

constexpr UINT kReferenceDpi = 96;

// MulDiv rounds to the nearest pixel (37.5 becomes 38).
inline int UnitsToPixels(int units, UINT dpi) {
    return MulDiv(units, int(dpi), kReferenceDpi);
}
inline int PixelsToUnits(int pixels, UINT dpi) {
    return MulDiv(pixels, kReferenceDpi, int(dpi));
}

// DPI of the window's monitor; the desktop window is allowed. Never 0: a handle that is no
// window reports the system DPI.
UINT GetWindowDpi(HWND window);
