// Stands in for a running copy of the product: it only waits until it is ended. Given a file, it
// holds that file open without sharing while it runs, as Windows holds a running program's own
// files: nobody can write it until the process is gone.
#include <windows.h>

#include "platform/unique_handle.h"

int wmain(int argc, wchar_t** argv) {
    const CFileHandle held(argc > 1 ? CreateFileW(argv[1], GENERIC_READ, 0, nullptr, OPEN_ALWAYS,
                                                  FILE_ATTRIBUTE_NORMAL, nullptr)
                                    : INVALID_HANDLE_VALUE);
    Sleep(60000);
    return 0;
}
