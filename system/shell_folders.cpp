#include "system/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "platform/unique_handle.h"

bool GetShellFolder(int csidl, std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE) || !buffer[0]) return false;
    path = buffer;
    return true;
}

ShortcutFolderIds ShortcutFoldersFor(PSID user) {
    if (user && IsValidSid(user) && IsWellKnownSid(user, WinLocalSystemSid))
        return {CSIDL_COMMON_PROGRAMS, CSIDL_COMMON_DESKTOPDIRECTORY};
    return {CSIDL_PROGRAMS, CSIDL_DESKTOP};
}

ShortcutFolderIds ShortcutFoldersOfThisAccount() {
    CKernelHandle token;
    DWORD size = 0;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Put()))
        return ShortcutFoldersFor(nullptr);
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), DWORD(buffer.size()), &size))
        return ShortcutFoldersFor(nullptr);
    return ShortcutFoldersFor(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}
