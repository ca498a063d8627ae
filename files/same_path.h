#pragma once
// When two paths are the same: as text (paths the system gave, already absolute) and as files.

#include <windows.h>

#include <string>

#include "files/paths.h"

// Letter case and trailing separators aside, equal; never for an empty path.
bool SamePath(const std::wstring& a, const std::wstring& b);

// The same existing file or folder (volume and file index), whatever form, link or letter case
// reached it; false when either cannot be opened.
bool SameFile(const std::wstring& a, const std::wstring& b);

// Whether two existing items lie on the same volume; false when either cannot be opened.
bool SameVolume(const std::wstring& a, const std::wstring& b);

// One file's identity, taken once to compare many paths against.
class CFileIdentity {
public:
    explicit CFileIdentity(const std::wstring& path);
    // The identity of the file or folder an open handle holds.
    explicit CFileIdentity(HANDLE file);
    // False when the file could not be opened: it is then the same as nothing.
    bool Known() const { return m_known; }
    bool IsFileAt(const std::wstring& path) const;
    bool operator==(const CFileIdentity& other) const;
    unsigned long Volume() const { return m_volume; }

private:
    bool m_known = false;
    unsigned long m_volume = 0;
    unsigned long m_indexHigh = 0;
    unsigned long m_indexLow = 0;
};
