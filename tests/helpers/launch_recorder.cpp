// Stands in for the product in tests of its launch: records that it was started, and with which
// arguments, in "launched.txt" next to itself, then exits.
#include <windows.h>
#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring folder(self);
    folder.erase(folder.find_last_of(L'\\') + 1);

    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    // One line per argument after the program's own name, UTF-16.
    std::wstring record;
    for (int i = 1; argv && i < argc; ++i) record += std::wstring(argv[i]) + L"\n";
    LocalFree(argv);

    // Written aside and renamed, so a reader never sees a half-written record.
    const std::wstring partial = folder + L"launched.tmp";
    const std::wstring done = folder + L"launched.txt";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, record.data(), DWORD(record.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return MoveFileExW(partial.c_str(), done.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
