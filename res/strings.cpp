#include "res/strings.h"

#include "platform/resource_bytes.h"

namespace {

// Reads a little-endian code unit without assuming the block is aligned.
uint16_t UnitAt(const unsigned char* bytes, size_t unit) {
    return uint16_t(bytes[2 * unit] | bytes[2 * unit + 1] << 8);
}

// Neutral language lets the loader pick the block of the thread's UI language; the text is then
// read from the block found without naming a language.
bool FindEntry(unsigned id, bool neutralLanguage, StringEntry& entry) {
    const auto name = MAKEINTRESOURCEW(StringBlock(id));
    const ResourceBytes block =
        neutralLanguage
            ? FindResourceBytes(RT_STRING, name, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL))
            : FindResourceBytes(RT_STRING, name);
    if (!block.data) return false;
    entry = FindStringEntry(block.data, block.size, StringIndex(id));
    return entry.text != nullptr;
}

}  // namespace

StringEntry FindStringEntry(const void* block, size_t size, unsigned index) {
    const auto* bytes = static_cast<const unsigned char*>(block);
    const size_t units = size / 2;
    size_t position = 0;
    for (unsigned i = 0; i < index; ++i) {
        if (position >= units) return {};
        position += 1 + UnitAt(bytes, position);
    }
    if (position >= units) return {};
    const size_t length = UnitAt(bytes, position);
    if (length == 0 || length > units - position - 1) return {};
    return {reinterpret_cast<const char16_t*>(bytes + 2 * (position + 1)), length};
}

bool LoadLocalizedString(std::wstring& target, StringId id) {
    StringEntry entry;
    if (!FindEntry(id, true, entry)) return false;
    if (!FindEntry(id, false, entry)) return false;
    // The data may be unaligned, so copy code units byte-wise.
    std::wstring text(entry.length, L'\0');
    memcpy(&text[0], entry.text, entry.length * sizeof(wchar_t));
    target.swap(text);
    return true;
}

std::wstring LoadLocalizedString(StringId id) {
    std::wstring text;
    LoadLocalizedString(text, id);
    return text;
}
