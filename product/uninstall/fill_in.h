#pragma once
// Puts values into a translated message at "{0}", "{1}", ..., wherever each language wants them.

#include <string>
#include <vector>

std::wstring FillIn(const std::wstring& pattern, const std::vector<std::wstring>& values);
