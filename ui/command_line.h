#pragma once
// The one feature of the command line: an install folder followed by a second argument starts the
// installation at once.

#include <string>
#include <vector>

struct CommandLineRequest {
    std::wstring folder;
    bool present = false;
};

// The process-wide record, made on first use and never freed. The entry point writes it before the
// window exists; the window's creation handler reads it.
CommandLineRequest& GetCommandLineRequest();

// Splits the command line without the program name as CommandLineToArgvW does, which reads the
// first token by the rules for a program name. An empty line gives one element (the program's
// path).
std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine);

// Two or more arguments name the folder first; the second is required but never looked at.
CommandLineRequest ParseCommandLine(const std::vector<std::wstring>& arguments);
