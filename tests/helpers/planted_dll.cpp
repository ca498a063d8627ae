// Stands in for a DLL that another program planted where ours run from. Copied under the names of
// DLLs that our programs or the system load for them: when a process loads it, it leaves the
// marker "planted-NAME.dll.by-PROGRAM.txt" beside itself, naming both in full.
#include <windows.h>

#include <string>

#include "platform/unique_handle.h"

namespace {

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

std::wstring FileName(const std::wstring& path) {
    return path.substr(path.find_last_of(L'\\') + 1);
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    const std::wstring dll = ModulePath(self), program = ModulePath(nullptr);
    const std::wstring marker = dll.substr(0, dll.size() - FileName(dll).size()) + L"planted-" +
                                FileName(dll) + L".by-" + FileName(program) + L".txt";
    const std::wstring text = dll + L"\r\n" + program + L"\r\n";
    const CFileHandle file(
        CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    if (file) WriteFile(file, text.data(), DWORD(text.size() * sizeof(wchar_t)), &written, nullptr);
    return TRUE;
}
