#include "system/entry_list.h"

#include <algorithm>
#include <functional>
#include <unordered_map>

#include "archive/entry_name.h"
#include "platform/utf8.h"

bool DecodeUtf8(const std::string& bytes, std::wstring& text) {
    const auto decoded = Utf8ToUtf16(bytes);
    if (!decoded) return false;
    text.assign(decoded->begin(), decoded->end());
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

// A folder is its parent folder and the last level's text with the separator before it, so that
// finding it again costs that level's length, not the whole path's.
struct Level {
    size_t parent;
    std::wstring_view text;
    bool operator==(const Level& other) const {
        return parent == other.parent && text == other.text;
    }
};

struct LevelHash {
    size_t operator()(const Level& level) const {
        return std::hash<std::wstring_view>()(level.text) ^ (level.parent * 0x9E3779B97F4A7C15u);
    }
};

struct Folder {
    std::wstring_view path;
    size_t depth;
};

}  // namespace

std::vector<std::wstring_view> FoldersOfEntries(const std::vector<std::wstring>& names) {
    constexpr size_t kTop = SIZE_MAX;
    std::unordered_map<Level, size_t, LevelHash> known;
    std::vector<Folder> folders;
    for (const std::wstring& name : names) {
        // Also bounds the work: nothing longer than a Windows path can have been installed.
        if (!IsSafeEntryName(name)) continue;
        // The join drops one leading backslash, so the folders do too.
        const size_t start = !name.empty() && name.front() == L'\\' ? 1 : 0;
        const std::wstring_view whole(name);
        size_t parent = kTop;
        size_t levelBegin = start;
        size_t depth = 0;
        for (size_t at = start + 1; at < name.size(); ++at) {
            if (!IsPathSeparator(name[at])) continue;
            const Level level{parent, whole.substr(levelBegin, at - levelBegin)};
            const auto [where, fresh] = known.emplace(level, folders.size());
            if (fresh) folders.push_back({whole.substr(start, at - start), depth});
            parent = where->second;
            levelBegin = at;
            ++depth;
        }
    }
    std::sort(folders.begin(), folders.end(), [](const Folder& a, const Folder& b) {
        return a.depth != b.depth ? a.depth > b.depth : a.path < b.path;
    });
    std::vector<std::wstring_view> ordered;
    ordered.reserve(folders.size());
    for (const Folder& folder : folders) ordered.push_back(folder.path);
    return ordered;
}

bool IsPlainName(const std::wstring& name) {
    return !name.empty() && std::none_of(name.begin(), name.end(), IsPathSeparator<wchar_t>) &&
           IsSafeEntryName(name);
}
