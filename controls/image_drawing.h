#pragma once
// Drawing the shared skin pictures through the GDI+ flat API.

#include <windows.h>

#include "res/images.h"
#include "windowing/gdiplus_handles.h"

// Draws `image` scaled to the rectangle; an empty handle draws nothing.
inline void DrawImageRect(Gdiplus::GpGraphics* graphics, const ImagePtr& image, int x, int y,
                          int width, int height) {
    if (Gdiplus::GpImage* native = NativeImage(image)) {
        Gdiplus::DllExports::GdipDrawImageRectI(graphics, native, x, y, width, height);
    }
}

inline void DrawImageRectF(Gdiplus::GpGraphics* graphics, const ImagePtr& image,
                           const Gdiplus::RectF& rect) {
    if (Gdiplus::GpImage* native = NativeImage(image)) {
        Gdiplus::DllExports::GdipDrawImageRect(graphics, native, rect.X, rect.Y, rect.Width,
                                               rect.Height);
    }
}
