#include "staging/commit_plan.h"

#include <windows.h>

#include <algorithm>

#include "archive/entry_name.h"
#include "files/disk_flush.h"
#include "files/paths.h"
#include "files/removal.h"
#include "platform/unique_handle.h"
#include "platform/utf8.h"
#include "system/entry_list.h"

namespace {

constexpr wchar_t kSetAsideFolder[] = L"~setup~old";
constexpr wchar_t kPlanFile[] = L"~setup~plan";
// Far more than any plan of a payload the format can hold.
constexpr LONGLONG kLargestPlan = 256 << 20;

std::wstring Item(const std::wstring& root, const std::wstring& name) {
    return name.empty() ? WithoutTrailingSeparators(root) : JoinPath(root, name);
}

std::wstring Wide(std::string_view utf8) {
    const auto text = Utf8ToUtf16(utf8);
    return text ? std::wstring(text->begin(), text->end()) : std::wstring();
}

bool IsSingleName(const std::wstring& name) {
    return !name.empty() && name.find_first_of(L"\\/") == std::wstring::npos &&
           IsSafeEntryName(name);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether the step's new item has taken its place below the install folder.
bool MovedIn(const CommitStep& step, const StagingLayout& layout) {
    return !Exists(layout.Staged(step.name)) && Exists(layout.Installed(step.name));
}

// A move back; when it is refused, `left` names what had to stay.
bool MoveBack(const CFileMover& files, const std::wstring& from, const std::wstring& to,
              ItemLeft& left) {
    if (files.Move(from, to)) return true;
    left = ItemLeft{from, GetLastError()};
    return false;
}

bool UndoStep(const CommitStep& step, const StagingLayout& layout, const CFileMover& files,
              ItemLeft& left) {
    if (!SetsAside(step)) {
        if (!MovedIn(step, layout)) return true;
        return MoveBack(files, layout.Installed(step.name), layout.Staged(step.name), left);
    }
    const std::wstring setAside = layout.SetAside(step.setAside);
    if (!Exists(setAside)) return true;  // the old file never left
    if (step.kind == CommitKind::ChangedFile && MovedIn(step, layout) &&
        !MoveBack(files, layout.Installed(step.name), layout.Staged(step.name), left))
        return false;
    return MoveBack(files, setAside, layout.Restored(step), left);
}

bool SameStep(const CommitStep& a, const CommitStep& b) {
    return a.kind == b.kind && a.name == b.name && a.setAside == b.setAside &&
           a.oldName == b.oldName;
}

bool DoStep(const CommitStep& step, const StagingLayout& layout, const CFileMover& files) {
    if (SetsAside(step) && !files.Move(layout.Installed(step.name), layout.SetAside(step.setAside)))
        return false;
    return step.kind == CommitKind::RetiredFile ||
           files.Move(layout.Staged(step.name), layout.Installed(step.name));
}

}  // namespace

std::wstring StagingLayout::Installed(const std::wstring& name) const {
    return Item(installFolder, name);
}

std::wstring StagingLayout::Staged(const std::wstring& name) const {
    return Item(staging, name);
}

std::wstring StagingLayout::SetAsideFolder() const {
    return JoinPath(staging, kSetAsideFolder);
}

std::wstring StagingLayout::SetAside(uint32_t number) const {
    return JoinPath(SetAsideFolder(), std::to_wstring(number));
}

std::wstring StagingLayout::Restored(const CommitStep& step) const {
    return ParentFolder(Installed(step.name)) + step.oldName;
}

bool CFileMover::Move(const std::wstring& from, const std::wstring& to) const {
    // A virus scanner or an indexer may hold a file it has just seen for a moment: such a refusal
    // is tried again for about half a second before the move counts as refused.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), 0)) return true;
        const DWORD error = GetLastError();
        const bool passing = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                             error == ERROR_ACCESS_DENIED;
        if (!passing || attempt == 9) {
            SetLastError(error);
            return false;
        }
        Sleep(50);
    }
}

const CFileMover& SystemFiles() {
    static const class CSystemFiles final : public CFileMover {
    } files;
    return files;
}

CommitOutcome ApplyCommitPlan(const CommitPlan& plan, const StagingLayout& layout,
                              const CFileMover& files) {
    for (size_t done = 0; done < plan.size(); ++done) {
        if (DoStep(plan[done], layout, files)) continue;
        const CommitPlan reached(plan.begin(), plan.begin() + ptrdiff_t(done + 1));
        return UndoCommitPlan(reached, layout, files) ? CommitOutcome::Undone
                                                      : CommitOutcome::Stuck;
    }
    return CommitOutcome::Done;
}

bool UndoCommitPlan(const CommitPlan& plan, const StagingLayout& layout, const CFileMover& files,
                    ItemLeft* left) {
    bool undone = true;
    for (auto step = plan.rbegin(); step != plan.rend(); ++step) {
        ItemLeft stayed;
        if (UndoStep(*step, layout, files, stayed)) continue;
        if (undone && left) *left = stayed;
        undone = false;
    }
    return undone;
}

bool FlushCommitPlan(const CommitPlan& plan, const StagingLayout& layout, bool placed) {
    if (plan.empty() || FlushVolumeOf(layout.installFolder) != VolumeFlush::Unavailable)
        return true;
    bool flushed = true;
    for (const CommitStep& step : plan) {
        if (placed && step.kind != CommitKind::RetiredFile)
            flushed = FlushFilesAt(layout.Installed(step.name)) && flushed;
        else if (!placed && SetsAside(step))
            flushed = FlushFilesAt(layout.Restored(step)) && flushed;
    }
    return flushed;
}

bool WriteCommitPlanFile(const CommitPlan& plan, const StagingLayout& layout) {
    const std::string text = FormatCommitPlan(plan);
    {
        const CFileHandle file(CreateFileW(JoinPath(layout.staging, kPlanFile).c_str(),
                                           GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        // Flushed: the plan is what undoes a commit that a power loss cut short.
        if (!file || text.size() >= size_t(kLargestPlan) ||
            !WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) ||
            written != text.size() || !FlushFileBuffers(file))
            return false;
    }
    // What a later run will act on is what the file says, not what was meant.
    const auto readBack = ReadCommitPlanFile(layout);
    return readBack &&
           std::equal(readBack->begin(), readBack->end(), plan.begin(), plan.end(), SameStep);
}

std::optional<CommitPlan> ReadCommitPlanFile(const StagingLayout& layout) {
    const CFileHandle file(CreateFileW(JoinPath(layout.staging, kPlanFile).c_str(), GENERIC_READ,
                                       FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file, &size) || size.QuadPart >= kLargestPlan) return std::nullopt;
    std::string text(size_t(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() &&
        (!ReadFile(file, &text[0], DWORD(text.size()), &read, nullptr) || read != text.size()))
        return std::nullopt;
    return ParseCommitPlan(text);
}

bool RemoveStagingFolder(const StagingLayout& layout, ItemLeft* left) {
    return RemoveTree(layout.staging, kPlanFile, left);
}

int RemoveRetiredFolders(const CommitPlan& plan, const StagingLayout& layout) {
    std::vector<std::wstring> retired;
    for (const CommitStep& step : plan)
        if (step.kind == CommitKind::RetiredFile) retired.push_back(step.name);
    if (retired.empty()) return 0;
    return RemoveEmptyFolders(layout.installFolder, FoldersOfEntries(retired));
}

std::vector<ItemLeft> RemoveStagingFolderLeaving(const StagingLayout& layout) {
    std::vector<ItemLeft> left = RemoveTreeLeaving(layout.staging, kPlanFile);
    // The plan is not tried while anything else stays: it is left, in the folder that is last.
    const std::wstring plan = JoinPath(layout.staging, kPlanFile);
    if (!left.empty() && GetFileAttributesW(plan.c_str()) != INVALID_FILE_ATTRIBUTES)
        left.insert(left.end() - 1, ItemLeft{plan, ERROR_SUCCESS});
    return left;
}

std::string FormatCommitPlan(const CommitPlan& plan) {
    std::string text;
    for (const CommitStep& step : plan) {
        text += char(step.kind);
        text += '\t' + std::to_string(step.setAside) + '\t' + WideToUtf8(step.oldName) + '\t' +
                WideToUtf8(step.name) + '\n';
    }
    return text;
}

std::optional<CommitPlan> ParseCommitPlan(std::string_view text) {
    CommitPlan plan;
    while (!text.empty()) {
        const size_t end = text.find('\n');
        if (end == std::string_view::npos) return std::nullopt;  // cut short
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end + 1);
        std::string_view fields[4];
        for (int i = 0; i < 3; ++i) {
            const size_t tab = line.find('\t');
            if (tab == std::string_view::npos) return std::nullopt;
            fields[i] = line.substr(0, tab);
            line.remove_prefix(tab + 1);
        }
        fields[3] = line;
        CommitStep step;
        if (fields[0].size() != 1) return std::nullopt;
        step.kind = CommitKind(wchar_t(fields[0][0]));
        if (step.kind != CommitKind::NewFolder && step.kind != CommitKind::NewFile &&
            step.kind != CommitKind::ChangedFile && step.kind != CommitKind::RetiredFile)
            return std::nullopt;
        if (fields[1].empty() || fields[1].size() > 9) return std::nullopt;
        for (char digit : fields[1]) {
            if (digit < '0' || digit > '9') return std::nullopt;
            step.setAside = step.setAside * 10 + uint32_t(digit - '0');
        }
        step.oldName = Wide(fields[2]);
        step.name = Wide(fields[3]);
        if (step.name.empty() || !IsSafeEntryName(step.name) || step.name.front() == L'\\')
            return std::nullopt;
        if (SetsAside(step) ? !IsSingleName(step.oldName) : !fields[2].empty()) return std::nullopt;
        plan.push_back(std::move(step));
    }
    return plan;
}
