#pragma once
// Looks up the localised string table. The platform's loader picks the block for the calling
// thread's UI language; nothing is cached, so every caller sees the table as it is.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "res/string_ids.h"

// Fills `target` and returns true when the entry exists and is not empty; otherwise leaves
// `target` as it was.
bool LoadLocalizedString(std::wstring& target, StringId id);
std::wstring LoadLocalizedString(StringId id);

// Where id n lives: RT_STRING block n / 16 + 1, entry n % 16.
constexpr unsigned StringBlock(unsigned id) {
    return id / 16 + 1;
}
constexpr unsigned StringIndex(unsigned id) {
    return id % 16;
}

struct StringEntry {
    const char16_t* text = nullptr;  // null when missing or empty
    size_t length = 0;
};

// Walks a block's bytes to entry `index` without ever reading past `size` bytes.
StringEntry FindStringEntry(const void* block, size_t size, unsigned index);
