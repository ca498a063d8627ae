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

bool StartsWith(const std::wstring& text, const wchar_t* prefix, bool ignoreCase = false) {
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size()) return false;
        const wchar_t c = ignoreCase ? wchar_t(std::towupper(text[i])) : text[i];
        if (c != prefix[i]) return false;
    }
    return true;
}

// "X:\" and something after it.
bool IsDrivePath(const std::wstring& path) {
    return path.size() > 3 && path[0] < 0x80 && std::iswalpha(path[0]) && path[1] == L':' &&
           path[2] == L'\\';
}

// "server\share\" and something after it.
bool IsSharePath(const std::wstring& rest) {
    const size_t server = rest.find(L'\\');
    if (server == 0 || server == std::wstring::npos) return false;
    const size_t share = rest.find(L'\\', server + 1);
    return share != std::wstring::npos && share > server + 1 && share + 1 < rest.size();
}

}  // namespace

bool IsFullProgramPath(const std::wstring& path) {
    if (path.find(L'"') != std::wstring::npos) return false;
    if (StartsWith(path, L"\\\\?\\")) {
        const std::wstring rest = path.substr(4);
        return IsDrivePath(rest) ||
               (StartsWith(rest, L"UNC\\", true) && IsSharePath(rest.substr(4)));
    }
    if (StartsWith(path, L"\\\\")) return IsSharePath(path.substr(2));
    return IsDrivePath(path);
}

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
    // The copy's folder above comes last, in a form no program path has.
    std::vector<std::wstring> finish = args;
    std::wstring above;
    if (!finish.empty() && finish.back().compare(0, 7, L"/above=") == 0) {
        above = finish.back().substr(7);
        finish.pop_back();
    }
    if (understood) {
        command.mode = UninstallCommand::Mode::Uninstall;
    } else if ((finish.size() == 3 || finish.size() == 4) && finish[0] == L"/finish" &&
               ParseHandle(finish[1], command.waitHandle) &&
               (finish.size() == 3 || ParseHandle(finish[2], command.guardHandle)) &&
               IsFullProgramPath(finish.back()) && (above.empty() || IsFullProgramPath(above))) {
        command.mode = UninstallCommand::Mode::Finish;
        command.silent = true;
        command.program = finish.back();
        command.madeAbove = above;
    }
    return command;
}

std::wstring FinishArguments(uintptr_t waitHandle, uintptr_t guardHandle,
                             const std::wstring& program, const std::wstring& madeAbove) {
    // A backslash before the closing quote would escape it; a program's path never ends in one,
    // nor does a folder above an install folder (it is never a drive's root).
    if (waitHandle == 0 || !IsFullProgramPath(program) || program.back() == L'\\') return {};
    if (!madeAbove.empty() && (!IsFullProgramPath(madeAbove) || madeAbove.back() == L'\\'))
        return {};
    return L"/finish " + std::to_wstring(waitHandle) +
           (guardHandle ? L" " + std::to_wstring(guardHandle) : std::wstring()) + L" \"" + program +
           L"\"" + (madeAbove.empty() ? std::wstring() : L" \"/above=" + madeAbove + L"\"");
}
