#pragma once
// Skin pictures: PNG resources decoded once by GDI+ and shared by every holder.

#include <windows.h>

#include <cstddef>
#include <memory>

#include "platform/resource_bytes.h"
#include "res/image_ids.h"
#include "windowing/gdiplus_handles.h"

// One decoded picture, shared by every control that shows it; empty means no picture, which
// draws nothing. GDI+ must be running while any handle lives.
using ImagePtr = std::shared_ptr<const CGpImage>;

inline ImagePtr ShareImage(CGpImage image) {
    if (!image) return {};
    return std::make_shared<const CGpImage>(std::move(image));
}

// The flat-API object behind a picture; null for an empty handle.
inline Gdiplus::GpImage* NativeImage(const ImagePtr& image) {
    return image ? image->Get() : nullptr;
}

// The bytes of PNG resource `id` in the variant the loader picks for the thread's UI language.
ResourceBytes FindPngResource(unsigned id);

// Decodes a copy of the bytes; empty when there are no bytes or they are no picture GDI+ reads.
ImagePtr DecodePng(const void* data, size_t size);

ImagePtr LoadPngResource(unsigned id);
