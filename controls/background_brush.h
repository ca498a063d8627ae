#pragma once
// The brush a control answers to its colour message for a background mode: none to paint over
// for TRANSPARENT, its background colour otherwise.

#include <windows.h>

inline HBRUSH MakeBackgroundBrush(int mode, COLORREF background) {
    return mode == TRANSPARENT ? static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH))
                               : ::CreateSolidBrush(background);
}
