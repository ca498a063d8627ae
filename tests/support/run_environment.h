#pragma once
// What the test runner promised about the Windows environment of this run.

#include <windows.h>

#include <cstdlib>
#include <string>

namespace testing_support {

// EXPECTED_UI_LANGUAGE is "zh" or "en" under the runner; otherwise ask the system.
inline bool ExpectChineseUi() {
    const char* expected = std::getenv("EXPECTED_UI_LANGUAGE");
    if (expected && *expected) return std::string(expected) == "zh";
    return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE;
}

// The runner sets the prefix's LogPixels from WINE_LOGPIXELS before the program starts.
inline UINT ExpectedDpi() {
    const char* dpi = std::getenv("WINE_LOGPIXELS");
    return dpi && *dpi ? UINT(std::strtoul(dpi, nullptr, 10)) : 96;
}

}  // namespace testing_support
