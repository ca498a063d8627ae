#pragma once
// CFilledButton<T>: the flat buttons drawn as a fill with text (CButtonEx, CRoundButton). Besides
// the pointer tracking and clicks of CHoverClick it keeps a fill for each state and the text
// colour; changing them repaints the button.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include "controls/hover_click.h"

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
class CFilledButton : public CHoverClick<T> {
public:
    void SetFills(const ButtonFills& fills) {
        m_fills = fills;
        static_cast<T*>(this)->Invalidate();
    }
    void SetTextColor(COLORREF color) {
        m_clrText = color;
        static_cast<T*>(this)->Invalidate();
    }

protected:
    CFilledButton(const ButtonFills& fills, COLORREF text) : m_fills(fills), m_clrText(text) {}

    Gdiplus::ARGB CurrentFill(bool pressed) const {
        return StateFill(m_fills, this->IsHovering(), pressed);
    }
    COLORREF TextColor() const { return m_clrText; }

private:
    ButtonFills m_fills;
    COLORREF m_clrText;
};
