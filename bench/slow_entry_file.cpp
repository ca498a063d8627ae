// A model of the cost Windows adds to each file an installation writes, linked into the extraction
// benchmark in place of files/entry_file.cpp: real-time scanning inspects a file when its handle
// is closed (and filter drivers add to its creation). BENCH_CLOSE_DELAY_MS and
// BENCH_CREATE_DELAY_MS give a fixed wait, in milliseconds, after every close and before every
// creation; unset, the calls cost what they do.
#include <cstdlib>

#include "files/entry_file.h"

namespace {

DWORD DelayFrom(const wchar_t* variable) {
    const wchar_t* value = _wgetenv(variable);
    return value ? DWORD(std::wcstoul(value, nullptr, 10)) : 0;
}

const DWORD g_createDelay = DelayFrom(L"BENCH_CREATE_DELAY_MS");
const DWORD g_closeDelay = DelayFrom(L"BENCH_CLOSE_DELAY_MS");

}  // namespace

CFileHandle CreateEntryFile(const std::wstring& target) {
    if (g_createDelay) Sleep(g_createDelay);
    return CFileHandle(CreateFileW(target.c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                   CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void CloseEntryFile(CFileHandle file) {
    file.Reset();
    if (g_closeDelay) Sleep(g_closeDelay);
}
