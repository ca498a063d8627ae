#include "files/install_folder.h"

#include <windows.h>

#include <algorithm>

#include "archive/entry_name.h"
#include "files/paths.h"

namespace {

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view start) {
    return text.size() >= start.size() &&
           CompareStringOrdinal(text.data(), int(start.size()), start.data(), int(start.size()),
                                TRUE) == CSTR_EQUAL;
}

// A level as Windows stores it. Nothing when none of it is left, or it is not a name a folder can
// have.
std::optional<std::wstring> FolderName(std::wstring_view level) {
    level = StoredLevel(level);
    constexpr size_t kLongestName = 255;
    if (level.empty() || level.size() > kLongestName ||
        level.find_first_of(L"<>\"|?*") != std::wstring_view::npos ||
        FindEntryNameFault(level) != EntryNameFault::None)
        return std::nullopt;
    return std::wstring(level);
}

// The levels below the root, as normal names; nothing when one is not a name or ".." leaves the
// root.
std::optional<std::vector<std::wstring>> Levels(std::wstring_view rest) {
    std::vector<std::wstring> levels;
    while (!rest.empty()) {
        const size_t end = std::min(rest.find(L'\\'), rest.size());
        const std::wstring_view level = rest.substr(0, end);
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (level.empty() || level == L".") continue;
        if (level == L"..") {
            if (levels.empty()) return std::nullopt;
            levels.pop_back();
            continue;
        }
        auto name = FolderName(level);
        if (!name) return std::nullopt;
        levels.push_back(std::move(*name));
    }
    return levels;
}

// "\\server\share" with both names normal, and what follows it; nothing for another form.
std::optional<std::wstring> ShareRoot(std::wstring_view& path) {
    if (path.size() < 3 || path[0] != L'\\' || path[1] != L'\\') return std::nullopt;
    path.remove_prefix(2);
    std::wstring root = L"\\";
    for (int part = 0; part < 2; ++part) {
        const size_t end = std::min(path.find(L'\\'), path.size());
        const auto name = FolderName(path.substr(0, end));
        if (!name || name->size() != end) return std::nullopt;
        root += L"\\" + *name;
        path.remove_prefix(std::min(end + 1, path.size()));
    }
    return root;
}

}  // namespace

std::optional<std::wstring> NormalInstallFolder(std::wstring_view text) {
    std::wstring slashed(text);
    for (wchar_t& c : slashed)
        if (c == L'/') c = L'\\';
    std::wstring_view path = slashed;
    std::wstring unc;
    if (StartsWithNoCase(path, L"\\\\?\\UNC\\")) {
        unc = L"\\" + std::wstring(path.substr(7));
        path = unc;
    } else if (StartsWithNoCase(path, L"\\\\?\\")) {
        path.remove_prefix(4);
    }

    std::wstring root;
    if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && path[2] == L'\\') {
        root = {wchar_t(path[0] & ~0x20), L':'};
        path.remove_prefix(3);
    } else if (auto share = ShareRoot(path)) {
        root = std::move(*share);
    } else {
        return std::nullopt;
    }
    const auto levels = Levels(path);
    if (!levels) return std::nullopt;
    if (levels->empty()) return root.size() == 2 ? root + L"\\" : root;
    for (const std::wstring& level : *levels) root += L"\\" + level;
    return root;
}

std::wstring VolumeRoot(const std::wstring& folder) {
    if (folder.size() >= 2 && folder[1] == L':') return folder.substr(0, 2) + L"\\";
    const size_t share = folder.find(L'\\', 2);
    const size_t end = share == std::wstring::npos ? share : folder.find(L'\\', share + 1);
    return JoinPath(folder.substr(0, end), L"");
}

std::wstring HighestMissingFolder(const std::wstring& folder,
                                  const std::function<bool(const std::wstring&)>& exists) {
    const std::wstring root = VolumeRoot(folder);
    for (size_t at = root.size(); at < folder.size(); ++at) {
        at = std::min(folder.find(L'\\', at), folder.size());
        const std::wstring level = folder.substr(0, at);
        if (!exists(level)) return level;
    }
    return std::wstring();
}

FolderRelation RelateFolders(const std::wstring& a, const std::wstring& b) {
    const std::wstring& shorter = a.size() <= b.size() ? a : b;
    const std::wstring& longer = a.size() <= b.size() ? b : a;
    if (!StartsWithNoCase(longer, shorter)) return FolderRelation::Apart;
    if (longer.size() == shorter.size()) return FolderRelation::Same;
    // "C:\App" does not hold "C:\Apps"; a root ends in its separator already.
    return shorter.back() == L'\\' || longer[shorter.size()] == L'\\' ? FolderRelation::Nested
                                                                      : FolderRelation::Apart;
}

bool FoldersNest(const std::wstring& a, const std::wstring& b) {
    const auto left = NormalInstallFolder(a), right = NormalInstallFolder(b);
    return left && right && RelateFolders(*left, *right) == FolderRelation::Nested;
}

FolderChoice ChooseInstallFolder(const std::wstring& given,
                                 const std::optional<std::wstring>& registered,
                                 const std::wstring& defaultFolder,
                                 const std::function<bool(const std::wstring&)>& volumeExists) {
    if (!given.empty()) return {given, L"given on the command line"};
    const std::wstring fallback = L"the default folder: ";
    if (!registered) return {defaultFolder, fallback + L"the product has no Uninstall entry"};
    if (registered->empty())
        return {defaultFolder, fallback + L"the Uninstall entry names no InstallLocation"};
    const auto folder = NormalInstallFolder(*registered);
    if (!folder)
        return {defaultFolder, fallback + L"the Uninstall entry's InstallLocation \"" +
                                   *registered + L"\" is not a whole path"};
    if (!volumeExists(VolumeRoot(*folder)))
        return {defaultFolder, fallback +
                                   L"the drive or share of the Uninstall entry's "
                                   L"InstallLocation \"" +
                                   *registered + L"\" does not exist"};
    return {*folder, L"the installed product's folder, from its Uninstall entry"};
}

std::wstring FindStagedPathProblem(const std::wstring& folder,
                                   const std::vector<std::wstring>& names) {
    // An update's staging folder below the install folder: the prefix and 16 hexadecimal digits.
    // Besides the entries it holds the set-aside folder with numbered files and the plan.
    const std::wstring staging = JoinPath(folder, kStagingPrefix + std::wstring(16, L'0'));
    const std::wstring ownLongest = JoinPath(std::wstring(kStagingPrefix) + L"old", L"4294967295");
    std::wstring longestFile = JoinPath(staging, ownLongest);
    std::wstring longestFolder = WithoutTrailingSeparators(ParentFolder(longestFile));
    for (const std::wstring& name : names) {
        const std::wstring file = JoinPath(staging, name);
        if (file.size() > longestFile.size()) longestFile = file;
        const std::wstring above = WithoutTrailingSeparators(ParentFolder(file));
        if (above.size() > longestFolder.size()) longestFolder = above;
    }
    const auto tooLong = [&](const std::wstring& path, const wchar_t* what, size_t limit) {
        return folder + L": too long a path to install into: staging needs " + what + L" of " +
               std::to_wstring(path.size()) + L" characters (" +
               path.substr(std::min(staging.size() + 1, path.size())) +
               L"), and Windows programs reach " + std::to_wstring(limit) + L" at most";
    };
    // The one that exceeds its limit most: a folder that much shorter fits both.
    const size_t folderExcess =
        longestFolder.size() - std::min(longestFolder.size(), kLongestFolderPath);
    const size_t fileExcess = longestFile.size() - std::min(longestFile.size(), kLongestFilePath);
    if (folderExcess == 0 && fileExcess == 0) return std::wstring();
    return folderExcess >= fileExcess ? tooLong(longestFolder, L"a folder", kLongestFolderPath)
                                      : tooLong(longestFile, L"a file", kLongestFilePath);
}
