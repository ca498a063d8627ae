#pragma once
// The current user's shell folders (Desktop, Start-menu Programs), looked up without creating them.

#include <string>

// Fills `path` with the folder of `csidl` (a CSIDL_ value); false when the shell cannot name it.
bool GetShellFolder(int csidl, std::wstring& path);
