#pragma once
// The file a running process was started from.

#include <windows.h>

#include <string>

// Its full path, asked of the process handle (which needs PROCESS_QUERY_LIMITED_INFORMATION);
// empty for anything that is not such a process handle.
std::wstring ProcessImagePath(HANDLE process);
