#include "res/dpi.h"

#include "platform/dll_search.h"
#include "windowing/gdi_handles.h"

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

UINT DeviceContextDpi(HWND window) {
    const CWindowDC dc(window, CWindowDC::ClientArea);
    if (!dc) return kReferenceDpi;
    const int dpi = GetDeviceCaps(dc, LOGPIXELSY);
    return dpi > 0 ? UINT(dpi) : kReferenceDpi;
}

}  // namespace

UINT GetWindowDpi(HWND window) {
    // Looked up at run time because older systems lack it.
    static const auto getDpiForWindow =
        LoadedSystemFunction<GetDpiForWindowFn>(L"user32.dll", "GetDpiForWindow");
    if (getDpiForWindow) {
        if (const UINT dpi = getDpiForWindow(window)) return dpi;
    }
    // GetDpiForWindow answers 0 for a handle that is no window; the screen's DC then decides.
    return DeviceContextDpi(IsWindow(window) ? window : nullptr);
}
