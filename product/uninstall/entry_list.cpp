#include "product/uninstall/entry_list.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "install/entry_name.h"

bool DecodeUtf8(const std::string& bytes, std::wstring& text) {
    if (bytes.empty()) {
        text.clear();
        return true;
    }
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                           int(bytes.size()), nullptr, 0);
    if (length <= 0) return false;
    std::wstring decoded(size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), int(bytes.size()), &decoded[0],
                        length);
    text.swap(decoded);
    return true;
}

std::vector<std::wstring> SplitEntryList(const std::wstring& text) {
    std::vector<std::wstring> names;
    size_t begin = !text.empty() && text.front() == L'\xFEFF' ? 1 : 0;
    while (begin < text.size()) {
        size_t end = text.find(L'\n', begin);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        if (!line.empty()) names.push_back(std::move(line));
        begin = end + 1;
    }
    return names;
}

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

size_t Depth(const std::wstring& folder) {
    return size_t(std::count_if(folder.begin(), folder.end(), IsSeparator));
}

}  // namespace

std::vector<std::wstring> FoldersOfEntries(const std::vector<std::wstring>& names) {
    std::set<std::wstring> folders;
    for (const std::wstring& name : names) {
        // The join drops one leading backslash, so the folders do too.
        const size_t start = !name.empty() && name.front() == L'\\' ? 1 : 0;
        for (size_t at = start; at < name.size(); ++at)
            if (IsSeparator(name[at]) && at > start) folders.insert(name.substr(start, at - start));
    }
    std::vector<std::wstring> ordered(folders.begin(), folders.end());
    std::stable_sort(
        ordered.begin(), ordered.end(),
        [](const std::wstring& a, const std::wstring& b) { return Depth(a) > Depth(b); });
    return ordered;
}

bool IsPlainName(const std::wstring& name) {
    return !name.empty() && std::none_of(name.begin(), name.end(), IsSeparator) &&
           IsSafeEntryName(name);
}
