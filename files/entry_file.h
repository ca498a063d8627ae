#pragma once
// The two calls that begin and end the life of a file the installation writes: its creation and
// its close. They are kept in a file of their own so that the benchmark can link a version that
// adds the fixed cost Windows' real-time scanning adds to each (bench/slow_entry_file.cpp).

#include <string>

#include "platform/unique_handle.h"

// Creates or truncates `target` for writing, shared with nobody, and with the right to delete it,
// so that a file whose write fails can be removed through the handle.
CFileHandle CreateEntryFile(const std::wstring& target);
// Closes the file, ending the handle's ownership.
void CloseEntryFile(CFileHandle file);
