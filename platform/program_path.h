#pragma once
// The full path of the running program's own file.

#include <string>

// Empty only when the system cannot say.
std::wstring ThisProgramPath();
