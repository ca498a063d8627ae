#pragma once
// Which language the string table should answer in for this test run.

#include <windows.h>

#include <cstdlib>
#include <string>

namespace testing_support {

// The run's declared language (EXPECTED_UI_LANGUAGE), else the thread's UI language.
inline bool ExpectChinese() {
    const char* expected = std::getenv("EXPECTED_UI_LANGUAGE");
    if (expected && *expected) return std::string(expected) == "zh";
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE;
}

}  // namespace testing_support
