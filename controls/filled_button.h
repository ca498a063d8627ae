#pragma once
// CFilledButton<T>: the flat buttons drawn as a fill with text (CButtonEx, CRoundButton). Besides
// the pointer tracking and clicks of CHoverClick and the text colour it keeps a fill for each
// state; changing them repaints the button.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "controls/hover_click.h"
#include "controls/text_color.h"

struct ButtonFills {
    Gdiplus::ARGB normal;
    Gdiplus::ARGB hover;
    Gdiplus::ARGB pressed;
};

// Pressed wins over the pointer being over the button.
constexpr Gdiplus::ARGB StateFill(const ButtonFills& fills, bool hover, bool pressed) {
    return pressed ? fills.pressed : hover ? fills.hover : fills.normal;
}

template <class T>
class CFilledButton : public CHoverClick<T>, public CTextColor<T> {
public:
    void SetFills(const ButtonFills& fills) {
        m_fills = fills;
        static_cast<T*>(this)->Invalidate();
    }

protected:
    CFilledButton(const ButtonFills& fills, COLORREF text) : CTextColor<T>(text), m_fills(fills) {}

    Gdiplus::ARGB CurrentFill(bool pressed) const {
        return StateFill(m_fills, this->IsHovering(), pressed);
    }

private:
    ButtonFills m_fills;
};
