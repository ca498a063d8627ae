#pragma once
// The outline of the pill-shaped button: four quarter arcs joined by straight edges.

#include <windows.h>

#include <array>

#include "windowing/gdiplus_handles.h"

struct PathArc {
    int x;
    int y;
    int side;          // the arc's bounding square
    float startAngle;  // degrees; every arc sweeps 90
};

// Top-left, top-right, bottom-right, bottom-left. The diameter is limited to the width, then the
// height. With a diameter of exactly 20 the last three arcs are one pixel larger and placed as
// for a rectangle one pixel narrower and lower.
inline std::array<PathArc, 4> RoundRectArcs(int x, int y, int width, int height, int diameter) {
    int d = diameter;
    if (d > width) d = width;
    if (d > height) d = height;
    int side = d;
    int w2 = width;
    int h2 = height;
    if (d == 20) {
        side = 21;
        w2 = width - 1;
        h2 = height - 1;
    }
    const int x2 = x + w2 - d - 1;
    const int y2 = y + h2 - d - 1;
    return {{{x, y, d, 180.0f}, {x2, y, side, 270.0f}, {x2, y2, side, 0.0f}, {x, y2, side, 90.0f}}};
}

// A closed path for the rectangle; null only when GDI+ cannot make a path. Arcs GDI+ refuses
// (no area) are left out.
inline CGpPath BuildRoundRectPath(int x, int y, int width, int height, int diameter) {
    CGpPath path;
    if (Gdiplus::DllExports::GdipCreatePath(Gdiplus::FillModeAlternate, path.Put()) !=
        Gdiplus::Ok) {
        return {};
    }
    for (const PathArc& arc : RoundRectArcs(x, y, width, height, diameter)) {
        Gdiplus::DllExports::GdipAddPathArcI(path, arc.x, arc.y, arc.side, arc.side, arc.startAngle,
                                             90.0f);
    }
    Gdiplus::DllExports::GdipClosePathFigure(path);
    return path;
}
