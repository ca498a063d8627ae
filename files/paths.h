#pragma once
// Path text rules shared by extraction and the installation actions. Paths are plain wide strings
// with backslashes; nothing here normalises them.

#include <cstdint>
#include <string>
#include <unordered_map>

#include "files/file_bytes.h"
#include "platform/unique_handle.h"

// Folder + name with exactly one backslash between them; only one separator on each side is looked
// at.
std::wstring JoinPath(const std::wstring& left, const std::wstring& right);

// Everything up to and including the last backslash; empty when there is none.
std::wstring ParentFolder(const std::wstring& path);

// The path without the separators (backslashes or slashes) that end it; a lone one stays.
std::wstring WithoutTrailingSeparators(std::wstring path);

// The folders one run has created or found, so that each is looked for once, not once per file.
class CKnownFolders {
public:
    enum class Origin { Found, Created };
    const Origin* Find(const std::wstring& folder) const;
    void Remember(const std::wstring& folder, Origin origin) { m_folders[folder] = origin; }
    void Forget(const std::wstring& folder) { m_folders.erase(folder); }

private:
    std::unordered_map<std::wstring, Origin> m_folders;
};

// Makes the target's folder (every missing level, from the highest down) and refuses a read-only,
// hidden or system file at the target in a folder the run did not make: what must happen in
// archive order before a file can be written. With `known`, as WriteEntryFile.
bool PrepareEntryTarget(const std::wstring& target, CKnownFolders* known);

// Creates or truncates `target`, whose folder exists, and writes the bytes, a call per piece; a
// folder that has gone away is made again, once. The file, still open, only when it now holds
// exactly those bytes; a file whose write fails part-way, or whose next piece cannot be had, is
// removed, and the last error tells why.
CFileHandle WriteOpenFile(const std::wstring& target, const FileBytes& bytes);
inline CFileHandle WriteOpenFile(const std::wstring& target, const void* data, int32_t count) {
    return WriteOpenFile(target, FileBytes::Whole(data, count));
}

// WriteOpenFile, then the file's close.
bool WriteFileBytes(const std::wstring& target, const FileBytes& bytes);
inline bool WriteFileBytes(const std::wstring& target, const void* data, int32_t count) {
    return WriteFileBytes(target, FileBytes::Whole(data, count));
}

// PrepareEntryTarget, then WriteFileBytes. True only when the file now holds exactly those bytes; a
// file whose write fails part-way is removed, so no cut-short file is left under the real name.
// With `known`, a folder it lists is not looked for again, and one made or found is added to it.
bool WriteEntryFile(const std::wstring& target, const FileBytes& bytes,
                    CKnownFolders* known = nullptr);
inline bool WriteEntryFile(const std::wstring& target, const void* data, int32_t count,
                           CKnownFolders* known = nullptr) {
    return WriteEntryFile(target, FileBytes::Whole(data, count), known);
}
