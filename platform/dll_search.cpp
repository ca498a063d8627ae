#include "platform/dll_search.h"

void SearchDllsInSystem32Only() {
    // Looked up at run time: a system without it must still start the program.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    if (const auto setDefaultDllDirectories = LoadedSystemFunction<SetDefaultDllDirectoriesFn>(
            L"kernel32.dll", "SetDefaultDllDirectories"))
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
