#include "res/colors.h"

namespace {

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool IsSpace(wchar_t c) {
    return c == L' ' || (c >= L'\t' && c <= L'\r');
}

}  // namespace

COLORREF ParseHexColor(std::wstring_view text) {
    unsigned fields[3] = {0, 0, 0};
    size_t pos = 0;
    if (text.empty() || text[0] != L'#') return 0;
    ++pos;
    for (unsigned& field : fields) {
        while (pos < text.size() && IsSpace(text[pos])) ++pos;
        int digits = 0;
        for (; digits < 2 && pos < text.size() && HexDigit(text[pos]) >= 0; ++digits, ++pos) {
            field = field * 16 + unsigned(HexDigit(text[pos]));
        }
        if (digits == 0) break;
    }
    return RGB(fields[0], fields[1], fields[2]);
}
