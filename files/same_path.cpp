#include "files/same_path.h"

#include <windows.h>

#include "archive/entry_name.h"
#include "platform/unique_handle.h"

bool SamePath(const std::wstring& a, const std::wstring& b) {
    const std::wstring left = WithoutTrailingSeparators(a), right = WithoutTrailingSeparators(b);
    if (left.empty() || right.empty()) return false;
    return CompareStringOrdinal(left.c_str(), int(left.size()), right.c_str(), int(right.size()),
                                TRUE) == CSTR_EQUAL;
}

CFileIdentity::CFileIdentity(const std::wstring& path) {
    if (path.empty()) return;
    const CFileHandle file(CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (file) *this = CFileIdentity(file.Get());
}

CFileIdentity::CFileIdentity(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return;
    m_known = true;
    m_volume = info.dwVolumeSerialNumber;
    m_indexHigh = info.nFileIndexHigh;
    m_indexLow = info.nFileIndexLow;
}

bool CFileIdentity::operator==(const CFileIdentity& other) const {
    return m_known && other.m_known && other.m_volume == m_volume &&
           other.m_indexHigh == m_indexHigh && other.m_indexLow == m_indexLow;
}

bool CFileIdentity::IsFileAt(const std::wstring& path) const {
    return m_known && *this == CFileIdentity(path);
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
    return CFileIdentity(a).IsFileAt(b);
}

bool SameVolume(const std::wstring& a, const std::wstring& b) {
    const CFileIdentity left(a), right(b);
    return left.Known() && right.Known() && left.Volume() == right.Volume();
}
