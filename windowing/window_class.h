#pragma once
// The window classes behind CWindowImpl: one registration per C++ window class, and the hand-over
// of the C++ object to its window during creation.

#include <windows.h>

namespace windowing {

struct WindowClass {
    ATOM atom = 0;                            // 0 when registration failed
    WNDPROC standardProc = ::DefWindowProcW;  // receives what the message map leaves
    int objectOffset = 0;  // window-bytes offset of the pointer to the C++ object
};

// With a standard class name ("BUTTON", "STATIC", "EDIT") registers a copy of that class (style,
// cursor, background, window bytes) whose unhandled messages go to the standard procedure.
// Without one, registers the plain top-level class whose unhandled messages go to
// DefWindowProcW. Either way one pointer-sized slot for the C++ object is appended to the
// window bytes, `proc` becomes the window procedure, and the name is generated from `key`, which
// is unique per C++ class.
WindowClass RegisterWindowClass(LPCWSTR standardName, WNDPROC proc, const void* key);

// Create names its object here and also passes it as the creation parameter; WM_NCCREATE claims
// it only when both agree, so a creation parameter from anyone else is never taken for an object.
void BeginCreation(void* object);
void* ClaimCreation(LPARAM nccreateLParam);
void EndCreation();

HINSTANCE ModuleInstance();

}  // namespace windowing
