#pragma once
// Pictures of one colour, to tell in a painted control which picture was drawn. GDI+ must run.

#include <windows.h>

#include "controls/image_drawing.h"
#include "res/images.h"

namespace testing_support {

inline ImagePtr SolidImage(Gdiplus::ARGB color, int width = 8, int height = 8) {
    ImagePtr image(new Gdiplus::Bitmap(width, height, PixelFormat32bppARGB));
    CGpGraphics graphics;
    if (Gdiplus::DllExports::GdipGetImageGraphicsContext(NativeImage(image), graphics.Out()) ==
        Gdiplus::Ok) {
        Gdiplus::DllExports::GdipGraphicsClear(graphics, color);
    }
    return image;
}

}  // namespace testing_support
