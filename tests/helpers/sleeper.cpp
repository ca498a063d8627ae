// Stands in for a running copy of the product: it only waits until it is ended. Given a file, it
// holds that file open without sharing while it runs, as Windows holds a running program's own
// files: nobody can write it until the process is gone. With --movable before the file, it holds
// it open for deletion and shares everything: the file can still be renamed, moved on its volume
// and read, but whoever opens it for deletion without sharing that (as the installer's removal
// does) is refused until the process is gone. It says "holding" on standard output once it holds
// the file, "not held" when it cannot open it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/unique_handle.h"

namespace {

void Say(const char* what) {
    std::puts(what);
    std::fflush(stdout);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int next = 1;
    const bool movable = argc > next && std::wstring(argv[next]) == L"--movable";
    if (movable) ++next;
    const std::wstring target = argc > next ? argv[next] : L"";
    const CFileHandle held(
        target.empty()
            ? INVALID_HANDLE_VALUE
            : CreateFileW(target.c_str(), movable ? GENERIC_READ | DELETE : GENERIC_READ,
                          movable ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0,
                          nullptr, movable ? OPEN_EXISTING : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                          nullptr));
    if (!target.empty()) Say(held ? "holding" : "not held");
    Sleep(60000);
    return 0;
}
