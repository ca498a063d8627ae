#pragma once
// The uninstaller's run: checks, asks, removes, reports.

#include "product/uninstall/uninstall_command.h"

// Returns the exit code (exit_code.h). `program` is this process's own file.
int RunUninstaller(const UninstallCommand& command, const std::wstring& program);
