#pragma once
// UTF-8 and UTF-16 text without the platform: the packer converts the build machine's file names
// and writes the list of installed files with it, the uninstaller reads that list back, and the
// installer traces entry names with it.

#include <optional>
#include <string>
#include <string_view>

// Strict UTF-8 to UTF-16: nothing on malformed, overlong or surrogate-coded input.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// UTF-16 to UTF-8 for printing and for the list; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// The same for the platform's wide text, UTF-16 on Windows.
inline std::string WideToUtf8(std::wstring_view text) {
    return Utf16ToUtf8(std::u16string(text.begin(), text.end()));
}
