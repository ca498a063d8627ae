#pragma once
// The uninstaller's command line.
//   uninstall.exe [/S] [/LOG=FILE]       remove the product; /S: no questions, no messages, no
//                                        window at all, refusals included; /LOG=: append a log of
//                                        the run to FILE
//   copy.exe /finish HANDLE [GUARD] PROGRAM [/above=FOLDER]
//                                        the temporary copy's part: once the process HANDLE (an
//                                        inherited handle, in decimal) has ended, delete PROGRAM,
//                                        holding the installation guard that the uninstaller
//                                        handed down as the inherited handle GUARD; then the
//                                        folders from PROGRAM's up to FOLDER, each while empty

#include <cstdint>
#include <string>
#include <vector>

struct UninstallCommand {
    enum class Mode { Uninstall, Finish, Invalid };
    Mode mode = Mode::Invalid;
    // Also for a command line that is refused: /S anywhere in it keeps the refusal silent.
    bool silent = false;
    std::wstring logFile;
    uintptr_t waitHandle = 0;
    // 0 when the command line names none.
    uintptr_t guardHandle = 0;
    std::wstring program;
    // The highest folder the installation made above its install folder; empty when none.
    std::wstring madeAbove;
};

// `args` without the program's own name.
UninstallCommand ParseUninstallCommand(const std::vector<std::wstring>& args);

// The arguments of the copy's command line, as ParseUninstallCommand reads them back (without a
// guard when `guardHandle` is 0, without a folder above when `madeAbove` is empty); empty when
// `program` or `madeAbove` is not a path the copy would accept.
std::wstring FinishArguments(uintptr_t waitHandle, uintptr_t guardHandle,
                             const std::wstring& program, const std::wstring& madeAbove = L"");

// Whether `path` names a file independently of any current drive or folder: "X:\...",
// "\\server\share\..." or either behind "\\?\" ("\\?\X:\...", "\\?\UNC\server\share\...").
bool IsFullProgramPath(const std::wstring& path);
