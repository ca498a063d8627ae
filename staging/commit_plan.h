#pragma once
// The final step of a staged installation as a list of moves on one volume, each undone by the move
// back. The list is kept in the staging folder, so that a run killed half-way can be undone by the
// next one from what the file system then shows.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/tree_removal.h"

enum class CommitKind : wchar_t {
    NewFolder = L'F',    // a folder the installation did not have moves in with all it holds
    NewFile = L'A',      // a file the installation did not have
    ChangedFile = L'R',  // the old file is set aside first, then the new one takes its name
    RetiredFile = L'D',  // a file of the old version the new one does not have: set aside only
};

struct CommitStep {
    CommitKind kind = CommitKind::NewFile;
    std::wstring name;      // below the install folder and below the staging folder alike
    uint32_t setAside = 0;  // the old file's number in the set-aside folder (SetsAside)
    std::wstring oldName;   // the old file's own name, spelled as it was on disk (SetsAside)
};
using CommitPlan = std::vector<CommitStep>;

// Whether the step sets an old file aside, to be deleted once every step is done.
inline bool SetsAside(const CommitStep& step) {
    return step.kind == CommitKind::ChangedFile || step.kind == CommitKind::RetiredFile;
}

// Where the steps take things from and to. An empty name stands for the staging folder itself,
// which becomes the install folder on a fresh installation.
struct StagingLayout {
    std::wstring installFolder;
    std::wstring staging;

    std::wstring Installed(const std::wstring& name) const;
    std::wstring Staged(const std::wstring& name) const;
    std::wstring SetAsideFolder() const;
    std::wstring SetAside(uint32_t number) const;
    // Where a replaced or retired file goes back to: its folder, with its old spelling.
    std::wstring Restored(const CommitStep& step) const;
};

// How the steps move things; tests hand in one that fails where they choose.
class CFileMover {
public:
    // Renames without replacing anything; false, with the system's reason in GetLastError, when
    // the system refuses.
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
// aside, a later call can finish the job, and `left`, when given, names the first item that had to
// stay.
bool UndoCommitPlan(const CommitPlan& plan, const StagingLayout& layout, const CFileMover& files,
                    ItemLeft* left = nullptr);

// Makes the steps' moves and the data of the files they moved durable, for the journal's next
// phase relies on them: the whole volume is flushed where it can be opened (an administrator's
// right), otherwise every file the steps placed, at `placed` (true: below the install folder, as
// after the moves; false: where an undo put them back). False when something could not be flushed.
bool FlushCommitPlan(const CommitPlan& plan, const StagingLayout& layout, bool placed);

// The plan's file in the staging folder. Written through to disk and read back: false when it
// cannot be, or does not read back as exactly `plan` (a name UTF-8 cannot carry); nothing when it
// cannot be read back whole and well-formed.
bool WriteCommitPlanFile(const CommitPlan& plan, const StagingLayout& layout);
std::optional<CommitPlan> ReadCommitPlanFile(const StagingLayout& layout);

// Deletes the staging folder with all it holds, the plan last: whenever anything staged or set
// aside is left, so is the plan that tells whose it is. False, with `left` naming the first item
// left, when something stays.
bool RemoveStagingFolder(const StagingLayout& layout, ItemLeft* left = nullptr);
// The same, naming every item left, each folder after what it holds and the plan just before the
// staging folder itself, which comes last. Empty when nothing is left.
std::vector<ItemLeft> RemoveStagingFolderLeaving(const StagingLayout& layout);

// Once the set-aside files are deleted: removes the folders of the plan's retired files that are
// empty now, deepest first, each only where its name says (files/removal.h). Returns how many
// empty ones could not be removed.
int RemoveRetiredFolders(const CommitPlan& plan, const StagingLayout& layout);

// One line per step, UTF-8: kind, set-aside number, old name and name, separated by tabs.
std::string FormatCommitPlan(const CommitPlan& plan);
// Nothing when a line is malformed or names anything but a safe entry name: a plan that cannot be
// trusted is not acted on.
std::optional<CommitPlan> ParseCommitPlan(std::string_view text);
