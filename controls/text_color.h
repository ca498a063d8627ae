#pragma once
// CTextColor<T>: the colour a skinned control draws its text in, black unless given another.
// Changing it repaints the control.

#include <windows.h>

template <class T>
class CTextColor {
public:
    void SetTextColor(COLORREF color) {
        m_clrText = color;
        static_cast<T*>(this)->Invalidate();
    }

protected:
    explicit CTextColor(COLORREF color = 0) : m_clrText(color) {}

    COLORREF TextColor() const { return m_clrText; }

private:
    COLORREF m_clrText;
};
