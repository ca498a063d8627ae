// Stands in for a running copy of the product: it only waits until it is ended. Given a file, it
// holds that file open without sharing while it runs, as Windows holds a running program's own
// files: nobody can write it until the process is gone. Given a pattern (* or ? in its last part)
// it first waits for a file that matches, and holds the first one that does. It says "waiting" on
// standard output when it starts and "holding" once it holds the file.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/unique_handle.h"

namespace {

std::wstring FirstMatch(const std::wstring& pattern) {
    const std::wstring folder = pattern.substr(0, pattern.find_last_of(L'\\') + 1);
    for (;;) {
        WIN32_FIND_DATAW found{};
        const CFindHandle search(FindFirstFileW(pattern.c_str(), &found));
        if (search) return folder + found.cFileName;
        Sleep(1);
    }
}

void Say(const char* what) {
    std::puts(what);
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Say("waiting");
    std::wstring target = argc > 1 ? argv[1] : L"";
    if (target.find_first_of(L"*?") != std::wstring::npos) target = FirstMatch(target);
    const CFileHandle held(!target.empty()
                               ? CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr)
                               : INVALID_HANDLE_VALUE);
    if (held) Say("holding");
    Sleep(60000);
    return 0;
}
