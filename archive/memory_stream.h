#pragma once
// A read-only IStream over bytes that outlive it (a locked resource), without copying them.

#include <windows.h>
#include <objidl.h>

#include <cstddef>

// Returns a stream with one reference, or null when out of memory. The bytes must stay valid and
// unchanged until the last reference is released. Writing, resizing and locking are refused.
IStream* CreateReadOnlyMemoryStream(const void* data, size_t size);

// Hands out the stream's next `count` bytes in place and moves past them; null, without moving,
// when `stream` is not one of these or fewer bytes remain.
const BYTE* ReadMemoryStreamInPlace(IStream* stream, ULONG count);
