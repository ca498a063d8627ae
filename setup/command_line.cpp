#include "setup/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <cwctype>

#include "files/install_folder.h"
#include "platform/unique_handle.h"

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t';
}

// Whether `text` starts with `prefix`, letters compared without case.
bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    size_t i = 0;
    for (; prefix[i]; ++i)
        if (i >= text.size() || std::towupper(text[i]) != std::towupper(prefix[i])) return false;
    return true;
}

bool EqualsNoCase(const std::wstring& text, const wchar_t* word) {
    return StartsWithNoCase(text, word) && text.size() == std::wcslen(word);
}

// Where "/D=" begins an argument outside quotes, or npos.
size_t FindFolderSwitch(const std::wstring& line) {
    bool quoted = false;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == L'"') quoted = !quoted;
        if (!quoted && (i == 0 || IsBlank(line[i - 1])) &&
            StartsWithNoCase(line.substr(i, 3), L"/D="))
            return i;
    }
    return std::wstring::npos;
}

// The rest of the line after "/D=": trailing blanks dropped, and one pair of quotes around it,
// which no folder name can hold.
std::wstring FolderValue(std::wstring value) {
    while (!value.empty() && IsBlank(value.back())) value.pop_back();
    if (value.size() >= 2 && value.front() == L'"' && value.back() == L'"')
        value = value.substr(1, value.size() - 2);
    return value;
}

void Refuse(CommandLineRequest& request, const std::wstring& offending) {
    if (request.usageError) return;
    request.usageError = true;
    request.offending = offending;
}

void TakeFolder(CommandLineRequest& request, const std::wstring& written,
                const std::wstring& folder) {
    const auto normal = NormalInstallFolder(folder);
    if (!normal) return Refuse(request, written);
    request.folder = *normal;
}

}  // namespace

CommandLineRequest& GetCommandLineRequest() {
    static CommandLineRequest* request = new CommandLineRequest();
    return *request;
}

std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine) {
    std::vector<std::wstring> arguments;
    int count = 0;
    const CLocalMemory<LPWSTR*> list(CommandLineToArgvW(commandLine ? commandLine : L"", &count));
    if (!list) return arguments;
    arguments.assign(list.Get(), list.Get() + count);
    return arguments;
}

CommandLineRequest ParseCommandLine(const std::vector<std::wstring>& arguments) {
    CommandLineRequest request;
    if (arguments.size() >= 2) {
        request.folder = arguments[0];
        request.present = true;
    }
    return request;
}

CommandLineRequest ReadCommandLine(const wchar_t* commandLine) {
    const std::wstring line = commandLine ? commandLine : L"";
    const size_t folderSwitch = FindFolderSwitch(line);
    // Switches are split by the rules of every argument after a program's name, so that a first
    // argument such as /LOG="C:\My Logs\setup.log" keeps its quoted spaces.
    std::vector<std::wstring> arguments =
        SplitCommandLine((L"setup.exe " + line.substr(0, folderSwitch)).c_str());
    if (!arguments.empty()) arguments.erase(arguments.begin());

    bool anySwitch = folderSwitch != std::wstring::npos;
    for (const std::wstring& argument : arguments)
        if (!argument.empty() && argument[0] == L'/') anySwitch = true;
    if (!anySwitch) return ParseCommandLine(SplitCommandLine(line.c_str()));

    CommandLineRequest request;
    for (const std::wstring& argument : arguments) {
        if (EqualsNoCase(argument, L"/S")) {
            request.silent = true;
        } else if (EqualsNoCase(argument, L"/NODESKTOP")) {
            request.desktopShortcut = false;
        } else if (EqualsNoCase(argument, L"/NORESTART")) {
            request.noRestart = true;
        } else if (StartsWithNoCase(argument, L"/LOG=") && argument.size() > 5) {
            request.logFile = argument.substr(5);
        } else if (StartsWithNoCase(argument, L"/D=")) {
            TakeFolder(request, argument, FolderValue(argument.substr(3)));
        } else {
            // An unknown switch, an empty /LOG=, or a folder or word beside switches.
            Refuse(request, argument);
        }
    }
    if (folderSwitch != std::wstring::npos)
        TakeFolder(request, line.substr(folderSwitch), FolderValue(line.substr(folderSwitch + 3)));
    return request;
}
