#include "ui/hit_test.h"

LRESULT HitTestCode(POINT client) {
    return client.y >= kDragBandFirstRow && client.y <= kDragBandLastRow ? HTCAPTION : HTCLIENT;
}

POINT PointFromLParam(LPARAM lParam) {
    const auto word = static_cast<DWORD_PTR>(lParam);
    return {static_cast<short>(word & 0xFFFF), static_cast<short>((word >> 16) & 0xFFFF)};
}

RECT ProposedClientRect(const RECT& proposed, bool calcValidRects) {
    RECT r = proposed;
    if (calcValidRects) r.bottom -= 1;
    return r;
}
