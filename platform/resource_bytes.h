#pragma once
// The bytes of a resource of this program. A locked resource is part of the mapped executable: it
// stays valid while the program runs and nothing releases it.

#include <windows.h>

#include <cstddef>

struct ResourceBytes {
    const void* data = nullptr;  // null when the resource is missing or unreadable
    size_t size = 0;
};

// In the language variant the loader picks for the thread's UI language.
ResourceBytes FindResourceBytes(LPCWSTR type, LPCWSTR name);
// In exactly the variant FindResourceExW finds for `language`.
ResourceBytes FindResourceBytes(LPCWSTR type, LPCWSTR name, LANGID language);
