#pragma once
// Lengths of the design are 96-DPI units, scaled to the DPI of the window's monitor.

#include <windows.h>

constexpr UINT kReferenceDpi = 96;

// A DPI that is not positive (a failed query) counts as 96, so lengths never come out as -1.
inline int NormalizeDpi(int dpi) { return dpi > 0 ? dpi : int(kReferenceDpi); }

// MulDiv rounds to the nearest pixel (37.5 becomes 38).
inline int UnitsToPixels(int units, int dpi) {
    return MulDiv(units, NormalizeDpi(dpi), kReferenceDpi);
}
inline int PixelsToUnits(int pixels, int dpi) {
    return MulDiv(pixels, kReferenceDpi, NormalizeDpi(dpi));
}

// DPI of the window's monitor; the desktop window is allowed. Never 0: a handle that is no
// window reports the system DPI.
UINT GetWindowDpi(HWND window);
