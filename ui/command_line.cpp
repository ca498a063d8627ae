#include "ui/command_line.h"

#include <windows.h>
#include <shellapi.h>

CommandLineRequest& GetCommandLineRequest() {
    static CommandLineRequest* request = new CommandLineRequest();
    return *request;
}

std::vector<std::wstring> SplitCommandLine(const wchar_t* commandLine) {
    std::vector<std::wstring> arguments;
    int count = 0;
    LPWSTR* list = CommandLineToArgvW(commandLine ? commandLine : L"", &count);
    if (!list) return arguments;
    arguments.assign(list, list + count);
    LocalFree(list);
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
