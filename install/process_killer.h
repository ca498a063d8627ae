#pragma once
// Ends running copies of the product so that none holds a file the installation must overwrite.

#include <string>

// Whole-name, case-insensitive match of a process's executable file name.
bool IsSameExecutableName(const std::wstring& processName, const std::wstring& wanted);

// Terminates, with exit code 9, every other process whose executable file name is `exeName`.
// Does not wait for them to exit; every failure is passed over in silence.
void EndProcessesNamed(const std::wstring& exeName);
