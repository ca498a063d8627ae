#pragma once
// Writes an installation where it cannot be seen, then puts it in place at once, so that a run
// either completes or leaves the install folder as it was.
//
// A fresh installation is written into a staging folder beside the install folder, which becomes
// the install folder in one move. An update writes the files that differ into a staging folder
// inside the install folder; files that are already there, byte for byte, are left alone. The final
// step moves each old file aside, each new one into its place, and folders the installation did not
// have in one move each; it then deletes the old files. A failure or cancel before it, or a move it
// cannot make, undoes everything. The installation's journal (staging/install_journal.h) tells a
// later run what to finish or undo after a kill.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "files/file_writer_pool.h"
#include "files/paths.h"
#include "staging/commit_plan.h"
#include "staging/install_journal.h"

class CRunLog;

class CStagedInstall {
public:
    // `productKey` names the installation's journal (none for an empty key: a run of the worker
    // alone); `files` carries out the final step's moves.
    CStagedInstall(std::wstring installFolder, std::wstring productKey,
                   const CFileMover& files = SystemFiles());
    // Undoes whatever was staged unless the final step has completed.
    ~CStagedInstall();
    CStagedInstall(const CStagedInstall&) = delete;
    CStagedInstall& operator=(const CStagedInstall&) = delete;

    // Starts the journal, then makes the staging folder (and, for a fresh installation, the
    // missing folders above the install folder), writable by administrators and the system only.
    // False when the install folder cannot be used or the journal cannot be started (one is
    // there already).
    bool Begin();
    // Stages one entry: `name` is its name from the archive. False when it cannot be written, or an
    // existing file that must be replaced cannot be (held open by another program, read-only,
    // hidden or system, a folder).
    // A file that comes in pieces is compared with the installed one piece by piece.
    bool Stage(const std::wstring& name, const FileBytes& bytes);
    bool Stage(const std::wstring& name, const void* data, int32_t count) {
        return Stage(name, FileBytes::Whole(data, count));
    }
    // Hands the staged files to `writer`, which writes them on other threads. It must be finished
    // before Commit or Rollback, so that nothing is written or open during them.
    void WriteThrough(CFileWriterPool* writer) { m_writer = writer; }
    // Puts everything in place. Cannot be cancelled. False, with everything undone, when a move
    // was refused or the journal could not say how far the step has come.
    bool Commit();
    // Undoes what was staged; also what the destructor does.
    void Rollback();

    // Where the staging says what it decided that no failure reports: the old version's files it
    // retires or leaves.
    void LogTo(CRunLog* log) { m_log = log; }

    // After Commit: what the final step set aside and could not delete, another program holding
    // it, each scheduled for deletion at the next restart; the journal is gone all the same.
    const std::vector<ItemLeft>& DeletedAtRestart() const { return m_deletedAtRestart; }
    // After Commit: what could be neither deleted nor scheduled, left in the journal for the next
    // run; an empty path when nothing was.
    const ItemLeft& DiscardLeft() const { return m_discardLeft; }

    const CommitPlan& Plan() const { return m_plan; }
    // A fresh installation (not an update of a folder that was there), and the highest folder it
    // made above its install folder (empty when none).
    bool Fresh() const { return m_fresh; }
    const std::wstring& MadeFrom() const { return m_madeFrom; }
    const StagingLayout& Layout() const { return m_layout; }

private:
    enum class State {
        Idle,
        Staging,
        Committed,
        RolledBack,
        LeftToNextRun,  // what could not be moved back or deleted stays in the journal
    };

    // Where the folder of an entry stands against the installation.
    struct FolderCheck {
        enum class Verdict { AllThere, NewFolder, FileInTheWay } verdict;
        std::wstring newFolder;  // NewFolder: the highest level the installation does not have
    };

    // `entry` is the name as the archive gives it, for the writer to name in a failure.
    bool StageInNewFolder(const std::wstring& entry, const std::wstring& name,
                          const std::wstring& newFolder, const FileBytes& bytes);
    bool StageInExistingFolder(const std::wstring& entry, const std::wstring& name,
                               const FileBytes& bytes);
    // `folder` is relative and ends in a backslash.
    FolderCheck CheckFolder(const std::wstring& folder);
    // Makes each level from m_createdFrom down to `parent` with `access`, failing at one that is
    // there already.
    bool MakeMissingFolders(const std::wstring& parent, SECURITY_ATTRIBUTES* access);
    bool WriteStaged(const std::wstring& entry, const std::wstring& name, const FileBytes& bytes);
    // Plans, first, the moves that set aside each file the installed version's list names and this
    // payload does not have, when it is a plain file where its name says.
    void PlanRetiredFiles();
    void Note(const std::wstring& line);
    // Writes the phase through to the journal; false when it could not be.
    bool WritePhase(InstallPhase phase);
    // Deletes the staging folder and, when it is gone, the journal; false when something stays.
    bool DiscardStaging();
    // Leaves the journal as it stands, for the next run to finish what this one could not.
    void LeaveToNextRun();

    StagingLayout m_layout;
    std::wstring m_productKey;
    const CFileMover& m_files;
    State m_state = State::Idle;
    bool m_fresh = false;
    bool m_journaled = false;
    InstallPhase m_phase = InstallPhase::Staging;
    std::wstring m_createdFrom;  // what the journal names: the highest level to be made
    std::wstring m_madeFrom;     // the highest level this run has made
    bool m_stagingMade = false;
    CKnownFolders m_stagedFolders;
    CFileWriterPool* m_writer = nullptr;
    CommitPlan m_plan;
    CRunLog* m_log = nullptr;
    // Keyed by EntryNameKey, as the file system compares.
    std::unordered_map<std::wstring, bool> m_folderExists;
    std::unordered_set<std::wstring> m_plannedFiles;    // files staged to be moved in or replaced
    std::unordered_set<std::wstring> m_plannedFolders;  // new folders, each moved in as a whole
    std::unordered_set<std::wstring> m_payloadFiles;    // every file of the payload, staged or not
    std::vector<unsigned char> m_compareBuffer;
    std::vector<ItemLeft> m_deletedAtRestart;
    ItemLeft m_discardLeft;
};

// "~setup~" and 16 random hexadecimal digits.
std::wstring NewStagingName();
// `parent` (ending in a backslash) and the first of up to eight names from `newName` that nothing
// there has; empty when each was taken.
std::wstring UnusedStagingPath(const std::wstring& parent,
                               const std::function<std::wstring()>& newName = NewStagingName);
