#include "ui/layout.h"

#include <algorithm>

#include "ui/pages.h"

namespace {

int Width(const RECT& r) {
    return r.right - r.left;
}
int Height(const RECT& r) {
    return r.bottom - r.top;
}

struct Design {
    LayoutAnchor anchor;
    int32_t x, y, width, height;
    LayoutFont font;
};

// Member order. Measured sizes, the banner height and the neighbour-relative places are filled in
// by LayoutControlRects; their zeros here are placeholders.
constexpr std::array<Design, kControlCount> kDesign = {{
    {AnchorTopLeft, 16, 13, 500, 24, LayoutFont::Small},    // title
    {AnchorTopRight, 8, 4, 30, 30, LayoutFont::None},       // close button
    {AnchorTopLeft, 0, 0, 600, 0, LayoutFont::None},        // banner
    {AnchorTopLeft, 200, 260, 200, 40, LayoutFont::Small},  // install button
    {AnchorTopLeft, 16, 330, 0, 0, LayoutFont::Small},      // agreement check box
    {AnchorTopLeft, 0, 0, 0, 0, LayoutFont::Small},         // licence link
    {AnchorTopRight, 16, 330, 0, 0, LayoutFont::Small},     // custom toggle
    {AnchorTopLeft, 16, 374, 0, 0, LayoutFont::Small},      // location caption
    {AnchorTopLeft, 80, 366, 400, 28, LayoutFont::Small},   // path edit
    {AnchorTopRight, 16, 366, 96, 28, LayoutFont::Small},   // Select Path button
    {AnchorTopLeft, 16, 302, 568, 22, LayoutFont::Small},   // status text
    {AnchorTopLeft, 16, 332, 568, 12, LayoutFont::Small},   // progress bar
    {AnchorTopLeft, 274, 89, 52, 52, LayoutFont::None},     // result picture
    {AnchorTopLeft, 16, 156, 568, 28, LayoutFont::Large},   // result title
    {AnchorTopLeft, 16, 188, 568, 20, LayoutFont::Small},   // result text
    {AnchorTopLeft, 202, 248, 200, 40, LayoutFont::Small},  // Finish button
    {AnchorTopLeft, 16, 326, 0, 0, LayoutFont::Small},      // desktop-shortcut check box
    {AnchorTopLeft, 0, 0, 0, 0, LayoutFont::Small},         // launch check box
    {AnchorTopLeft, 169, 250, 263, 42, LayoutFont::Small},  // contact button
}};

constexpr int kLaunchGapUnits = 20;
constexpr int kPathEditGapUnits = 5;

}  // namespace

RECT PlaceRect(const LayoutSpec& spec, const RECT& reference, int dpi) {
    const int sx = UnitsToPixels(spec.x, dpi);
    const int sy = UnitsToPixels(spec.y, dpi);
    const int sw = std::max(0, UnitsToPixels(spec.width, dpi));
    const int sh = std::max(0, UnitsToPixels(spec.height, dpi));
    // Offsets are taken from the reference's own edges so that a work area away from the origin
    // works too; for client rectangles (left and top 0) this is the plain x and y.
    RECT r{reference.left + sx, reference.top + sy, 0, 0};
    switch (spec.anchor) {
        case AnchorCenter:
            r.left = reference.left + (Width(reference) - sw) / 2;
            r.top = reference.top + (Height(reference) - sh) / 2;
            break;
        case AnchorTopRight:
            r.left = reference.right - sx - sw;
            break;
        default:
            break;
    }
    r.right = r.left + sw;
    r.bottom = r.top + sh;
    return r;
}

int WindowHeightUnits(int page, bool customExpanded) {
    return page == PageWelcome && customExpanded ? kWindowHeightUnits + kCustomSectionUnits
                                                 : kWindowHeightUnits;
}

int BannerHeightUnits(int page) {
    return page == PageWelcome ? 236 : 282;
}

RECT WindowRect(const RECT& screen, int dpi, int page, bool customExpanded) {
    return PlaceRect(
        {AnchorCenter, 0, 0, kWindowWidthUnits, WindowHeightUnits(page, customExpanded)}, screen,
        dpi);
}

RECT ToggleCustomSection(const RECT& window, bool wasExpanded, int dpi) {
    const int delta = UnitsToPixels(kCustomSectionUnits, dpi);
    RECT r = window;
    r.bottom += wasExpanded ? -delta : delta;
    return r;
}

RECT ClientReference(const RECT& window) {
    return {0, 0, Width(window), Height(window)};
}

LayoutFont FontFor(ControlRole role) {
    return kDesign[RoleIndex(role)].font;
}

bool IsMeasured(ControlRole role) {
    switch (role) {
        case ControlRole::AgreeCheck:
        case ControlRole::LicenceLink:
        case ControlRole::CustomToggle:
        case ControlRole::LocationLabel:
        case ControlRole::ShortcutCheck:
        case ControlRole::LaunchCheck:
            return true;
        default:
            return false;
    }
}

ControlRects LayoutControlRects(const RECT& reference, int dpi, int page,
                                const MeasuredSizes& measured) {
    ControlRects placed{};
    auto at = [&placed](ControlRole role) -> RECT& { return placed[RoleIndex(role)]; };
    for (ControlRole role : kMemberOrder) {
        const Design& d = kDesign[RoleIndex(role)];
        LayoutSpec spec{d.anchor, d.x, d.y, d.width, d.height};
        if (IsMeasured(role)) {
            const SIZE& size = measured[RoleIndex(role)];
            spec.width = PixelsToUnits(size.cx, dpi);
            spec.height = PixelsToUnits(size.cy, dpi);
        }
        if (role == ControlRole::Banner) spec.height = BannerHeightUnits(page);
        if (role == ControlRole::LicenceLink) {
            const RECT& agree = at(ControlRole::AgreeCheck);
            spec.x = PixelsToUnits(agree.right - reference.left, dpi);
            spec.y = PixelsToUnits(agree.top - reference.top, dpi);
        }
        if (role == ControlRole::LaunchCheck) {
            const RECT& shortcut = at(ControlRole::ShortcutCheck);
            const int right = shortcut.right - reference.left;
            spec.x = PixelsToUnits(right + UnitsToPixels(kLaunchGapUnits, dpi), dpi);
            spec.y = PixelsToUnits(shortcut.top - reference.top, dpi);
        }
        RECT r = PlaceRect(spec, reference, dpi);
        if (role == ControlRole::PathEdit) {
            // The edit starts just after the caption, whatever its length, but never past its
            // own right edge.
            const int left =
                at(ControlRole::LocationLabel).right + UnitsToPixels(kPathEditGapUnits, dpi);
            r.left = std::min<LONG>(left, r.right);
        }
        at(role) = r;
    }
    return placed;
}
