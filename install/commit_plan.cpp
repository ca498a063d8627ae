#include "install/commit_plan.h"

#include <windows.h>

#include "install/entry_name.h"
#include "install/paths.h"
#include "install/utf8.h"
#include "platform/unique_handle.h"

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

// Whether the step's new item has taken its place below the install folder.
bool MovedIn(const CommitStep& step, const StagingLayout& layout, const CFileMover& files) {
    return !files.Exists(layout.Staged(step.name)) && files.Exists(layout.Installed(step.name));
}

bool UndoStep(const CommitStep& step, const StagingLayout& layout, const CFileMover& files) {
    if (step.kind != CommitKind::ChangedFile) {
        if (!MovedIn(step, layout, files)) return true;
        return files.Move(layout.Installed(step.name), layout.Staged(step.name));
    }
    const std::wstring setAside = layout.SetAside(step.setAside);
    if (!files.Exists(setAside)) return true;  // the old file never left
    if (MovedIn(step, layout, files) &&
        !files.Move(layout.Installed(step.name), layout.Staged(step.name)))
        return false;
    return files.Move(setAside, layout.Restored(step));
}

bool DoStep(const CommitStep& step, const StagingLayout& layout, const CFileMover& files) {
    if (step.kind == CommitKind::ChangedFile &&
        !files.Move(layout.Installed(step.name), layout.SetAside(step.setAside)))
        return false;
    return files.Move(layout.Staged(step.name), layout.Installed(step.name));
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

bool CFileMover::Exists(const std::wstring& path) const {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CFileMover::Move(const std::wstring& from, const std::wstring& to) const {
    // A virus scanner or an indexer may hold a file it has just seen for a moment: such a refusal
    // is tried again for about half a second before the move counts as refused.
    for (int attempt = 0;; ++attempt) {
        if (MoveFileExW(from.c_str(), to.c_str(), 0)) return true;
        const DWORD error = GetLastError();
        const bool passing = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION ||
                             error == ERROR_ACCESS_DENIED;
        if (!passing || attempt == 9) return false;
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

bool UndoCommitPlan(const CommitPlan& plan, const StagingLayout& layout, const CFileMover& files) {
    bool undone = true;
    for (auto step = plan.rbegin(); step != plan.rend(); ++step)
        if (!UndoStep(*step, layout, files)) undone = false;
    return undone;
}

bool WriteCommitPlanFile(const CommitPlan& plan, const StagingLayout& layout) {
    const std::string text = FormatCommitPlan(plan);
    const CFileHandle file(CreateFileW(JoinPath(layout.staging, kPlanFile).c_str(), GENERIC_WRITE,
                                       0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    // Flushed: the plan is what undoes a commit that a power loss cut short.
    return file && text.size() < size_t(kLargestPlan) &&
           WriteFile(file, text.data(), DWORD(text.size()), &written, nullptr) &&
           written == text.size() && FlushFileBuffers(file);
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
            step.kind != CommitKind::ChangedFile)
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
        if (step.kind == CommitKind::ChangedFile ? !IsSingleName(step.oldName) : !fields[2].empty())
            return std::nullopt;
        plan.push_back(std::move(step));
    }
    return plan;
}
