#include "product/uninstall/fill_in.h"

std::wstring FillIn(const std::wstring& pattern, const std::vector<std::wstring>& values) {
    std::wstring text;
    for (size_t at = 0; at < pattern.size(); ++at) {
        const bool slot = pattern[at] == L'{' && at + 2 < pattern.size() &&
                          pattern[at + 1] >= L'0' && pattern[at + 1] <= L'9' &&
                          pattern[at + 2] == L'}' && size_t(pattern[at + 1] - L'0') < values.size();
        if (slot) {
            text += values[size_t(pattern[at + 1] - L'0')];
            at += 2;
        } else {
            text += pattern[at];
        }
    }
    return text;
}
