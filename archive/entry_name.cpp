#include "archive/entry_name.h"

#include <cstdint>

namespace {

template <class Char>
Char Upper(Char c) {
    return c >= 'a' && c <= 'z' ? Char(c - 32) : c;
}

// Windows drops trailing dots and spaces, so ". ." or "..." may resolve to the parent too.
template <class Char>
bool IsDotsOnly(std::basic_string_view<Char> component) {
    size_t dots = 0;
    for (Char c : component) {
        if (c == '.') {
            ++dots;
        } else if (c != ' ') {
            return false;
        }
    }
    return dots >= 2;
}

// "con.txt" and "nul " open the device, not a file in the folder; so do "COM0" and the
// superscript-digit ports "LPT\u00B9".
template <class Char>
bool IsDeviceName(std::basic_string_view<Char> component) {
    std::basic_string_view<Char> stem = component.substr(0, component.find(Char('.')));
    while (!stem.empty() && stem.back() == ' ') stem.remove_suffix(1);
    if (stem.size() < 3 || stem.size() > 7) return false;
    char upper[8] = {};
    for (size_t i = 0; i < stem.size(); ++i) {
        const Char c = Upper(stem[i]);
        if (uint32_t(c) > 0x7F) {
            // Only a port number may lie outside ASCII: the superscript digits one to three.
            if (i != 3 || stem.size() != 4 || (c != 0xB9 && c != 0xB2 && c != 0xB3)) return false;
            upper[i] = '1';
        } else {
            upper[i] = char(c);
        }
    }
    const std::string_view text(upper, stem.size());
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (text == device) return true;
    return text.size() == 4 && (text.substr(0, 3) == "COM" || text.substr(0, 3) == "LPT") &&
           text[3] >= '0' && text[3] <= '9';
}

template <class Char>
bool IsStagingName(std::basic_string_view<Char> component) {
    constexpr size_t length = sizeof kStagingPrefix / sizeof kStagingPrefix[0] - 1;
    if (component.size() < length) return false;
    for (size_t i = 0; i < length; ++i)
        if (Upper(component[i]) != Char(Upper(kStagingPrefix[i]))) return false;
    return true;
}

template <class Char>
EntryNameFault FindFault(std::basic_string_view<Char> name) {
    if (name.size() > kMaxEntryNameLength) return EntryNameFault::TooLong;
    // The join drops exactly one leading backslash; whatever remains must be relative.
    const size_t start = !name.empty() && name.front() == '\\' ? 1 : 0;
    if (start < name.size() && IsPathSeparator(name[start])) return EntryNameFault::Rooted;
    for (size_t i = 0; i < name.size(); ++i) {
        const uint32_t c = uint32_t(name[i]);
        if (c == ':') return EntryNameFault::Colon;
        if (c < 0x20) return EntryNameFault::ControlCharacter;
        if (c >= 0xDC00 && c <= 0xDFFF) return EntryNameFault::LoneSurrogate;
        if (c >= 0xD800 && c <= 0xDBFF) {
            const uint32_t next = i + 1 < name.size() ? uint32_t(name[i + 1]) : 0;
            if (next < 0xDC00 || next > 0xDFFF) return EntryNameFault::LoneSurrogate;
            ++i;
        }
    }

    size_t begin = start;
    while (begin <= name.size()) {
        size_t end = begin;
        while (end < name.size() && !IsPathSeparator(name[end])) ++end;
        const auto component = name.substr(begin, end - begin);
        if (IsDotsOnly(component)) return EntryNameFault::ParentFolder;
        if (IsDeviceName(component)) return EntryNameFault::DeviceName;
        if (IsStagingName(component)) return EntryNameFault::Reserved;
        begin = end + 1;
    }
    return EntryNameFault::None;
}

// Pairs of capital and small letters side by side: the capital at even code units, or at odd ones.
bool IsSmallOfPair(uint32_t c, uint32_t first, uint32_t last, bool capitalEven) {
    return c >= first && c <= last && (c % 2 == 0) != capitalEven;
}

// The simple upper case of the letters names are written in (Latin, Greek, Cyrillic, Armenian, the
// fullwidth forms, Roman numerals and circled letters); every other unit stands as it is.
uint32_t FoldedUnit(uint32_t c) {
    if (c < 0x80) return c >= 'a' && c <= 'z' ? c - 32 : c;
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
        (c >= 0x430 && c <= 0x44F) || (c >= 0xFF41 && c <= 0xFF5A))
        return c - 0x20;
    if (c == 0xFF) return 0x178;
    if (c == 0x3AC) return 0x386;
    if (c >= 0x3AD && c <= 0x3AF) return c - 0x25;
    if (c == 0x3CC) return 0x38C;
    if (c == 0x3CD || c == 0x3CE) return c - 0x3F;
    if (c >= 0x450 && c <= 0x45F) return c - 0x50;
    if (c >= 0x561 && c <= 0x586) return c - 0x30;
    if (c >= 0x2170 && c <= 0x217F) return c - 0x10;
    if (c >= 0x24D0 && c <= 0x24E9) return c - 0x1A;
    if (c == 0x4CF) return 0x4C0;
    if (IsSmallOfPair(c, 0x100, 0x12F, true) || IsSmallOfPair(c, 0x132, 0x137, true) ||
        IsSmallOfPair(c, 0x139, 0x148, false) || IsSmallOfPair(c, 0x14A, 0x177, true) ||
        IsSmallOfPair(c, 0x179, 0x17E, false) || IsSmallOfPair(c, 0x460, 0x481, true) ||
        IsSmallOfPair(c, 0x48A, 0x4BF, true) || IsSmallOfPair(c, 0x4C1, 0x4CE, false) ||
        IsSmallOfPair(c, 0x4D0, 0x52F, true) || IsSmallOfPair(c, 0x1E00, 0x1E95, true) ||
        IsSmallOfPair(c, 0x1EA0, 0x1EFF, true))
        return c - 1;
    return c;
}

template <class Char>
std::basic_string_view<Char> Stored(std::basic_string_view<Char> level) {
    while (!level.empty() && (level.back() == Char('.') || level.back() == Char(' ')))
        level.remove_suffix(1);
    return level;
}

template <class Char>
std::basic_string<Char> Plain(std::basic_string_view<Char> name) {
    std::basic_string<Char> plain;
    size_t begin = 0;
    while (begin <= name.size()) {
        size_t end = begin;
        while (end < name.size() && !IsPathSeparator(name[end])) ++end;
        // "." and a level of dots and spaces alone are as good as empty once Windows drops them.
        const auto level = Stored(name.substr(begin, end - begin));
        if (!level.empty()) {
            if (!plain.empty()) plain += Char('\\');
            plain += level;
        }
        begin = end + 1;
    }
    return plain;
}

template <class Char>
std::basic_string<Char> Key(std::basic_string_view<Char> name) {
    std::basic_string<Char> key = Plain(name);
    for (Char& c : key) c = Char(FoldedUnit(uint32_t(c)));
    return key;
}

}  // namespace

std::wstring_view StoredLevel(std::wstring_view level) {
    return Stored(level);
}

std::wstring PlainEntryName(std::wstring_view name) {
    return Plain(name);
}

std::u16string PlainEntryName(std::u16string_view name) {
    return Plain(name);
}

std::wstring EntryNameKey(std::wstring_view name) {
    return Key(name);
}

std::u16string EntryNameKey(std::u16string_view name) {
    return Key(name);
}

EntryNameFault FindEntryNameFault(std::u16string_view name) {
    return FindFault(name);
}

EntryNameFault FindEntryNameFault(std::wstring_view name) {
    return FindFault(name);
}

const char* Describe(EntryNameFault fault) {
    switch (fault) {
        case EntryNameFault::None:
            return "a safe name";
        case EntryNameFault::TooLong:
            return "the name is longer than a Windows path can be";
        case EntryNameFault::Rooted:
            return "the name is rooted (a drive, share or device path)";
        case EntryNameFault::Colon:
            return "the name contains a colon (a drive or an alternate data stream)";
        case EntryNameFault::ControlCharacter:
            return "the name contains a control character";
        case EntryNameFault::LoneSurrogate:
            return "the name contains half of a UTF-16 surrogate pair";
        case EntryNameFault::ParentFolder:
            return "a component is \"..\" or dots only, which leads out of the folder";
        case EntryNameFault::DeviceName:
            return "a component is a reserved device name";
        case EntryNameFault::Reserved:
            return "a component begins with \"~setup~\", which the installer keeps for its own";
    }
    return "unknown";
}
