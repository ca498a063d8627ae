#include "ui/command_line.h"

#include <windows.h>
#include <shellapi.h>

#include "platform/unique_handle.h"

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
