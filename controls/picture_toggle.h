#pragma once
// CPictureToggle<T>: the state of the controls drawn as one of two pictures beside a line of text
// (the check box and the custom-installation toggle): on or off, the two pictures and the text
// colour. Changing any of them repaints the control. A click raises the standard BN_CLICKED and
// changes nothing: the owner toggles. Screen readers learn the control's role and its on or off
// state by annotation, kept up to date as the state, the focus and the visibility change; chained
// with CHAIN_MSG_MAP(CPictureToggle<T>).

#include <windows.h>

#include <utility>

#include "controls/text_color.h"
#include "res/images.h"
#include "windowing/accessibility.h"
#include "windowing/message_map.h"

template <class T>
class CPictureToggle : public CTextColor<T> {
public:
    BEGIN_MSG_MAP(CPictureToggle<T>)
        MESSAGE_HANDLER(WM_CREATE, OnCreate)
        MESSAGE_HANDLER(WM_SETFOCUS, OnSetFocus)
        MESSAGE_HANDLER(WM_KILLFOCUS, OnKillFocus)
        MESSAGE_HANDLER(WM_SHOWWINDOW, OnShowWindow)
        MESSAGE_HANDLER(WM_NCDESTROY, OnNcDestroy)
    END_MSG_MAP()

    // The skin's pictures unless the owner gives others; an empty one draws nothing.
    void SetImages(ImagePtr off, ImagePtr on) {
        m_pImgOff = std::move(off);
        m_pImgOn = std::move(on);
        Repaint();
    }

    // Each handler lets the standard button go on.
    LRESULT OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
        AnnotateRole(Window(), m_accessibility.role);
        AnnotateToggleState(false, false);
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnSetFocus(UINT, WPARAM, LPARAM, BOOL& bHandled) {
        AnnotateToggleState(true, ::IsWindowVisible(Window()) != FALSE);
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnKillFocus(UINT, WPARAM, LPARAM, BOOL& bHandled) {
        AnnotateToggleState(false, ::IsWindowVisible(Window()) != FALSE);
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnShowWindow(UINT, WPARAM wParam, LPARAM, BOOL& bHandled) {
        AnnotateToggleState(::GetFocus() == Window(), wParam != FALSE);
        bHandled = FALSE;
        return 0;
    }
    LRESULT OnNcDestroy(UINT, WPARAM, LPARAM, BOOL& bHandled) {
        ClearAnnotations(Window());
        bHandled = FALSE;
        return 0;
    }

protected:
    CPictureToggle(ImageId off, ImageId on, const ToggleAccessibility& accessibility)
        : m_pImgOff(LoadPngResource(off)),
          m_pImgOn(LoadPngResource(on)),
          m_accessibility(accessibility) {}

    bool IsOn() const { return m_bOn; }
    void SetOn(bool on) {
        if (on == m_bOn) return;
        m_bOn = on;
        Repaint();
        if (!Window()) return;
        AnnotateToggleState(::GetFocus() == Window(), ::IsWindowVisible(Window()) != FALSE);
        AnnounceStateChange(Window());
    }
    const ImagePtr& CurrentImage() const { return m_bOn ? m_pImgOn : m_pImgOff; }

private:
    HWND Window() const { return static_cast<const T*>(this)->m_hWnd; }
    void Repaint() { static_cast<T*>(this)->Invalidate(); }
    void AnnotateToggleState(bool focused, bool visible) {
        AnnotateState(Window(), ToggleAccessibleState(m_accessibility, m_bOn, focused, visible));
    }

    ImagePtr m_pImgOff;
    ImagePtr m_pImgOn;
    ToggleAccessibility m_accessibility;
    bool m_bOn = false;
};
