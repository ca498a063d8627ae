#pragma once
// Writes an installation where it cannot be seen, then puts it in place at once, so that a run
// either completes or leaves the install folder as it was.
//
// A fresh installation is written into a staging folder beside the install folder, which becomes
// the install folder in one move. An update writes the files that differ into a staging folder
// inside the install folder; files that are already there, byte for byte, are left alone. The final
// step moves each old file aside, each new one into its place, and folders the installation did not
// have in one move each; it then deletes the old files. A failure or cancel before it, or a move it
// cannot make, undoes everything. The installation's record (install/install_journal.h) tells a
// later run what to finish or undo after a kill.

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "install/commit_plan.h"
#include "install/file_closer.h"
#include "install/install_journal.h"
#include "install/paths.h"

class CStagedInstall {
public:
    // `productKey` names the installation's record; `files` carries out the final step's moves.
    CStagedInstall(std::wstring installFolder, std::wstring productKey,
                   const CFileMover& files = SystemFiles());
    // Undoes whatever was staged unless the final step has completed.
    ~CStagedInstall();
    CStagedInstall(const CStagedInstall&) = delete;
    CStagedInstall& operator=(const CStagedInstall&) = delete;

    // Makes the staging folder (and, for a fresh installation, the missing folders above the
    // install folder) and writes the record. False when the install folder cannot be used.
    bool Begin();
    // Stages one entry: `name` is its name from the archive. False when it cannot be written, or an
    // existing file that must be replaced cannot be (held open by another program, read-only,
    // hidden or system, a folder).
    bool Stage(const std::wstring& name, const void* data, int32_t count);
    // Writes the staged files through `closer`, which closes them on other threads. It must be
    // finished before Commit or Rollback, so that no staged file is open during them.
    void CloseThrough(CFileCloser* closer) { m_closer = closer; }
    // Puts everything in place. Cannot be cancelled. False, with everything undone, when a move
    // was refused.
    bool Commit();
    // Undoes what was staged; also what the destructor does.
    void Rollback();

    const CommitPlan& Plan() const { return m_plan; }
    const StagingLayout& Layout() const { return m_layout; }

private:
    enum class State { Idle, Staging, Committed, RolledBack };

    bool StageInNewFolder(const std::wstring& name, const std::wstring& newFolder, const void* data,
                          int32_t count);
    bool StageInExistingFolder(const std::wstring& name, const void* data, int32_t count);
    // The highest folder of `folder` (relative, ending in a backslash) that the installation does
    // not have; empty when it has them all, nothing when a file stands where one must be.
    std::optional<std::wstring> FirstNewFolder(const std::wstring& folder);
    bool WriteStaged(const std::wstring& name, const void* data, int32_t count);
    // Deletes the staging folder and, when it is gone, the record; false when something stays.
    bool DiscardStaging();
    void Abandon();

    StagingLayout m_layout;
    std::wstring m_productKey;
    const CFileMover& m_files;
    State m_state = State::Idle;
    bool m_fresh = false;
    bool m_recorded = false;
    std::wstring m_createdFrom;
    CKnownFolders m_stagedFolders;
    CFileCloser* m_closer = nullptr;
    CommitPlan m_plan;
    // Keyed by the name in upper case, as the file system compares.
    std::unordered_map<std::wstring, bool> m_folderExists;
    std::unordered_map<std::wstring, size_t> m_planned;
    std::vector<unsigned char> m_compareBuffer;
};
