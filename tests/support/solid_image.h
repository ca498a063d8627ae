#pragma once
// Pictures of one colour, to tell in a painted control which picture was drawn. GDI+ must run.

#include <windows.h>

#include "controls/image_drawing.h"
#include "res/images.h"

namespace testing_support {

// A blank 32-bit ARGB picture; empty when GDI+ cannot make one.
inline ImagePtr BlankImage(int width, int height) {
    Gdiplus::GpBitmap* bitmap = nullptr;
    if (Gdiplus::DllExports::GdipCreateBitmapFromScan0(width, height, 0, PixelFormat32bppARGB,
                                                       nullptr, &bitmap) != Gdiplus::Ok)
        return {};
    return ShareImage(CGpImage(bitmap));
}

inline ImagePtr SolidImage(Gdiplus::ARGB color, int width = 8, int height = 8) {
    ImagePtr image = BlankImage(width, height);
    CGpGraphics graphics;
    if (Gdiplus::DllExports::GdipGetImageGraphicsContext(NativeImage(image), graphics.Put()) ==
        Gdiplus::Ok) {
        Gdiplus::DllExports::GdipGraphicsClear(graphics, color);
    }
    return image;
}

}  // namespace testing_support
