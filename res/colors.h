#pragma once
// Skin colours: the string table holds them as "#RRGGBB"; GDI paints with COLORREF and GDI+
// with opaque ARGB.

#include <windows.h>

#include <string_view>

// Reads "#" and three hexadecimal fields of at most two digits each; white space before a field
// is skipped. Scanning stops at the first character that does not fit, leaving the remaining
// fields 0, so anything not starting with "#" is black.
COLORREF ParseHexColor(std::wstring_view text);

// GDI+ ARGB of a COLORREF, always opaque; the COLORREF's high byte is ignored.
constexpr DWORD ToArgb(COLORREF color) {
    return 0xFF000000u | DWORD(GetRValue(color)) << 16 | DWORD(GetGValue(color)) << 8 |
           DWORD(GetBValue(color));
}
