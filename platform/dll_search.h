#pragma once
// Where DLLs come from. Our programs run as administrator from folders that other programs can
// write to (Downloads, the temporary folder), so no DLL may be taken from the program's folder.

#include <windows.h>

#include "platform/unique_handle.h"

// From now on every DLL loaded by this process, by our code or on its behalf (GDI+, the shell,
// COM, theming), comes from System32 only. Call it first in every entry point, before anything
// can load a DLL. Where the system lacks the call the program carries on with the usual search.
void SearchDllsInSystem32Only();

// Loads `dll` from System32 for as long as the owner lives. Some system libraries load others by
// name through a path that is not bound by SearchDllsInSystem32Only (Wine's GDI+ and its imaging
// codecs): a DLL already loaded is found by name and never searched for.
CModule LoadFromSystem32(const wchar_t* dll);

// The function `name` of `module` as the caller's function type; null without the module or where
// this version of Windows lacks the function.
template <class Function>
Function FunctionOf(HMODULE module, const char* name) {
    const FARPROC proc = module ? GetProcAddress(module, name) : nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(proc));
}

// A function of a system DLL that the program imports, and so has loaded already (kernel32,
// user32); null where this version of Windows lacks it. Nothing is searched for or loaded.
template <class Function>
Function LoadedSystemFunction(const wchar_t* dll, const char* name) {
    return FunctionOf<Function>(GetModuleHandleW(dll), name);
}
