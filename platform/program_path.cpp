#include "platform/program_path.h"

#include <windows.h>

std::wstring ThisProgramPath() {
    // Long paths do not fit MAX_PATH: grow until the whole name fits.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], DWORD(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) return path.substr(0, length);
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
}
