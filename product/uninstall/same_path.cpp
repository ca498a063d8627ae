#include "product/uninstall/same_path.h"

#include <windows.h>

namespace {

std::wstring WithoutTrailingSeparators(std::wstring path) {
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    return path;
}

}  // namespace

bool SamePath(const std::wstring& a, const std::wstring& b) {
    const std::wstring left = WithoutTrailingSeparators(a), right = WithoutTrailingSeparators(b);
    if (left.empty() || right.empty()) return false;
    return CompareStringOrdinal(left.c_str(), int(left.size()), right.c_str(), int(right.size()),
                                TRUE) == CSTR_EQUAL;
}
