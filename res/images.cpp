#include "res/images.h"

#include <shlwapi.h>

#include <climits>

#include "platform/com_ptr.h"

ResourceBytes FindPngResource(unsigned id) {
    // Resource ids are 16-bit; a larger one would silently name another picture.
    if (id == 0 || id > 0xFFFF) return {};
    return FindResourceBytes(L"PNG", MAKEINTRESOURCEW(id));
}

ImagePtr DecodePng(const void* data, size_t size) {
    if (!data || size == 0 || size > UINT_MAX) return {};
    // The stream holds its own copy, so the image never depends on the resource staying mapped.
    const ComPtr<IStream> stream(SHCreateMemStream(static_cast<const BYTE*>(data), UINT(size)));
    if (!stream) return {};
    CGpImage image;
    if (Gdiplus::DllExports::GdipLoadImageFromStream(stream, image.Put()) != Gdiplus::Ok) return {};
    return ShareImage(std::move(image));
}

ImagePtr LoadPngResource(unsigned id) {
    const ResourceBytes bytes = FindPngResource(id);
    return DecodePng(bytes.data, bytes.size);
}
