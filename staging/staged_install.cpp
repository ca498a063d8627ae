#include "staging/staged_install.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "archive/entry_name.h"
#include "files/disk_flush.h"
#include "files/install_folder.h"
#include "files/removal.h"
#include "files/restart_deletion.h"
#include "files/tree_removal.h"
#include "log/run_log.h"
#include "staging/folder_check.h"
#include "platform/random_bytes.h"
#include "platform/unique_handle.h"
#include "system/entry_list.h"
#include "system/installed_files.h"

std::wstring NewStagingName() {
    unsigned char bytes[8] = {};
    if (!FillRandom(bytes, sizeof bytes)) {
        const ULONGLONG fallback = GetTickCount64() ^ (ULONGLONG(GetCurrentProcessId()) << 40);
        std::memcpy(bytes, &fallback, sizeof bytes);
    }
    std::wstring name = kStagingPrefix;
    for (unsigned char byte : bytes) {
        name += L"0123456789abcdef"[byte >> 4];
        name += L"0123456789abcdef"[byte & 15];
    }
    return name;
}

std::wstring UnusedStagingPath(const std::wstring& parent,
                               const std::function<std::wstring()>& newName) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const std::wstring path = parent + newName();
        if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return path;
    }
    return std::wstring();
}

namespace {

bool IsFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFolderAt(const std::wstring& path) {
    return IsFolder(GetFileAttributesW(path.c_str()));
}

// A refusal of the installer's own, told as the system would tell it, for the log.
bool RefuseWith(DWORD error) {
    SetLastError(error);
    return false;
}

bool SameBytes(HANDLE file, const void* data, uint32_t count, std::vector<unsigned char>& buffer) {
    buffer.resize(size_t(count));
    DWORD read = 0;
    return count == 0 ||
           (ReadFile(file, buffer.data(), DWORD(count), &read, nullptr) && read == DWORD(count) &&
            std::memcmp(buffer.data(), data, size_t(count)) == 0);
}

// The bytes of a file in pieces whose first `prefix` bytes are the installed file's, which were
// found the same: those are read again from the installed file, then the piece that differed and
// the rest follow as they come.
class CPrefixFromFile final : public FilePieces {
public:
    CPrefixFromFile(HANDLE file, uint64_t prefix, const void* piece, uint32_t pieceSize,
                    FilePieces& rest, std::vector<unsigned char>& buffer)
        : m_file(file),
          m_left(prefix),
          m_piece(piece),
          m_pieceSize(pieceSize),
          m_rest(rest),
          m_buffer(buffer) {}

    // The first piece: the file read from its start.
    bool Start(const void*& data, uint32_t& size) {
        return SetFilePointerEx(m_file, LARGE_INTEGER{}, nullptr, FILE_BEGIN) && Next(data, size);
    }
    bool Next(const void*& data, uint32_t& size) override {
        if (m_left == 0) {
            if (!m_piece) return m_rest.Next(data, size);
            data = m_piece;
            size = m_pieceSize;
            m_piece = nullptr;
            return true;
        }
        const uint32_t chunk = uint32_t(std::min<uint64_t>(m_left, m_buffer.size()));
        DWORD read = 0;
        if (!ReadFile(m_file, m_buffer.data(), chunk, &read, nullptr)) return false;
        if (read != chunk) return RefuseWith(ERROR_HANDLE_EOF);
        m_left -= chunk;
        data = m_buffer.data();
        size = chunk;
        return true;
    }

private:
    HANDLE m_file;
    uint64_t m_left;
    const void* m_piece;
    uint32_t m_pieceSize;
    FilePieces& m_rest;
    std::vector<unsigned char>& m_buffer;
};

// The name of the file at `path` as the folder spells it, which may differ in letter case.
std::wstring SpelledName(const std::wstring& path) {
    WIN32_FIND_DATAW found{};
    const CFindHandle search(
        FindFirstFileExW(path.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr, 0));
    return search ? std::wstring(found.cFileName) : std::wstring();
}

// The staging folder and the folders a fresh installation makes above it: administrators and the
// system may change what is in them, users (the product's own, unelevated) read and run it.
// Protected, so that a parent which lets users write (a drive's root does) passes nothing on: no
// unelevated process can plant a link where the installer writes, or swap a folder on its way.
// What is moved on the same volume keeps this: the fresh staging folder as the install folder,
// staged files as the ACEs they inherited here.
constexpr wchar_t kStagingAccess[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

class CStagingAccess {
public:
    CStagingAccess() {
        if (ConvertStringSecurityDescriptorToSecurityDescriptorW(kStagingAccess, SDDL_REVISION_1,
                                                                 m_descriptor.Put(), nullptr))
            m_attributes.lpSecurityDescriptor = m_descriptor.Get();
    }
    // Null when the descriptor could not be made: nothing is to be created without it.
    SECURITY_ATTRIBUTES* Attributes() {
        return m_attributes.lpSecurityDescriptor ? &m_attributes : nullptr;
    }

private:
    CLocalMemory<PSECURITY_DESCRIPTOR> m_descriptor;
    SECURITY_ATTRIBUTES m_attributes{sizeof m_attributes, nullptr, FALSE};
};

}  // namespace

CStagedInstall::CStagedInstall(std::wstring installFolder, std::wstring productKey,
                               const CFileMover& files)
    : m_layout{std::move(installFolder), {}}, m_productKey(std::move(productKey)), m_files(files) {}

CStagedInstall::~CStagedInstall() {
    Rollback();
}

bool CStagedInstall::Begin() {
    if (m_state != State::Idle) return false;
    CStagingAccess access;
    if (!access.Attributes()) return false;
    // The command line's folder rule and form: a relative folder would be taken from wherever the
    // program happens to run.
    const auto normal = NormalInstallFolder(m_layout.installFolder);
    if (!normal) return RefuseWith(ERROR_BAD_PATHNAME);
    m_layout.installFolder = *normal;
    const std::wstring folder = JoinPath(m_layout.installFolder, L"");
    // With its backslash, a file's name is not found at all: asked again without it.
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    m_fresh =
        attributes == INVALID_FILE_ATTRIBUTES &&
        GetFileAttributesW(WithoutTrailingSeparators(folder).c_str()) == INVALID_FILE_ATTRIBUTES;
    if (!m_fresh && !IsFolder(attributes)) return false;
    const std::wstring parent =
        m_fresh ? ParentFolder(WithoutTrailingSeparators(m_layout.installFolder)) : folder;
    if (parent.empty()) return false;
    // A staging folder left for a restart to empty keeps its name until then: never taken again,
    // or the restart would delete this installation's files.
    m_layout.staging = UnusedStagingPath(parent);
    if (m_layout.staging.empty()) return RefuseWith(ERROR_ALREADY_EXISTS);
    if (m_fresh)
        m_createdFrom = HighestMissingFolder(WithoutTrailingSeparators(parent), IsFolderAt);
    // Asked before anything is journaled: a drive or share that cannot be reached or written
    // leaves nothing to undo.
    if (!CanWriteVolume(VolumeRoot(m_layout.installFolder))) return false;

    // Journaled before anything is made, so that a kill at any later point leaves the journal.
    if (!m_productKey.empty()) {
        const InstallJournal journal{m_layout.installFolder, m_layout.staging, m_createdFrom,
                                     m_fresh, InstallPhase::Staging};
        if (!StartInstallJournal(m_productKey, journal)) return false;
        m_journaled = true;
    }
    m_state = State::Staging;
    if (!m_createdFrom.empty() && !MakeMissingFolders(parent, access.Attributes())) return false;
    if (!CreateDirectoryW(m_layout.staging.c_str(), access.Attributes())) return false;
    m_stagingMade = true;
    m_stagedFolders.Remember(JoinPath(m_layout.staging, L""), CKnownFolders::Origin::Created);
    if (m_fresh) m_plan.push_back(CommitStep{CommitKind::NewFolder, L"", 0, L""});
    return true;
}

bool CStagedInstall::MakeMissingFolders(const std::wstring& parent, SECURITY_ATTRIBUTES* access) {
    const std::wstring last = WithoutTrailingSeparators(parent);
    for (size_t end = m_createdFrom.size();;
         end = std::min(last.find(L'\\', end + 1), last.size())) {
        // One level at a time, each with the list: one that is there already was made by someone
        // else meanwhile, and is not the run's to act through.
        if (!CreateDirectoryW(last.substr(0, end).c_str(), access)) return false;
        if (m_madeFrom.empty()) m_madeFrom = m_createdFrom;
        if (end == last.size()) return true;
    }
}

bool CStagedInstall::Stage(const std::wstring& name, const FileBytes& bytes) {
    if (m_state != State::Staging || bytes.total < 0) return false;
    if (name.empty() || IsPathSeparator(name.back())) return false;
    // In the form Windows gives it, so that every key and path of one file is the same.
    const std::wstring relative = PlainEntryName(name);
    if (relative.empty()) return false;
    if (m_fresh) return WriteStaged(name, relative, bytes);
    // Left alone or not, the new version has it: it is not the old version's to retire.
    m_payloadFiles.insert(EntryNameKey(relative));
    const FolderCheck folder = CheckFolder(ParentFolder(relative));
    switch (folder.verdict) {
        case FolderCheck::Verdict::FileInTheWay:
            return RefuseWith(ERROR_ALREADY_EXISTS);
        case FolderCheck::Verdict::NewFolder:
            return StageInNewFolder(name, relative, folder.newFolder, bytes);
        case FolderCheck::Verdict::AllThere:
            break;
    }
    return StageInExistingFolder(name, relative, bytes);
}

CStagedInstall::FolderCheck CStagedInstall::CheckFolder(const std::wstring& folder) {
    for (size_t end = folder.find(L'\\'); end != std::wstring::npos;
         end = folder.find(L'\\', end + 1)) {
        const std::wstring level = folder.substr(0, end);
        const std::wstring key = EntryNameKey(level);
        auto known = m_folderExists.find(key);
        if (known == m_folderExists.end()) {
            const DWORD attributes = GetFileAttributesW(m_layout.Installed(level).c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES && !IsFolder(attributes))
                return {FolderCheck::Verdict::FileInTheWay, L""};
            known = m_folderExists.emplace(key, IsFolder(attributes)).first;
        }
        if (!known->second) return {FolderCheck::Verdict::NewFolder, level};
    }
    return {FolderCheck::Verdict::AllThere, L""};
}

bool CStagedInstall::StageInNewFolder(const std::wstring& entry, const std::wstring& name,
                                      const std::wstring& newFolder, const FileBytes& bytes) {
    if (m_plannedFolders.insert(EntryNameKey(newFolder)).second)
        m_plan.push_back(CommitStep{CommitKind::NewFolder, newFolder, 0, L""});
    return WriteStaged(entry, name, bytes);
}

bool CStagedInstall::StageInExistingFolder(const std::wstring& entry, const std::wstring& name,
                                           const FileBytes& bytes) {
    const std::wstring key = EntryNameKey(name);
    if (m_plannedFiles.count(key)) return WriteStaged(entry, name, bytes);

    const std::wstring target = m_layout.Installed(name);
    WIN32_FILE_ATTRIBUTE_DATA existing{};
    if (!GetFileAttributesExW(target.c_str(), GetFileExInfoStandard, &existing)) {
        if (GetLastError() != ERROR_FILE_NOT_FOUND) return false;
        m_plannedFiles.insert(key);
        m_plan.push_back(CommitStep{CommitKind::NewFile, name, 0, L""});
        return WriteStaged(entry, name, bytes);
    }
    if (existing.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return RefuseWith(ERROR_ACCESS_DENIED);
    // Opened for deletion with nothing shared but reading: a program that holds the file open
    // (without letting it be deleted) refuses it now, before anything has changed.
    const CFileHandle old(CreateFileW(target.c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!old) return false;
    // What the comparison took of a file in pieces is read again from the installed file, whose
    // bytes were found the same up to there.
    FileBytes toWrite = bytes;
    std::optional<CPrefixFromFile> prefix;
    if (existing.nFileSizeHigh == 0 && existing.nFileSizeLow == DWORD(bytes.total)) {
        const void* piece = bytes.data;
        uint32_t size = bytes.size;
        uint64_t same = 0;
        while (SameBytes(old, piece, size, m_compareBuffer)) {
            same += size;
            if (same == uint64_t(bytes.total))
                return true;  // already there as it should be: left alone, times and all
            if (!bytes.rest || !bytes.rest->Next(piece, size)) return false;
            if (size == 0 || same + size > uint64_t(bytes.total))
                return RefuseWith(ERROR_INVALID_DATA);
        }
        if (same > 0) {
            prefix.emplace(old, same, piece, size, *bytes.rest, m_compareBuffer);
            toWrite.rest = &*prefix;
            if (!prefix->Start(toWrite.data, toWrite.size)) return false;
        }
    }
    // Windows refuses to overwrite these with a normal file; the installer keeps to that rule.
    constexpr DWORD kProtected =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (existing.dwFileAttributes & kProtected) return RefuseWith(ERROR_ACCESS_DENIED);
    const std::wstring spelled = SpelledName(target);
    if (spelled.empty()) return false;
    m_plannedFiles.insert(key);
    m_plan.push_back(CommitStep{CommitKind::ChangedFile, name, uint32_t(m_plan.size()), spelled});
    return WriteStaged(entry, name, toWrite);
}

bool CStagedInstall::WriteStaged(const std::wstring& entry, const std::wstring& name,
                                 const FileBytes& bytes) {
    const std::wstring target = m_layout.Staged(name);
    if (!m_writer) return WriteEntryFile(target, bytes, &m_stagedFolders);
    return PrepareEntryTarget(target, &m_stagedFolders) && m_writer->Write(target, bytes, entry);
}

void CStagedInstall::PlanRetiredFiles() {
    std::vector<std::wstring> listed;
    if (!ReadEntryList(m_layout.installFolder, listed)) {
        Note(L"retired files: the installed version has no readable " +
             std::wstring(kEntryListName) + L", nothing retired");
        return;
    }
    const CRemovalFolder folder(m_layout.installFolder);
    std::unordered_set<std::wstring> planned;
    CommitPlan retired;
    for (const std::wstring& name : listed) {
        if (!IsSafeEntryName(name)) {
            Note(L"retired file left: " + name + L" (a name that leads out of the folder)");
            continue;
        }
        const std::wstring relative = PlainEntryName(name);
        const std::wstring key = EntryNameKey(relative);
        if (relative.empty() || m_payloadFiles.count(key) || !planned.insert(key).second) continue;
        const DWORD found = folder.FindPlainFileAt(relative);
        if (found == ERROR_FILE_NOT_FOUND) continue;
        const std::wstring spelled =
            found == ERROR_SUCCESS ? SpelledName(m_layout.Installed(relative)) : L"";
        if (spelled.empty()) {
            const DWORD why = found == ERROR_SUCCESS ? GetLastError() : found;
            Note(L"retired file left: " + relative + L" (" +
                 (why == ERROR_CANT_ACCESS_FILE
                      ? std::wstring(L"a folder or a link, or reached through one")
                      : SystemErrorText(HRESULT_FROM_WIN32(why))) +
                 L")");
            continue;
        }
        retired.push_back(CommitStep{CommitKind::RetiredFile, relative,
                                     uint32_t(m_plan.size() + retired.size()), spelled});
    }
    Note(L"retired files: " + std::to_wstring(retired.size()) +
         L" listed by the installed version and not in this one");
    // First, so that a kill at any point of the moves finds them among what is undone.
    m_plan.insert(m_plan.begin(), retired.begin(), retired.end());
}

void CStagedInstall::Note(const std::wstring& line) {
    if (m_log) m_log->Line(line);
}

bool CStagedInstall::Commit() {
    if (m_state != State::Staging) return false;
    // Read before the moves, while the old version's list is still in place.
    if (!m_fresh) PlanRetiredFiles();
    bool setsAside = false;
    for (const CommitStep& step : m_plan) setsAside |= SetsAside(step);
    const bool ready =
        (!setsAside || CreateDirectoryW(m_layout.SetAsideFolder().c_str(), nullptr)) &&
        (m_fresh || WriteCommitPlanFile(m_plan, m_layout)) &&
        // Without the phase in the journal, a kill during the moves would be undone as staging,
        // and that deletes the set-aside old files.
        WritePhase(InstallPhase::Committing);
    if (!ready) {
        Rollback();
        return false;
    }
    const CommitOutcome outcome = ApplyCommitPlan(m_plan, m_layout, m_files);
    if (outcome == CommitOutcome::Stuck) {
        LeaveToNextRun();
        return false;
    }
    if (outcome == CommitOutcome::Undone) {
        Rollback();
        return false;
    }
    // The discard deletes what was set aside: the moves and the new files' data must be on the
    // disk before the journal says they are done, and if it cannot say so, they are undone.
    if (!FlushCommitPlan(m_plan, m_layout, true) || !WritePhase(InstallPhase::Discarding)) {
        if (!UndoCommitPlan(m_plan, m_layout, m_files)) {
            LeaveToNextRun();
            return false;
        }
        Rollback();
        return false;
    }
    m_state = State::Committed;
    DiscardStaging();
    if (const int left = RemoveRetiredFolders(m_plan, m_layout))
        Note(L"retired files: " + std::to_wstring(left) + L" emptied folders could not be removed");
    return true;
}

void CStagedInstall::Rollback() {
    if (m_state != State::Staging) return;
    m_state = State::RolledBack;
    // Undone moves are on the disk before the journal says none is outstanding: the staging
    // folder, deleted from then on, held the old files while they were set aside.
    if (m_phase == InstallPhase::Committing &&
        !(FlushCommitPlan(m_plan, m_layout, false) && WritePhase(InstallPhase::Staging))) {
        LeaveToNextRun();
        return;
    }
    // What cannot be deleted stays in the journal, for the next run to try again; a folder the
    // run never made is gone already, whatever the system says of its path.
    if (m_stagingMade && !RemoveStagingFolder(m_layout)) {
        LeaveToNextRun();
        return;
    }
    RemoveEmptyFoldersUpTo(ParentFolder(WithoutTrailingSeparators(m_layout.installFolder)),
                           m_madeFrom);
    if (m_journaled) DeleteInstallJournal(m_productKey);
}

bool CStagedInstall::WritePhase(InstallPhase phase) {
    if (m_journaled && !SetJournalPhase(m_productKey, phase)) return false;
    m_phase = phase;
    return true;
}

bool CStagedInstall::DiscardStaging() {
    std::vector<ItemLeft> left = RemoveStagingFolderLeaving(m_layout);
    // Held past the retries (an old DLL that Explorer or a service has loaded): deleted at the next
    // restart instead, so that no journal stops every run until the holder ends. Its folders
    // stay until then, so Begin never takes their names.
    if (!left.empty() && !DeleteAtRestart(left, &m_discardLeft)) return false;
    m_deletedAtRestart = std::move(left);
    // The journal goes once the deletions are on the disk, or a power loss could leave a staging
    // folder that nothing names.
    if (!m_fresh) FlushVolumeOf(m_layout.installFolder);
    if (m_journaled) DeleteInstallJournal(m_productKey);
    return true;
}

void CStagedInstall::LeaveToNextRun() {
    m_state = State::LeftToNextRun;
}
