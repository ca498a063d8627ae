#include "controls/image_drawing.h"

namespace {

// The C++ wrapper keeps its native object private and offers no accessor; an explicit
// instantiation may name a private member, which hands its address to NativeImageMember.
template <Gdiplus::GpImage* Gdiplus::Image::*Member>
struct NativeImageAccess {
    friend Gdiplus::GpImage* Gdiplus::Image::*NativeImageMember() { return Member; }
};
Gdiplus::GpImage* Gdiplus::Image::*NativeImageMember();
template struct NativeImageAccess<&Gdiplus::Image::nativeImage>;

}  // namespace

Gdiplus::GpImage* NativeImage(const ImagePtr& image) {
    return image ? (*image).*NativeImageMember() : nullptr;
}
