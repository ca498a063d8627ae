#include "install/entry_name.h"

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

wchar_t Upper(wchar_t c) {
    return c >= L'a' && c <= L'z' ? wchar_t(c - 32) : c;
}

// Windows drops trailing dots and spaces, so ". ." or "..." may resolve to the parent too.
bool IsDotsOnly(const std::wstring& component) {
    size_t dots = 0;
    for (wchar_t c : component) {
        if (c == L'.') {
            ++dots;
        } else if (c != L' ') {
            return false;
        }
    }
    return dots >= 2;
}

// "con.txt" and "nul " open the device, not a file in the folder.
bool IsDeviceName(const std::wstring& component) {
    std::wstring stem = component.substr(0, component.find(L'.'));
    while (!stem.empty() && stem.back() == L' ') stem.pop_back();
    for (auto& c : stem) c = Upper(c);
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"})
        if (stem == device) return true;
    if (stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0))
        return stem[3] >= L'0' && stem[3] <= L'9';
    return false;
}

}  // namespace

bool IsSafeEntryName(const std::wstring& name) {
    // The join drops exactly one leading backslash; whatever remains must be relative.
    const size_t start = !name.empty() && name.front() == L'\\' ? 1 : 0;
    if (start < name.size() && IsSeparator(name[start])) return false;
    for (wchar_t c : name)
        if (c == L':' || c < 0x20) return false;

    size_t begin = start;
    while (begin <= name.size()) {
        size_t end = begin;
        while (end < name.size() && !IsSeparator(name[end])) ++end;
        const std::wstring component = name.substr(begin, end - begin);
        if (IsDotsOnly(component) || IsDeviceName(component)) return false;
        begin = end + 1;
    }
    return true;
}
