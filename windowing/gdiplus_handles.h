#pragma once
// GDI+ flat-API objects owned for one paint or one measurement, each released with its own
// Gdip function, and the GDI+ session of the process.
//
//     CGpSolidBrush brush;
//     Gdiplus::DllExports::GdipCreateSolidFill(0xFFFFD521, brush.Put());
//     Gdiplus::DllExports::GdipFillRectangleI(graphics, brush, 0, 0, w, h);

#include <windows.h>

// GDI+ needs the COM types (PROPID), which the lean Windows header leaves out.
#include <wtypes.h>

#include <gdiplus.h>

#include "platform/unique_handle.h"

namespace windowing {

inline void GdipRelease(Gdiplus::GpGraphics* p) {
    Gdiplus::DllExports::GdipDeleteGraphics(p);
}
inline void GdipRelease(Gdiplus::GpFont* p) {
    Gdiplus::DllExports::GdipDeleteFont(p);
}
inline void GdipRelease(Gdiplus::GpBrush* p) {
    Gdiplus::DllExports::GdipDeleteBrush(p);
}
inline void GdipRelease(Gdiplus::GpPen* p) {
    Gdiplus::DllExports::GdipDeletePen(p);
}
inline void GdipRelease(Gdiplus::GpPath* p) {
    Gdiplus::DllExports::GdipDeletePath(p);
}
inline void GdipRelease(Gdiplus::GpStringFormat* p) {
    Gdiplus::DllExports::GdipDeleteStringFormat(p);
}
inline void GdipRelease(Gdiplus::GpImage* p) {
    Gdiplus::DllExports::GdipDisposeImage(p);
}

template <class TObject>
struct GdipTraits : platform::NullIsInvalid<TObject*> {
    static void Close(TObject* object) { GdipRelease(object); }
};

}  // namespace windowing

template <class TObject>
using CGdipHandle = CUniqueHandle<windowing::GdipTraits<TObject>>;

using CGpGraphics = CGdipHandle<Gdiplus::GpGraphics>;
using CGpFont = CGdipHandle<Gdiplus::GpFont>;
using CGpSolidBrush = CGdipHandle<Gdiplus::GpSolidFill>;
using CGpPen = CGdipHandle<Gdiplus::GpPen>;
using CGpPath = CGdipHandle<Gdiplus::GpPath>;
using CGpStringFormat = CGdipHandle<Gdiplus::GpStringFormat>;
using CGpImage = CGdipHandle<Gdiplus::GpImage>;

// GDI+ from construction to destruction: input version 1, no debug callback, background thread
// and external codecs not suppressed.
class CGdiplusSession {
public:
    CGdiplusSession() {
        const Gdiplus::GdiplusStartupInput input;
        m_status = Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
    }
    ~CGdiplusSession() {
        if (m_status == Gdiplus::Ok) Gdiplus::GdiplusShutdown(m_token);
    }
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;

    Gdiplus::Status StartupStatus() const { return m_status; }

private:
    ULONG_PTR m_token = 0;
    Gdiplus::Status m_status = Gdiplus::GdiplusNotInitialized;
};
