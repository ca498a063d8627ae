#pragma once
// Placement of the window and its controls in 96-DPI units, turned into pixels for a DPI. Nothing
// here touches a window: the caller measures the measured controls, and moves windows to the
// rectangles given back.

#include <windows.h>

#include <array>
#include <cstdint>

#include "res/dpi.h"
#include "ui/control_ids.h"

enum LayoutAnchor : int32_t {
    AnchorTopLeft = 0,
    AnchorTopRight = 1,
    AnchorCenter = 2,
};

// x and y are the distances from the edges the anchor names; all four are 96-DPI units.
struct LayoutSpec {
    LayoutAnchor anchor = AnchorTopLeft;
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// Any other anchor value behaves as AnchorTopLeft; negative lengths count as 0.
RECT PlaceRect(const LayoutSpec& spec, const RECT& reference, int dpi);

constexpr int kWindowWidthUnits = 600;
constexpr int kWindowHeightUnits = 364;
constexpr int kCustomSectionUnits = 46;

// The page number is the window's m_page (0 before the first page is shown).
int WindowHeightUnits(int page, bool customExpanded);
int BannerHeightUnits(int page);

// The window centred on the screen (or work area) rectangle.
RECT WindowRect(const RECT& screen, int dpi, int page, bool customExpanded);

// The custom-install toggle grows or shrinks the window downward, keeping its top-left corner.
RECT ToggleCustomSection(const RECT& window, bool wasExpanded, int dpi);

// The reference rectangle the controls are placed in: the client area of a window of that size,
// from the origin.
RECT ClientReference(const RECT& window);

enum class LayoutFont { None, Small, Large };

LayoutFont FontFor(ControlRole role);

// The six controls whose size comes from their own text.
bool IsMeasured(ControlRole role);

// Preferred sizes in pixels, indexed by RoleIndex; only the measured controls' entries are read.
using MeasuredSizes = std::array<SIZE, kControlCount>;
using ControlRects = std::array<RECT, kControlCount>;

ControlRects LayoutControlRects(const RECT& reference, int dpi, int page,
                                const MeasuredSizes& measured);
