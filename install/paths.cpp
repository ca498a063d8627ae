#include "paths.h"

std::wstring JoinPath(const std::wstring& left, const std::wstring& right) {
    std::wstring joined = left;
    if (joined.empty() || joined.back() != L'\\') joined += L'\\';
    joined.append(right, !right.empty() && right.front() == L'\\' ? 1 : 0, std::wstring::npos);
    return joined;
}

std::wstring ParentFolder(const std::wstring& path) {
    const size_t last = path.rfind(L'\\');
    return last == std::wstring::npos ? std::wstring() : path.substr(0, last + 1);
}
