#pragma once
// What the test runner promised about the Windows environment of this run.

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cwchar>
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

// The value of a command-line argument such as --sleeper=PATH, empty without one. A path of the
// build machine (it starts with a slash) becomes the same path on Wine's Z: drive.
inline std::wstring ArgumentValue(const wchar_t* prefix) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring value;
    const size_t length = std::wcslen(prefix);
    for (int i = 1; argv && i < argc; ++i)
        if (std::wcsncmp(argv[i], prefix, length) == 0) value = argv[i] + length;
    LocalFree(argv);
    if (!value.empty() && value[0] == L'/') {
        for (auto& c : value)
            if (c == L'/') c = L'\\';
        value = L"Z:" + value;
    }
    return value;
}

}  // namespace testing_support
