#pragma once
// The one rule for an install folder, and its one form, from the command line to staging, the final
// step, registration and the uninstaller; which folder an installation takes when none is given;
// and how long the paths below it may grow.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The folder as every part of both programs uses it: slashes read as backslashes, a "\\?\" prefix
// dropped ("\\?\UNC\server\share" is "\\server\share"), runs of separators as one, "." levels
// dropped and ".." taken back, the dots and spaces that end a level dropped as Windows drops them,
// the drive letter in upper case, and no separator at the end but a drive root's own. Nothing when
// the text is not a whole path (a drive letter and a backslash, or \\server\share) whose every
// level is a name Windows can hold (no device name, no wildcard or colon, no level of the
// installer's own "~setup~" names), or when ".." would leave the root.
std::optional<std::wstring> NormalInstallFolder(std::wstring_view text);

// The root of a normal folder: "C:\" or "\\server\share\".
std::wstring VolumeRoot(const std::wstring& folder);

// The highest level of the normal folder `folder` that `exists` says is not there, which a fresh
// installation makes with everything below it; empty when it is there. Never the drive or share
// root, nor anything above a share's: a root is not a run's to make or remove.
std::wstring HighestMissingFolder(const std::wstring& folder,
                                  const std::function<bool(const std::wstring&)>& exists);

enum class FolderRelation { Same, Nested, Apart };
// How two normal folders' texts stand to each other, letter case aside: the same, one inside the
// other, or apart.
FolderRelation RelateFolders(const std::wstring& a, const std::wstring& b);

// Whether two folders, each in any form the rule accepts, lie one inside the other; false when
// either is not an install folder at all.
bool FoldersNest(const std::wstring& a, const std::wstring& b);

struct FolderChoice {
    std::wstring folder;
    std::wstring reason;  // for the log
};

// The folder an installation takes: `given` (from the command line) when there is one, else the
// installed product's folder (`registered`: its Uninstall entry's InstallLocation, nothing without
// an entry) when that is a whole path on a drive or share that exists, else `defaultFolder`.
FolderChoice ChooseInstallFolder(const std::wstring& given,
                                 const std::optional<std::wstring>& registered,
                                 const std::wstring& defaultFolder,
                                 const std::function<bool(const std::wstring&)>& volumeExists);

// Characters of a path that the installer, the uninstaller and the shell can all open without
// long-path support: a file's MAX_PATH less its terminating null, and a folder's less the room for
// an 8.3 name that folder creation keeps.
constexpr size_t kLongestFilePath = 259;
constexpr size_t kLongestFolderPath = 247;

// Why staging the entries `names` below `folder` would need a longer path than that (an update
// stages one level deeper than the files end up), naming the path that exceeds its limit most, or
// empty when none would.
std::wstring FindStagedPathProblem(const std::wstring& folder,
                                   const std::vector<std::wstring>& names);
