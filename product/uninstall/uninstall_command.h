#pragma once
// The uninstaller's command line.
//   uninstall.exe [/S]                   remove the product; /S: no questions, no messages
//   copy.exe /finish HANDLE PROGRAM      the temporary copy's part: once the process HANDLE (an
//                                        inherited handle, in decimal) has ended, delete PROGRAM

#include <cstdint>
#include <string>
#include <vector>

struct UninstallCommand {
    enum class Mode { Uninstall, Finish, Invalid };
    Mode mode = Mode::Invalid;
    bool silent = false;
    uintptr_t waitHandle = 0;
    std::wstring program;
};

// `args` without the program's own name.
UninstallCommand ParseUninstallCommand(const std::vector<std::wstring>& args);

// The arguments of the copy's command line, as ParseUninstallCommand reads them back; empty when
// `program` is not a path the copy would accept.
std::wstring FinishArguments(uintptr_t waitHandle, const std::wstring& program);

// Whether `path` names a file independently of any current drive or folder: "X:\...",
// "\\server\share\..." or either behind "\\?\" ("\\?\X:\...", "\\?\UNC\server\share\...").
bool IsFullProgramPath(const std::wstring& path);
