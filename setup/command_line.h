#pragma once
// What setup.exe's command line asks for. Without a switch: an install folder followed by a second
// argument starts the installation at once. With switches (each starting with '/', anywhere,
// letters in any case):
//   /S            silent: no window at all; install, register, exit with the code
//   /NODESKTOP    no desktop shortcut (under /S; interactively the box starts cleared)
//   /LOG=FILE     append a log of the run to FILE
//   /NORESTART    accepted and ignored: nothing the installer writes needs a restart
//   /D=FOLDER     the install folder, a whole path (files/install_folder.h), taken in its normal
//                 form; it takes the rest of the line, spaces included, so it comes last
// Any other switch, an argument that is not a switch beside them, and a /D= the folder rule refuses
// (empty, relative, a name Windows cannot hold) are usage errors.

#include <string>
#include <vector>

struct CommandLineRequest {
    std::wstring folder;   // the first argument without switches, or /D=; empty when not given
    bool present = false;  // the two-argument form: the window installs into `folder` at once
    bool silent = false;
    bool desktopShortcut = true;
    bool noRestart = false;  // /NORESTART was given, which changes nothing
    std::wstring logFile;
    bool usageError = false;
    std::wstring offending;  // what made it a usage error, as written
};

// The process-wide request, made on first use and never freed. The entry point writes it and tells
// the window, before it exists, what the request asks of it.
CommandLineRequest& GetCommandLineRequest();

// Splits the command line without the program name as CommandLineToArgvW does, which reads the
// first token by the rules for a program name. An empty line gives one element (the program's
// path).
std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine);

// Two or more arguments name the folder first; the second is required but never looked at.
CommandLineRequest ParseCommandLine(const std::vector<std::wstring>& arguments);

// The whole command line without the program name, switches included. /D= is found in the text
// itself, outside quotes, where an argument begins; a quoted "/D=FOLDER" argument counts as well.
CommandLineRequest ReadCommandLine(const wchar_t* commandLine);
