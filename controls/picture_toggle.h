#pragma once
// CPictureToggle<T>: the state of the controls drawn as one of two pictures beside a line of text
// (the check box and the custom-installation toggle): on or off, the two pictures and the text
// colour. Changing any of them repaints the control. A click raises the standard BN_CLICKED and
// changes nothing: the owner toggles.

#include <windows.h>

#include <utility>

#include "res/images.h"

template <class T>
class CPictureToggle {
public:
    void SetTextColor(COLORREF color) {
        m_clrText = color;
        Repaint();
    }
    // The skin's pictures unless the owner gives others; an empty one draws nothing.
    void SetImages(ImagePtr off, ImagePtr on) {
        m_pImgOff = std::move(off);
        m_pImgOn = std::move(on);
        Repaint();
    }

protected:
    CPictureToggle(ImageId off, ImageId on)
        : m_pImgOff(LoadPngResource(off)), m_pImgOn(LoadPngResource(on)) {}

    bool IsOn() const { return m_bOn; }
    void SetOn(bool on) {
        if (on == m_bOn) return;
        m_bOn = on;
        Repaint();
    }
    const ImagePtr& CurrentImage() const { return m_bOn ? m_pImgOn : m_pImgOff; }
    COLORREF TextColor() const { return m_clrText; }

private:
    void Repaint() { static_cast<T*>(this)->Invalidate(); }

    ImagePtr m_pImgOff;
    ImagePtr m_pImgOn;
    bool m_bOn = false;
    COLORREF m_clrText = 0;
};
