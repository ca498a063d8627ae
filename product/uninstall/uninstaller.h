#pragma once
// The uninstaller's run: checks, asks, removes, reports.

#include "product/uninstall/uninstall_command.h"
#include "res/product_identity.h"

// Returns the exit code (exit_code.h). `program` is this process's own file.
int RunUninstaller(const UninstallCommand& command, const std::wstring& program,
                   const ProductIdentity& product);
