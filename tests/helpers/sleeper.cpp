// Stands in for a running copy of the product: it only waits until it is ended. Given a file (its
// first argument; the rest are a stand-in's command line and ignored), it holds that file open
// without sharing while it runs, as Windows holds a running program's own files: nobody can write
// it until the process is gone. With --movable, it holds every file after that open for deletion
// and shares everything: a file can still be renamed, moved on its volume and read, but whoever
// opens it for deletion without sharing that (as the installer's removal does) is refused until
// the process is gone. It says "holding" on standard output once it holds its files, "not held"
// when it cannot open one.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

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
    std::vector<CFileHandle> held;
    bool all = true;
    for (const int end = movable ? argc : std::min(argc, next + 1); next < end; ++next) {
        held.emplace_back(CreateFileW(
            argv[next], movable ? GENERIC_READ | DELETE : GENERIC_READ,
            movable ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE : 0, nullptr,
            movable ? OPEN_EXISTING : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        all = all && held.back();
    }
    if (!held.empty()) Say(all ? "holding" : "not held");
    Sleep(60000);
    return 0;
}
