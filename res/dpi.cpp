#include "res/dpi.h"

#include "windowing/gdi_handles.h"

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

// Looked up at run time because older systems lack it; the library stays loaded.
GetDpiForWindowFn LookupGetDpiForWindow() {
    HMODULE user32 = LoadLibraryW(L"User32.dll");
    if (!user32) return nullptr;
    FARPROC proc = GetProcAddress(user32, "GetDpiForWindow");
    return reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(proc));
}

UINT DeviceContextDpi(HWND window) {
    const CWindowDC dc(window, CWindowDC::ClientArea);
    if (!dc) return kReferenceDpi;
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    return dpi > 0 ? UINT(dpi) : kReferenceDpi;
}

}  // namespace

UINT GetWindowDpi(HWND window) {
    static const GetDpiForWindowFn getDpiForWindow = LookupGetDpiForWindow();
    if (getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(window)) return dpi;
    }
    // GetDpiForWindow answers 0 for a handle that is no window; the screen's DC then decides.
    return DeviceContextDpi(IsWindow(window) ? window : nullptr);
}
