// The uninstaller's reading of uninstall.lst (UTF-8 decoding, lines, the folders the names imply),
// held to its promises: decoding is exact; lines hold no line break; the folders are each safe
// name's folder levels, every one of them, each once, deepest first; and the memory used grows with
// the list, not with the square of a line's length.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "archive/entry_name.h"
#include "fuzz/allocation_watch.h"
#include "fuzz/check.h"
#include "platform/utf8.h"
#include "system/entry_list.h"

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Cheap for deep folders, which share long beginnings: the length and both ends. Folders with
// the same hash still compare in full.
struct EndsHash {
    size_t operator()(std::wstring_view folder) const {
        const size_t end = std::min<size_t>(folder.size(), 8);
        const std::hash<std::wstring_view> hash;
        return hash(folder.substr(0, end)) ^ hash(folder.substr(folder.size() - end)) * 31 ^
               folder.size() * 0x9E3779B97F4A7C15u;
    }
};

void CheckFolders(const std::vector<std::wstring>& names,
                  const std::vector<std::wstring_view>& folders) {
    // Each safe name's folder levels and their depth, from one walk along the name.
    std::unordered_map<std::wstring_view, size_t, EndsHash> implied;
    for (const std::wstring& name : names) {
        if (!IsSafeEntryName(name)) continue;
        const size_t start = name[0] == L'\\' ? 1 : 0;
        size_t depth = 0;
        for (size_t at = start + 1; at < name.size(); ++at)
            if (IsSeparator(name[at]))
                implied.emplace(std::wstring_view(name).substr(start, at - start), depth++);
    }
    FUZZ_CHECK(folders.size() == implied.size(), "as many folders as the safe names imply");
    size_t previous = SIZE_MAX;
    for (const std::wstring_view folder : folders) {
        const auto found = implied.find(folder);
        FUZZ_CHECK(found != implied.end(), "a folder of a safe name, and each once");
        FUZZ_CHECK(found->second <= previous, "deepest first");
        previous = found->second;
        implied.erase(found);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // Decoded text, its lines and their folders: a few copies of the list and a few dozen words per
    // folder, each folder taking two bytes of the list at least (about 75 bytes a byte at worst).
    const size_t justified = 128 * size + (64 << 10);
    fuzz::AllocationWatch watch;
    std::wstring text;
    if (!DecodeUtf8(bytes, text)) return 0;
    const std::vector<std::wstring> names = SplitEntryList(text);
    const std::vector<std::wstring_view> folders = FoldersOfEntries(names);
    FUZZ_CHECK(watch.Peak() <= justified, "memory the list justifies");

    fuzz::AllocationWatch::Pause pause;
    FUZZ_CHECK(Utf16ToUtf8(std::u16string(text.begin(), text.end())) == bytes, "decoding is exact");
    size_t characters = 0;
    for (const std::wstring& name : names) {
        // A CR before the LF belongs to the ending; any other stays, for the name rule to refuse.
        FUZZ_CHECK(!name.empty() && name.find(L'\n') == std::wstring::npos,
                   "one line without its ending");
        characters += name.size();
    }
    FUZZ_CHECK(characters <= text.size(), "lines are the text's own");
    CheckFolders(names, folders);
    return 0;
}
