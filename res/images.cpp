#include "res/images.h"

#include <shlwapi.h>

#include <climits>
#include <new>

namespace {

struct StreamRelease {
    void operator()(IStream* stream) const { stream->Release(); }
};

}  // namespace

ResourceBytes FindPngResource(unsigned id) {
    // Resource ids are 16-bit; a larger one would silently name another picture.
    if (id == 0 || id > 0xFFFF) return {};
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
    if (!resource) return {};
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    return {data, SizeofResource(module, resource)};
}

ImagePtr DecodePng(const void* data, size_t size) {
    if (!data || size == 0 || size > UINT_MAX) return {};
    // The stream holds its own copy, so the image never depends on the resource staying mapped.
    std::unique_ptr<IStream, StreamRelease> stream(
        SHCreateMemStream(static_cast<const BYTE*>(data), UINT(size)));
    if (!stream) return {};
    // The header's operator new hands back null instead of throwing when GDI+ has no memory.
    void* memory = Gdiplus::DllExports::GdipAlloc(sizeof(Gdiplus::Image));
    if (!memory) throw std::bad_alloc();
    return ImagePtr(::new (memory) Gdiplus::Image(stream.get()));
}

ImagePtr LoadPngResource(unsigned id) {
    const ResourceBytes bytes = FindPngResource(id);
    return DecodePng(bytes.data, bytes.size);
}
