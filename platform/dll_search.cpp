#include "platform/dll_search.h"

CModule LoadFromSystem32(const wchar_t* dll) {
    return CModule(LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

void SearchDllsInSystem32Only() {
    // Looked up at run time: a system without it must still start the program.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    if (const auto setDefaultDllDirectories = LoadedSystemFunction<SetDefaultDllDirectoriesFn>(
            L"kernel32.dll", "SetDefaultDllDirectories"))
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
