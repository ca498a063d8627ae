#pragma once
// The borderless frame: the whole window is client area, and a band along its top drags it.

#include <windows.h>

// The band is rows 1 to 99 of the client area in device pixels at every DPI; row 0 stays client
// area. Only the row matters.
constexpr int kDragBandFirstRow = 1;
constexpr int kDragBandLastRow = 99;

// HTCAPTION inside the band, HTCLIENT everywhere else.
LRESULT HitTestCode(POINT client);

// The cursor point of a mouse or hit-test message: signed 16-bit x and y, so that screens left of
// or above the primary one give negative coordinates.
POINT PointFromLParam(LPARAM lParam);

// WM_NCCALCSIZE: with wParam set the proposed client rectangle loses its last row and nothing else,
// so no caption or border is drawn; with wParam 0 it stays as it is.
RECT ProposedClientRect(const RECT& proposed, bool calcValidRects);
