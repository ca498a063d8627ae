#pragma once
// The final step of a staged installation as a list of moves on one volume, each undone by the move
// back. The list is kept in the staging folder, so that a run killed half-way can be undone by the
// next one from what the file system then shows.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class CommitKind : wchar_t {
    NewFolder = L'F',    // a folder the installation did not have moves in with all it holds
    NewFile = L'A',      // a file the installation did not have
    ChangedFile = L'R',  // the old file is set aside first, then the new one takes its name
};

struct CommitStep {
    CommitKind kind = CommitKind::NewFile;
    std::wstring name;      // below the install folder and below the staging folder alike
    uint32_t setAside = 0;  // ChangedFile: the old file's number in the set-aside folder
    std::wstring oldName;   // ChangedFile: the old file's own name, spelled as it was on disk
};
using CommitPlan = std::vector<CommitStep>;

// Where the steps take things from and to. An empty name stands for the staging folder itself,
// which becomes the install folder on a fresh installation.
struct StagingLayout {
    std::wstring installFolder;
    std::wstring staging;

    std::wstring Installed(const std::wstring& name) const;
    std::wstring Staged(const std::wstring& name) const;
    std::wstring SetAsideFolder() const;
    std::wstring SetAside(uint32_t number) const;
    // Where a replaced file goes back to: its folder, with its old spelling.
    std::wstring Restored(const CommitStep& step) const;
};

// The file system as the steps see it; tests hand in one that fails where they choose.
class CFileMover {
public:
    virtual bool Exists(const std::wstring& path) const;
    // Renames without replacing anything; false when the system refuses.
    virtual bool Move(const std::wstring& from, const std::wstring& to) const;

protected:
    ~CFileMover() = default;
};

// The file system itself.
const CFileMover& SystemFiles();

enum class CommitOutcome {
    Done,
    Undone,  // a move was refused; everything is back where it was
    Stuck,   // a move was refused, and so was a move back: what stays is staged or set aside
};

// Carries out the steps in order. When one fails, every step done so far is undone.
CommitOutcome ApplyCommitPlan(const CommitPlan& plan, const StagingLayout& layout,
                              const CFileMover& files);

// Undoes, last step first, whatever of each step the file system shows done, whole or half. True
// when everything is back where it was; otherwise what could not be moved back stays staged or set
// aside, and a later call can finish the job.
bool UndoCommitPlan(const CommitPlan& plan, const StagingLayout& layout, const CFileMover& files);

// The plan's file in the staging folder: false, or nothing, when it cannot be written or read back
// whole and well-formed.
bool WriteCommitPlanFile(const CommitPlan& plan, const StagingLayout& layout);
std::optional<CommitPlan> ReadCommitPlanFile(const StagingLayout& layout);

// One line per step, UTF-8: kind, set-aside number, old name and name, separated by tabs.
std::string FormatCommitPlan(const CommitPlan& plan);
// Nothing when a line is malformed or names anything but a safe entry name: a plan that cannot be
// trusted is not acted on.
std::optional<CommitPlan> ParseCommitPlan(std::string_view text);
