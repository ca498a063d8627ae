#include "platform/resource_bytes.h"

namespace {

ResourceBytes Lock(HMODULE module, HRSRC resource) {
    if (!resource) return {};
    HGLOBAL loaded = LoadResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) return {};
    return {data, SizeofResource(module, resource)};
}

}  // namespace

ResourceBytes FindResourceBytes(LPCWSTR type, LPCWSTR name) {
    // Only our own executable carries resources.
    const HMODULE module = GetModuleHandleW(nullptr);
    return Lock(module, FindResourceW(module, name, type));
}

ResourceBytes FindResourceBytes(LPCWSTR type, LPCWSTR name, LANGID language) {
    const HMODULE module = GetModuleHandleW(nullptr);
    return Lock(module, FindResourceExW(module, type, name, language));
}
