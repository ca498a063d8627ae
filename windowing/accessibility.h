#pragma once
// What screen readers learn about a control besides its window text, which is its name: the role
// and state the standard accessibility proxy cannot know for an owner-drawn button (that it is a
// check box, a link or a toggle, and whether it is on), given by dynamic annotation
// (IAccPropServices) from the window's thread. Where annotation is not available (no COM on the
// thread, or a system that does not implement it) the proxy's own answers stand.

#include <windows.h>
#include <oleacc.h>

struct ToggleAccessibility {
    LONG role;
    LONG onState;   // ORed in while the control is on
    LONG offState;  // ORed in while it is off
};

// The state of a toggle as a screen reader should see it: focusable like every button, focused,
// invisible on a page that hides it, and on or off.
constexpr LONG ToggleAccessibleState(const ToggleAccessibility& kind, bool on, bool focused,
                                     bool visible) {
    return STATE_SYSTEM_FOCUSABLE | (focused ? STATE_SYSTEM_FOCUSED : 0) |
           (visible ? 0 : STATE_SYSTEM_INVISIBLE) | (on ? kind.onState : kind.offState);
}

// For a control whose window text is not its name, such as an edit, whose text is its value.
void AnnotateName(HWND control, const wchar_t* name);
void AnnotateRole(HWND control, LONG role);
// An annotated state replaces the proxy's whole state, so the caller annotates it again whenever
// any part of it changes.
void AnnotateState(HWND control, LONG state);
// Before the window goes, so that no annotation outlives it.
void ClearAnnotations(HWND control);
// Tells assistive tools that listen for events that the control's state changed.
void AnnounceStateChange(HWND control);
