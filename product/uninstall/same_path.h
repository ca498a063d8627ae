#pragma once
// Whether two paths, already made absolute, name the same file or folder.

#include <string>

// Letter case and trailing separators aside, equal; never for an empty path.
bool SamePath(const std::wstring& a, const std::wstring& b);
