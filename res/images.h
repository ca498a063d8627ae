#pragma once
// Skin pictures: PNG resources decoded once by GDI+ and shared by every holder.

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstddef>
#include <memory>

#include "res/image_ids.h"

// Empty means no picture. A picture that failed to decode is still held (its last status tells
// why) and draws nothing. GDI+ must be running while any handle lives.
using ImagePtr = std::shared_ptr<Gdiplus::Image>;

struct ResourceBytes {
    const void* data = nullptr;  // null when the resource is missing or unreadable
    size_t size = 0;
};

// The bytes of PNG resource `id` in the variant the loader picks for the thread's UI language.
ResourceBytes FindPngResource(unsigned id);

// Decodes a copy of the bytes; empty only when there are no bytes or no stream could be made.
ImagePtr DecodePng(const void* data, size_t size);

ImagePtr LoadPngResource(unsigned id);
