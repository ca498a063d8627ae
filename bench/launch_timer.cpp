// Starts a program and times it from just before its process is created until its top-level
// window shows control WAIT_ID (any window when 0) with nothing left to paint, or, for WAIT_ID -1,
// until it has exited with 0. Prints one TIMED line with that time and the process's peak memory,
// then ends the process. The program's standard output and error are the timer's own standard
// output, or with --stdout the file or device FILE (Z:\dev\null under Wine: a character device).
// With --cancel MS the window is closed MS milliseconds after it shows WAIT_ID, and the time is
// from that close until the program has exited with 3 (cancelled).
//   launch_timer [--stdout FILE] [--cancel MS] WAIT_ID PROGRAM [ARGS...]
#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "platform/unique_handle.h"

namespace {

struct Search {
    DWORD pid;
    HWND found = nullptr;
};

HWND TopWindowOf(DWORD pid) {
    Search search{pid};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lParam);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner == s->pid && IsWindowVisible(hwnd) && !GetParent(hwnd)) {
                s->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool NothingToPaint(HWND hwnd) {
    if (GetUpdateRect(hwnd, nullptr, FALSE)) return false;
    bool clean = true;
    EnumChildWindows(
        hwnd,
        [](HWND child, LPARAM lParam) -> BOOL {
            if (IsWindowVisible(child) && GetUpdateRect(child, nullptr, FALSE)) {
                *reinterpret_cast<bool*>(lParam) = false;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&clean));
    return clean;
}

bool Shown(DWORD pid, int waitId) {
    HWND main = TopWindowOf(pid);
    if (!main) return false;
    if (waitId != 0 && !IsWindowVisible(GetDlgItem(main, waitId))) return false;
    return NothingToPaint(main);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::wstring outputFile;
    int cancelAfter = -1;
    for (; argc > 2 && std::wcsncmp(argv[1], L"--", 2) == 0; argc -= 2, argv += 2) {
        if (std::wcscmp(argv[1], L"--stdout") == 0) outputFile = argv[2];
        if (std::wcscmp(argv[1], L"--cancel") == 0) cancelAfter = int(wcstol(argv[2], nullptr, 10));
    }
    if (argc < 3) {
        std::fprintf(
            stderr,
            "usage: launch_timer [--stdout FILE] [--cancel MS] WAIT_ID PROGRAM [ARGS...]\n");
        return 2;
    }
    // Handed over explicitly, so that the program writes where the benchmark says.
    std::fflush(stdout);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    CFileHandle output;
    if (!outputFile.empty()) {
        output.Reset(CreateFileW(outputFile.c_str(), GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                                 nullptr));
    } else {
        DuplicateHandle(GetCurrentProcess(), GetStdHandle(STD_OUTPUT_HANDLE), GetCurrentProcess(),
                        output.Put(), 0, TRUE, DUPLICATE_SAME_ACCESS);
    }
    if (!output) {
        std::fprintf(stderr, "launch_timer: no standard output for the program (%lu)\n",
                     GetLastError());
        return 1;
    }
    const int waitId = int(wcstol(argv[1], nullptr, 10));
    std::wstring commandLine = L"\"" + std::wstring(argv[2]) + L"\"";
    // Quoted only where they must be: an installer made by NSIS takes /S and /D= only unquoted.
    for (int i = 3; i < argc; ++i) {
        const std::wstring argument = argv[i];
        const bool quote = argument.empty() || argument.find(L' ') != std::wstring::npos;
        commandLine += quote ? L" \"" + argument + L"\"" : L" " + argument;
    }

    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    PROCESS_INFORMATION process{};
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(argv[2], &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process)) {
        std::fprintf(stderr, "launch_timer: cannot start the program (%lu)\n", GetLastError());
        return 1;
    }
    const CKernelHandle thread(process.hThread);
    const CKernelHandle child(process.hProcess);
    bool ok = false;
    double seconds = 0;
    DWORD code = STILL_ACTIVE;
    for (;;) {
        QueryPerformanceCounter(&now);
        seconds = double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        const bool exited = WaitForSingleObject(process.hProcess, 0) == WAIT_OBJECT_0;
        if (waitId == -1 ? exited : Shown(process.dwProcessId, waitId)) {
            ok = waitId != -1 || (GetExitCodeProcess(process.hProcess, &code) && code == 0);
            break;
        }
        if (seconds > 120 || exited) break;
        Sleep(1);
    }
    if (ok && cancelAfter >= 0) {
        Sleep(DWORD(cancelAfter));
        QueryPerformanceCounter(&start);
        PostMessageW(TopWindowOf(process.dwProcessId), WM_CLOSE, 0, 0);
        const bool exited = WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0;
        QueryPerformanceCounter(&now);
        seconds = double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        ok = exited && GetExitCodeProcess(process.hProcess, &code) && code == 3;
    }
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process.hProcess, &counters, sizeof counters);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 10000);
    std::printf("TIMED ok=%d exit=%lu seconds=%.4f peak_working_set_mb=%.1f peak_private_mb=%.1f\n",
                ok ? 1 : 0, code, seconds, double(counters.PeakWorkingSetSize) / 1048576.0,
                double(counters.PeakPagefileUsage) / 1048576.0);
    return ok ? 0 : 1;
}
