#include "product/uninstall/uninstall_command.h"

#include <cwctype>

namespace {

bool IsSilentSwitch(const std::wstring& arg) {
    return arg.size() == 2 && (arg[0] == L'/' || arg[0] == L'-') && std::towupper(arg[1]) == L'S';
}

bool IsLogSwitch(const std::wstring& arg) {
    return arg.size() > 5 && arg[0] == L'/' && std::towupper(arg[1]) == L'L' &&
           std::towupper(arg[2]) == L'O' && std::towupper(arg[3]) == L'G' && arg[4] == L'=';
}

bool ParseHandle(const std::wstring& text, uintptr_t& value) {
    if (text.empty() || text.size() > 19) return false;
    value = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + uintptr_t(c - L'0');
    }
    return value != 0;
}

// "X:\..." only: the copy runs from the temporary folder, where a relative path means nothing.
bool IsAbsolute(const std::wstring& path) {
    return path.size() > 3 && std::iswalpha(path[0]) && path[1] == L':' && path[2] == L'\\';
}

}  // namespace

UninstallCommand ParseUninstallCommand(const std::vector<std::wstring>& args) {
    UninstallCommand command;
    bool understood = true;
    for (const std::wstring& arg : args) {
        if (IsSilentSwitch(arg))
            command.silent = true;
        else if (IsLogSwitch(arg))
            command.logFile = arg.substr(5);
        else
            understood = false;
    }
    if (understood) {
        command.mode = UninstallCommand::Mode::Uninstall;
    } else if (args.size() == 3 && args[0] == L"/finish" &&
               ParseHandle(args[1], command.waitHandle) && IsAbsolute(args[2])) {
        command.mode = UninstallCommand::Mode::Finish;
        command.silent = true;
        command.program = args[2];
    }
    return command;
}
