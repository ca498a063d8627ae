#pragma once
// The shell folders shortcuts go to (Desktop, Start-menu Programs), looked up without creating
// them.

#include <windows.h>

#include <string>

// Fills `path` with the folder of `csidl` (a CSIDL_ value); false when the shell cannot name it.
bool GetShellFolder(int csidl, std::wstring& path);

// Which Programs and Desktop folders an installation's shortcuts go to (CSIDL_ values).
struct ShortcutFolderIds {
    int programs;
    int desktop;
};

// For the account `user` (a token's user): the system account, as which device-management tools
// install, has a profile no user ever sees, so its shortcuts go to the all-users folders; every
// other account keeps its own. Null counts as another account.
ShortcutFolderIds ShortcutFoldersFor(PSID user);

// The same for the account this process runs as.
ShortcutFolderIds ShortcutFoldersOfThisAccount();
