#include "platform/checked_file.h"

#include <winternl.h>

#include <algorithm>

namespace {

constexpr wchar_t kLongPrefix[] = L"\\\\?\\";
constexpr wchar_t kLongUncPrefix[] = L"\\\\?\\UNC\\";

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    return text.compare(0, wcslen(prefix), prefix) == 0;
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), int(a.size()), b.c_str(), int(b.size()), TRUE) ==
           CSTR_EQUAL;
}

std::wstring Joined(const std::wstring& folder, const std::wstring& name) {
    return folder.empty() || folder.back() == L'\\' ? folder + name : folder + L'\\' + name;
}

}  // namespace

std::wstring FinalPathOf(HANDLE item) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetFinalPathNameByHandleW(item, &path[0], DWORD(path.size()), FILE_NAME_NORMALIZED);
        if (length == 0 || length > 65536) return std::wstring();
        if (length < path.size()) return path.substr(0, length);
        path.resize(length);
    }
}

namespace {
// The whole path meant, as the system reads it (relative parts, slashes and the dots that end a
// level resolved) and with its short names expanded where they exist.
std::wstring MeantPath(const std::wstring& path) {
    if (path.empty()) return std::wstring();
    std::wstring full(MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), DWORD(full.size()), &full[0], nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(path.c_str(), DWORD(full.size()), &full[0], nullptr);
    }
    if (length == 0 || length >= full.size()) return std::wstring();
    full.resize(length);
    std::wstring expanded(full.size() + MAX_PATH, L'\0');
    length = GetLongPathNameW(full.c_str(), &expanded[0], DWORD(expanded.size()));
    if (length == 0 || length >= expanded.size()) return full;
    expanded.resize(length);
    return expanded;
}

template <class Checked>
Checked Refused(DWORD error, std::wstring why, bool misplaced = false) {
    Checked refused;
    refused.error = error;
    refused.why = std::move(why);
    refused.misplaced = misplaced;
    return refused;
}

// `name` opened relative to `folder`, a link at the name itself opened as the link.
NTSTATUS OpenRelative(HANDLE folder, const std::wstring& name, ACCESS_MASK access, DWORD share,
                      ULONG options, HANDLE& opened) {
    UNICODE_STRING text;
    text.Buffer = const_cast<wchar_t*>(name.c_str());
    text.Length = USHORT(name.size() * sizeof(wchar_t));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK status{};
    opened = nullptr;
    return NtCreateFile(&opened, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &status,
                        nullptr, FILE_ATTRIBUTE_NORMAL, share, FILE_OPEN_IF,
                        options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT, nullptr,
                        0);
}

// Why the item opened at `meant` is not what was meant there; empty when it is.
std::wstring Mismatch(HANDLE item, const std::wstring& meant, bool folder) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(item, &info)) return meant + L": its kind cannot be read";
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
        !GetFileInformationByHandleEx(item, FileAttributeTagInfo, &tag, sizeof tag))
        tag.ReparseTag = IO_REPARSE_TAG_SYMLINK;  // unknown: taken as the worst it could be
    const wchar_t* kind =
        WrongKind(info.dwFileAttributes, tag.ReparseTag, info.nNumberOfLinks, folder);
    if (kind) return meant + kind;
    const std::wstring final = FinalPathOf(item);
    if (!IsFinalPathOf(final, meant))
        return meant + L" is reached through a link" +
               (final.empty() ? std::wstring() : L" (it leads to " + ComparablePath(final) + L")");
    return std::wstring();
}

}  // namespace

std::wstring ComparablePath(const std::wstring& path) {
    std::wstring plain = path;
    if (StartsWith(plain, kLongUncPrefix))
        plain = L"\\\\" + plain.substr(wcslen(kLongUncPrefix));
    else if (StartsWith(plain, kLongPrefix))
        plain = plain.substr(wcslen(kLongPrefix));
    // A drive's root keeps its separator ("C:\"), a share's root or a folder loses it.
    while (plain.size() > 1 && IsSeparator(plain.back()) &&
           !(plain.size() == 3 && plain[1] == L':'))
        plain.pop_back();
    return plain;
}

bool IsFinalPathOf(const std::wstring& finalPath, const std::wstring& meant) {
    if (finalPath.empty() || meant.empty()) return false;
    return SameText(ComparablePath(finalPath), ComparablePath(meant));
}

const wchar_t* WrongKind(DWORD attributes, DWORD reparseTag, DWORD links, bool folder) {
    // A folder kept by a cloud or other storage filter (a desktop synchronised to the cloud)
    // leads nowhere else; one whose tag stands for another name does.
    const bool reparse = attributes & FILE_ATTRIBUTE_REPARSE_POINT;
    if (reparse && (!folder || IsReparseTagNameSurrogate(reparseTag)))
        return L" is a link or other reparse point";
    const bool isFolder = attributes & FILE_ATTRIBUTE_DIRECTORY;
    if (isFolder && !folder) return L" is a folder";
    if (!isFolder && folder) return L" is not a folder";
    if (!folder && links > 1) return L" is a file with a second name";
    return nullptr;
}

bool IsOneLevelName(const std::wstring& name) {
    // Longer than any file system holds, it could not be passed in one counted string either.
    constexpr size_t kLongestName = 255;
    if (name.empty() || name.size() > kLongestName || name == L"." || name == L"..") return false;
    return std::none_of(name.begin(), name.end(),
                        [](wchar_t c) { return IsSeparator(c) || c == L':' || c == L'\0'; });
}

CheckedFolder OpenCheckedFolder(const std::wstring& path) {
    const std::wstring meant = ComparablePath(MeantPath(path));
    if (meant.empty()) return Refused<CheckedFolder>(ERROR_PATH_NOT_FOUND, L"no folder named");
    // Not shared for deletion: nobody can rename it away while it is held.
    CFileHandle handle(CreateFileW(
        meant.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) {
        // A missing folder makes a missing path for what was to be created in it.
        const DWORD error = GetLastError();
        return Refused<CheckedFolder>(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error,
                                      meant + L" cannot be opened");
    }
    std::wstring why = Mismatch(handle, meant, true);
    if (!why.empty()) return Refused<CheckedFolder>(ERROR_ACCESS_DENIED, std::move(why), true);
    CheckedFolder folder;
    folder.handle = std::move(handle);
    folder.path = meant;
    return folder;
}

CheckedFolder MakeCheckedFolder(const CheckedFolder& parent, const std::wstring& relative) {
    if (!parent)
        return Refused<CheckedFolder>(parent.error ? parent.error : ERROR_INVALID_HANDLE,
                                      parent.why, parent.misplaced);
    CheckedFolder level;
    const CheckedFolder* above = &parent;
    size_t begin = 0;
    while (begin <= relative.size()) {
        size_t end = begin;
        while (end < relative.size() && !IsSeparator(relative[end])) ++end;
        const std::wstring name = relative.substr(begin, end - begin);
        begin = end + 1;
        if (name.empty()) continue;
        const std::wstring meant = Joined(above->path, name);
        if (!IsOneLevelName(name))
            return Refused<CheckedFolder>(ERROR_INVALID_NAME, meant + L" is not a folder's name");
        HANDLE opened = nullptr;
        const NTSTATUS status =
            OpenRelative(above->handle, name, FILE_LIST_DIRECTORY | FILE_TRAVERSE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_DIRECTORY_FILE, opened);
        if (!NT_SUCCESS(status))
            return Refused<CheckedFolder>(RtlNtStatusToDosError(status),
                                          meant + L" cannot be made or opened");
        CFileHandle handle(opened);
        std::wstring why = Mismatch(handle, meant, true);
        if (!why.empty()) return Refused<CheckedFolder>(ERROR_ACCESS_DENIED, std::move(why), true);
        CheckedFolder next;
        next.handle = std::move(handle);
        next.path = meant;
        level = std::move(next);
        above = &level;
    }
    if (!level) return Refused<CheckedFolder>(ERROR_INVALID_NAME, L"no folder named");
    return level;
}

CheckedFile OpenCheckedFile(const CheckedFolder& folder, const std::wstring& name,
                            ACCESS_MASK access, DWORD share) {
    if (!folder)
        return Refused<CheckedFile>(folder.error ? folder.error : ERROR_INVALID_HANDLE, folder.why,
                                    folder.misplaced);
    const std::wstring meant = Joined(folder.path, name);
    if (!IsOneLevelName(name))
        return Refused<CheckedFile>(ERROR_INVALID_NAME, meant + L" is not a file's name");
    // Not limited to files: a folder at the name opens too, and is refused by name below.
    HANDLE opened = nullptr;
    const NTSTATUS status = OpenRelative(folder.handle, name, access, share, 0, opened);
    if (!NT_SUCCESS(status))
        return Refused<CheckedFile>(RtlNtStatusToDosError(status), meant + L" cannot be opened");
    CFileHandle handle(opened);
    std::wstring why = Mismatch(handle, meant, false);
    if (!why.empty()) return Refused<CheckedFile>(ERROR_ACCESS_DENIED, std::move(why), true);
    CheckedFile file;
    file.handle = std::move(handle);
    return file;
}

CheckedFile OpenCheckedFile(const std::wstring& path, ACCESS_MASK access, DWORD share) {
    const std::wstring meant = MeantPath(path);
    const size_t cut = meant.find_last_of(L'\\');
    if (meant.empty()) return Refused<CheckedFile>(ERROR_PATH_NOT_FOUND, L"no file named");
    if (cut == std::wstring::npos || cut + 1 == meant.size())
        return Refused<CheckedFile>(ERROR_ACCESS_DENIED, meant + L" is a folder", true);
    return OpenCheckedFile(OpenCheckedFolder(meant.substr(0, cut + 1)), meant.substr(cut + 1),
                           access, share);
}

namespace {

CheckedFile WrittenAfresh(CheckedFile file, const void* bytes, size_t size,
                          const std::wstring& meant) {
    if (!file) return file;
    FILE_END_OF_FILE_INFO empty{};
    DWORD written = 0;
    if (!SetFileInformationByHandle(file.handle, FileEndOfFileInfo, &empty, sizeof empty) ||
        !WriteFile(file.handle, bytes, DWORD(size), &written, nullptr) || written != size)
        return Refused<CheckedFile>(GetLastError(), meant + L" cannot be written");
    return file;
}

}  // namespace

CheckedFile WriteCheckedFile(const std::wstring& path, const void* bytes, size_t size) {
    return WrittenAfresh(OpenCheckedFile(path, GENERIC_WRITE, 0), bytes, size,
                         ComparablePath(MeantPath(path)));
}

CheckedFile WriteCheckedFile(const CheckedFolder& folder, const std::wstring& name,
                             const void* bytes, size_t size) {
    return WrittenAfresh(OpenCheckedFile(folder, name, GENERIC_WRITE, 0), bytes, size,
                         Joined(folder.path, name));
}
