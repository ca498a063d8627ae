#pragma once
// Conversions between the build machine's UTF-8 file names and the archive's UTF-16 names.

#include <optional>
#include <string>

namespace pack {

// Strict UTF-8 to UTF-16: nothing on malformed, overlong or surrogate-coded input.
std::optional<std::u16string> Utf8ToUtf16(const std::string& text);

// UTF-16 to UTF-8 for printing; an unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const std::u16string& text);

// Why a relative name (backslash-separated) cannot be a file path on Windows; empty when it can.
std::string WindowsNameProblem(const std::u16string& name);

}  // namespace pack
