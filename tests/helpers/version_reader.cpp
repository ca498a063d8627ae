// Prints a program's version information for the tests, read the way Windows reads it for the
// file's Properties, as UTF-8 lines:
//   fixed A.B.C.D A.B.C.D      file and product version of the fixed part
//   translation LLLL CCCC ...  each language and code page the Translation entry lists (hex)
//   LLLLCCCC Name=Value        each string of each block the Translation entry lists
// Exits with 1 when the file carries no version information.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

const wchar_t* const kNames[] = {L"CompanyName",  L"FileDescription", L"FileVersion",
                                 L"InternalName", L"LegalCopyright",  L"OriginalFilename",
                                 L"ProductName",  L"ProductVersion"};

void PrintUtf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], size, nullptr, nullptr);
    std::printf("%s\n", out.c_str());
}

std::wstring Dotted(DWORD high, DWORD low) {
    wchar_t text[32];
    swprintf(text, 32, L"%u.%u.%u.%u", HIWORD(high), LOWORD(high), HIWORD(low), LOWORD(low));
    return text;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: version_reader FILE\n");
        return 2;
    }
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(argv[1], &ignored);
    std::vector<unsigned char> data(size);
    if (size == 0 || !GetFileVersionInfoW(argv[1], 0, size, data.data())) {
        std::fprintf(stderr, "version_reader: no version information\n");
        return 1;
    }

    void* value = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", &value, &length) && length >= sizeof(VS_FIXEDFILEINFO)) {
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
        PrintUtf8(L"fixed " + Dotted(fixed->dwFileVersionMS, fixed->dwFileVersionLS) + L" " +
                  Dotted(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
    }

    struct Translation {
        WORD language;
        WORD codePage;
    };
    std::vector<Translation> translations;
    if (VerQueryValueW(data.data(), L"\\VarFileInfo\\Translation", &value, &length)) {
        const auto* first = static_cast<const Translation*>(value);
        translations.assign(first, first + length / sizeof(Translation));
    }
    std::wstring line = L"translation";
    for (const auto& t : translations) {
        wchar_t pair[16];
        swprintf(pair, 16, L" %04x %04x", t.language, t.codePage);
        line += pair;
    }
    PrintUtf8(line);

    for (const auto& t : translations) {
        wchar_t block[16];
        swprintf(block, 16, L"%04x%04x", t.language, t.codePage);
        for (const wchar_t* name : kNames) {
            const std::wstring path = std::wstring(L"\\StringFileInfo\\") + block + L"\\" + name;
            if (!VerQueryValueW(data.data(), path.c_str(), &value, &length)) continue;
            const auto* text = static_cast<const wchar_t*>(value);
            PrintUtf8(std::wstring(block) + L" " + name + L"=" +
                      std::wstring(text, wcsnlen(text, length)));
        }
    }
    return 0;
}
