#include "system/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

bool GetShellFolder(int csidl, std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE) || !buffer[0]) return false;
    path = buffer;
    return true;
}
