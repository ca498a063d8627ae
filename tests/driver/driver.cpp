// Drives a running setup.exe from outside, for the whole-program tests: finds its main window
// (the visible top-level window of a process named setup.exe) and its controls by id, and sends
// them what a user's clicks and keys would. One command per run; prints results as UTF-8.
//
//   driver wait-main MS            wait until the main window is up; prints its rectangle
//   driver wait-gone MS            wait until it has gone
//   driver wait-visible ID MS      wait until control ID is visible
//   driver wait-text ID TEXT MS    wait until control ID shows TEXT
//   driver click ID                press and release control ID (BM_CLICK)
//   driver visible ID              prints 1 or 0
//   driver text ID                 prints the control's text
//   driver stored-text ID          prints the control's text as the system keeps it, without a
//                                  message, so also while setup.exe is stopped
//   driver set-text ID TEXT        sets the control's text (WM_SETTEXT)
//   driver rect                    prints the main window's rectangle: x y w h
//   driver control-rect ID         prints the control's rectangle on the screen: x y w h
//   driver idle                    waits until the window's thread has handled what was sent
//   driver zorder                  prints the ids of the controls from the top of the z-order
//   driver redraw                  invalidates the whole window and its controls
//   driver focus                   prints the id of the control with the keyboard focus (0: the
//                                  main window itself, -1: nothing of it)
//   driver wait-focus ID MS        wait until control ID has the keyboard focus
//   driver keys KEY...             real key presses for the main window, as the keyboard sends
//                                  them: Tab, shift+Tab, Return, Escape, space
//   driver type TEXT               real key presses typing TEXT
//   driver close                   WM_CLOSE to the main window
//   driver alt-f4                  the system's close request (WM_SYSCOMMAND SC_CLOSE)
//   driver dpi-changed DPI         WM_DPICHANGED with the window's rectangle scaled to DPI
//   driver post MSG WPARAM LPARAM  posts any message to the main window
//   driver wait-window-of EXE MS   wait until a process named EXE shows a top-level window;
//                                  prints its title
//   driver count-processes EXE     prints how many processes named EXE run
//   driver dialog-text EXE MS      wait until a process named EXE shows a dialog box (a message
//                                  box); prints its message
//   driver answer EXE ID           presses button ID (IDYES 6, IDOK 1...) of that dialog box and
//                                  waits until it has gone
//   driver watch-windows EXE MS    watches every process named EXE that starts after this command
//                                  until none has run for half a second (MS at most), looking for
//                                  their top-level windows the whole time; prints "watching" once
//                                  ready, then "started N", "windows M" (visible ones) and a line
//                                  per window seen; exit 1 when none started or one still runs
//   driver run COMMAND-LINE        starts that exact command line (no quoting added), waits for it
//                                  and exits with its exit code, as a deployment tool does; one
//                                  still running after 120 s is ended, and the driver exits with
//                                  124
//   driver end-when EXE MS value KEY NAME N
//                                  ends the one process named EXE (TerminateProcess: a kill) the
//                                  moment the DWORD NAME of HKLM\KEY is N, looking each time the
//                                  system tells of a change of the key; prints "watching" once it
//                                  watches, "ended" once it has ended it; exit 1 when MS passed or
//                                  the process ended first
//   driver end-when EXE MS gone PATH
//                                  the same, the moment PATH is gone, looking each time the system
//                                  tells of a name that changed in its folder
//   driver hand-over EXE COPY ARG  starts COPY with "/finish HANDLE ARG", HANDLE an inherited
//                                  handle of the running process named EXE, as the uninstaller
//                                  starts the copy that removes it
//   driver hold-copy MS GO COMMAND-LINE
//                                  starts COMMAND-LINE (the uninstaller) as a debugger does, with
//                                  every process it starts, and holds the first uninstall.exe it
//                                  starts (its copy) at the copy's first debug event, before its
//                                  program starts; once the uninstaller has ended prints
//                                  "held CODE" (its exit code), waits for the file GO to appear,
//                                  lets the copy go and prints "copy ended" once it has; exit 1
//                                  when a step does not come within MS
#include <windows.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/unique_handle.h"

namespace {

// How long an answered dialog box may take to go, on a machine that is busy.
constexpr int kAnswerMs = 30000;
// How long `driver run` lets a program run: far longer than any unattended run takes, so that a
// program that waits for someone (a window, a message box) fails the test instead of hanging it.
constexpr DWORD kRunLimitMs = 120000;
constexpr int kRunTimedOut = 124;

// Processes named `exeName` (any pid when `pid` is 0).
int CountProcesses(const wchar_t* exeName, DWORD pid = 0) {
    const CFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    int found = 0;
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry))
        if ((pid == 0 || entry.th32ProcessID == pid) && _wcsicmp(entry.szExeFile, exeName) == 0)
            ++found;
    return found;
}

// The id of a process named `exeName`; 0 when none runs.
DWORD FindProcess(const wchar_t* exeName) {
    const CFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    DWORD found = 0;
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok && !found;
         ok = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, exeName) == 0) found = entry.th32ProcessID;
    return found;
}

// A visible top-level window of a process named `exeName`; of window class `className` if given.
HWND FindTopWindowOf(const wchar_t* exeName, const wchar_t* className = nullptr) {
    struct Search {
        const wchar_t* exeName;
        const wchar_t* className;
        HWND found = nullptr;
    } search{exeName, className};
    EnumWindows(
        [](HWND hwnd, LPARAM lParam) -> BOOL {
            auto* search = reinterpret_cast<Search*>(lParam);
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            wchar_t className[64] = {};
            GetClassNameW(hwnd, className, 64);
            if (IsWindowVisible(hwnd) && GetParent(hwnd) == nullptr &&
                (!search->className || wcscmp(className, search->className) == 0) &&
                CountProcesses(search->exeName, pid) > 0) {
                search->found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindDialogOf(const wchar_t* exeName) {
    return FindTopWindowOf(exeName, L"#32770");
}

HWND FindMainWindow() {
    return FindTopWindowOf(L"setup.exe");
}

HWND Control(int id) {
    HWND main = FindMainWindow();
    return main ? GetDlgItem(main, id) : nullptr;
}

std::wstring Text(HWND hwnd) {
    wchar_t buffer[1024] = {};
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                        2000, nullptr);
    return buffer;
}

void PrintUtf8(const std::wstring& text) {
    char out[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out, sizeof out - 1, nullptr, nullptr);
    std::printf("%s\n", out);
}

// Process ids of the processes named `exeName` now.
std::set<DWORD> ProcessesNamed(const wchar_t* exeName) {
    std::set<DWORD> ids;
    const CFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, exeName) == 0) ids.insert(entry.th32ProcessID);
    return ids;
}

// Polls, as often as it can, for top-level windows of the processes named `exeName` that were not
// running when it began, until they have all ended.
int WatchWindows(const wchar_t* exeName, int ms) {
    const std::set<DWORD> before = ProcessesNamed(exeName);
    std::printf("watching\n");
    std::fflush(stdout);
    struct Seen {
        std::set<DWORD> processes;
        std::map<HWND, std::wstring> windows;
        std::set<HWND> visible;  // shown at any time it was looked at
    } seen;
    const DWORD start = GetTickCount();
    // A process that starts another and ends may leave a moment in which neither is listed (a
    // copy created suspended under load): the watch ends only after none has run for a while.
    constexpr DWORD kQuiet = 500;
    DWORD lastRunning = start;
    bool ended = false;
    while (int(GetTickCount() - start) < ms) {
        std::set<DWORD> running;
        for (DWORD id : ProcessesNamed(exeName))
            if (!before.count(id)) running.insert(id);
        seen.processes.insert(running.begin(), running.end());
        if (!running.empty()) {
            lastRunning = GetTickCount();
            struct Poll {
                const std::set<DWORD>* running;
                Seen* seen;
            } poll{&running, &seen};
            EnumWindows(
                [](HWND hwnd, LPARAM lParam) -> BOOL {
                    auto* poll = reinterpret_cast<Poll*>(lParam);
                    DWORD pid = 0;
                    GetWindowThreadProcessId(hwnd, &pid);
                    if (!poll->running->count(pid)) return TRUE;
                    const bool visible = IsWindowVisible(hwnd) != FALSE;
                    if (poll->seen->windows.count(hwnd) &&
                        (!visible || poll->seen->visible.count(hwnd)))
                        return TRUE;
                    wchar_t className[64] = {};
                    GetClassNameW(hwnd, className, 64);
                    wchar_t title[256] = {};
                    InternalGetWindowText(hwnd, title, 256);
                    if (visible) poll->seen->visible.insert(hwnd);
                    poll->seen->windows[hwnd] = std::wstring(visible ? L"visible" : L"hidden") +
                                                L" class " + className + L" title " + title;
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&poll));
        } else if (!seen.processes.empty() && GetTickCount() - lastRunning >= kQuiet) {
            ended = true;
            break;
        }
        Sleep(1);
    }
    std::printf("started %d\nwindows %d\n", int(seen.processes.size()), int(seen.visible.size()));
    for (const auto& window : seen.windows) PrintUtf8(window.second);
    return ended ? 0 : 1;
}

// Starts `commandLine` as it stands and waits for it; its exit code, or 255 when it cannot start.
int RunCommandLine(std::wstring commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
        return 255;
    const CKernelHandle thread(process.hThread), program(process.hProcess);
    if (WaitForSingleObject(program, kRunLimitMs) != WAIT_OBJECT_0) {
        std::fprintf(stderr, "driver: the program still ran after %lu s; it was ended\n",
                     kRunLimitMs / 1000);
        TerminateProcess(program, kRunTimedOut);
        WaitForSingleObject(program, 10000);
        return kRunTimedOut;
    }
    DWORD code = 255;
    GetExitCodeProcess(program, &code);
    return int(code);
}

template <typename Condition>
bool WaitFor(int ms, Condition condition) {
    for (DWORD start = GetTickCount(); int(GetTickCount() - start) < ms; Sleep(20))
        if (condition()) return true;
    return condition();
}

// The control with the keyboard focus, read from the window's thread.
int FocusedId(HWND main) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!main || !GetGUIThreadInfo(GetWindowThreadProcessId(main, nullptr), &info)) return -1;
    if (info.hwndFocus == main) return 0;
    return info.hwndFocus && IsChild(main, info.hwndFocus) ? GetDlgCtrlID(info.hwndFocus) : -1;
}

INPUT KeyEvent(WORD vk, WORD unicode, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = unicode ? unicode : WORD(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags | (unicode ? KEYEVENTF_UNICODE : 0);
    return input;
}

void AddKeyPress(std::vector<INPUT>& inputs, WORD vk, WORD unicode = 0) {
    inputs.push_back(KeyEvent(vk, unicode, 0));
    inputs.push_back(KeyEvent(vk, unicode, KEYEVENTF_KEYUP));
}

// Key presses through the system's input queue, so that the window reads them, and the state
// of Shift, as it reads a keyboard's; its window is brought to the foreground first.
bool SendKeys(HWND main, const std::vector<INPUT>& inputs) {
    SetForegroundWindow(main);
    for (DWORD start = GetTickCount(); GetForegroundWindow() != main; Sleep(20))
        if (GetTickCount() - start > 5000) return false;
    std::vector<INPUT> copy = inputs;
    return SendInput(UINT(copy.size()), copy.data(), sizeof(INPUT)) == copy.size();
}

int Fail(const char* what) {
    std::fprintf(stderr, "driver: %s\n", what);
    return 1;
}

// Ends `process` the moment `reached` holds. `change` is signalled when it may have come to hold;
// `rearm` asks the system to signal it at the next change, and is called before each look, so
// that no change between a look and the wait is missed.
template <typename Rearm, typename Reached>
int EndWhen(HANDLE process, HANDLE change, int ms, Rearm rearm, Reached reached) {
    std::printf("watching\n");
    std::fflush(stdout);
    const DWORD start = GetTickCount();
    for (;;) {
        if (!rearm()) return Fail("the change cannot be watched");
        if (reached()) {
            if (!TerminateProcess(process, 1)) return Fail("the process could not be ended");
            WaitForSingleObject(process, 10000);
            std::printf("ended\n");
            return 0;
        }
        const int waited = int(GetTickCount() - start);
        if (waited >= ms) return Fail("the moment did not come in time");
        const HANDLE handles[] = {change, process};
        if (WaitForMultipleObjects(2, handles, FALSE, DWORD(ms - waited)) == WAIT_OBJECT_0 + 1)
            return Fail("the process ended before the moment came");
    }
}

// A folder's change notification, closed with FindCloseChangeNotification.
struct ChangeNotificationTraits {
    using pointer = HANDLE;
    static HANDLE Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { ::FindCloseChangeNotification(handle); }
};

int EndWhenValue(HANDLE process, int ms, const std::wstring& keyName, const std::wstring& name,
                 DWORD wanted) {
    CRegistryKey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, KEY_QUERY_VALUE | KEY_NOTIFY,
                      key.Put()) != ERROR_SUCCESS)
        return Fail("no such key");
    const CKernelHandle changed(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    return EndWhen(
        process, changed, ms,
        [&] {
            return RegNotifyChangeKeyValue(key, FALSE, REG_NOTIFY_CHANGE_LAST_SET, changed, TRUE) ==
                   ERROR_SUCCESS;
        },
        [&] {
            DWORD value = 0, size = sizeof value, type = 0;
            return RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                    reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
                   type == REG_DWORD && value == wanted;
        });
}

int EndWhenGone(HANDLE process, int ms, const std::wstring& path) {
    const std::wstring folder = path.substr(0, path.find_last_of(L'\\'));
    const CUniqueHandle<ChangeNotificationTraits> changed(FindFirstChangeNotificationW(
        folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME));
    if (!changed) return Fail("the folder cannot be watched");
    bool armed = true;  // by FindFirstChangeNotificationW
    return EndWhen(
        process, changed, ms,
        [&] { return std::exchange(armed, false) || FindNextChangeNotification(changed); },
        [&] {
            if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
            const DWORD error = GetLastError();
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        });
}

// A debuggee's process or thread given in a debug event is closed by the system; one of our own
// outlives the event.
CKernelHandle OwnDuplicate(HANDLE handle) {
    CKernelHandle own;
    DuplicateHandle(GetCurrentProcess(), handle, GetCurrentProcess(), own.Put(), 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    return own;
}

bool IsUninstaller(HANDLE process) {
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    if (!QueryFullProcessImageNameW(process, 0, path, &size)) return false;
    const wchar_t* name = std::wcsrchr(path, L'\\');
    return _wcsicmp(name ? name + 1 : path, L"uninstall.exe") == 0;
}

// The moment it holds is exact: the copy exists, and so holds what it inherited, but its program
// has not started, while the uninstaller goes on to its end unhindered. Holding the uninstaller at
// its own exit event instead would not do: Wine has already signalled its process by then, and the
// copy's wait is over. A debuggee goes on where it stood should the driver end early.
int HoldCopy(int ms, const std::wstring& goPath, std::wstring commandLine) {
    const DWORD start = GetTickCount();
    auto left = [&] {
        const int waited = int(GetTickCount() - start);
        return waited < ms ? DWORD(ms - waited) : DWORD(0);
    };
    DebugSetProcessKillOnExit(FALSE);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, DEBUG_PROCESS,
                        nullptr, nullptr, &startup, &started))
        return Fail("the uninstaller did not start");
    const CKernelHandle thread(started.hThread), uninstaller(started.hProcess);
    CKernelHandle copy;
    DEBUG_EVENT held{};
    bool ended = false;
    DWORD code = 0;
    while (!copy || !ended) {
        DEBUG_EVENT event{};
        if (!WaitForDebugEvent(&event, left()))
            return Fail(copy ? "the uninstaller did not end in time"
                             : "the uninstaller started no copy in time");
        DWORD how = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
            case CREATE_PROCESS_DEBUG_EVENT: {
                const CKernelHandle image(event.u.CreateProcessInfo.hFile);
                if (!copy && event.dwProcessId != started.dwProcessId &&
                    IsUninstaller(event.u.CreateProcessInfo.hProcess)) {
                    copy = OwnDuplicate(event.u.CreateProcessInfo.hProcess);
                    if (!copy) return Fail("the copy cannot be watched");
                    held = event;
                    continue;
                }
                break;
            }
            case LOAD_DLL_DEBUG_EVENT: {
                const CKernelHandle image(event.u.LoadDll.hFile);
                break;
            }
            case EXCEPTION_DEBUG_EVENT:
                if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                    how = DBG_EXCEPTION_NOT_HANDLED;
                break;
            case EXIT_PROCESS_DEBUG_EVENT:
                if (event.dwProcessId == started.dwProcessId) {
                    ended = true;
                    code = event.u.ExitProcess.dwExitCode;
                }
                break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, how);
    }
    if (WaitForSingleObject(uninstaller, left()) != WAIT_OBJECT_0)
        return Fail("the uninstaller did not end in time");
    std::printf("held %lu\n", code);
    std::fflush(stdout);
    if (!WaitFor(int(left()),
                 [&] { return GetFileAttributesW(goPath.c_str()) != INVALID_FILE_ATTRIBUTES; }))
        return Fail("no go-ahead in time");
    if (!ContinueDebugEvent(held.dwProcessId, held.dwThreadId, DBG_CONTINUE) ||
        !DebugActiveProcessStop(held.dwProcessId))
        return Fail("the copy cannot be let go");
    if (WaitForSingleObject(copy, left()) != WAIT_OBJECT_0)
        return Fail("the copy did not end in time");
    std::printf("copy ended\n");
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Fail("no command");
    const std::wstring command = argv[1];
    auto arg = [&](int i) { return i < argc ? std::wstring(argv[i]) : std::wstring(); };
    auto number = [&](int i) { return i < argc ? int(wcstol(argv[i], nullptr, 0)) : 0; };

    if (command == L"wait-main") {
        if (!WaitFor(number(2), [] { return FindMainWindow() != nullptr; }))
            return Fail("no main window");
        // The window shows itself while it is still being built; wait until its loop runs.
        SendMessageTimeoutW(FindMainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, nullptr);
        RECT r;
        GetWindowRect(FindMainWindow(), &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (command == L"wait-gone")
        return WaitFor(number(2), [] { return FindMainWindow() == nullptr; })
                   ? 0
                   : Fail("the main window is still there");
    if (command == L"wait-visible")
        return WaitFor(number(3), [&] { return IsWindowVisible(Control(number(2))) != FALSE; })
                   ? 0
                   : Fail("the control did not become visible");
    if (command == L"wait-window-of") {
        const std::wstring exeName = arg(2);
        if (!WaitFor(number(3), [&] { return FindTopWindowOf(exeName.c_str()) != nullptr; }))
            return Fail("no window of that program");
        PrintUtf8(Text(FindTopWindowOf(exeName.c_str())));
        return 0;
    }
    if (command == L"watch-windows") return WatchWindows(arg(2).c_str(), number(3));
    if (command == L"run") return RunCommandLine(arg(2));
    if (command == L"hold-copy") return HoldCopy(number(2), arg(3), arg(4));
    if (command == L"end-when") {
        if (CountProcesses(arg(2).c_str()) != 1) return Fail("not exactly one such process");
        const CKernelHandle process(
            OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, FindProcess(arg(2).c_str())));
        if (!process) return Fail("the process cannot be opened");
        if (arg(4) == L"value")
            return EndWhenValue(process, number(3), arg(5), arg(6),
                                DWORD(wcstoul(arg(7).c_str(), nullptr, 0)));
        if (arg(4) == L"gone") return EndWhenGone(process, number(3), arg(5));
        return Fail("unknown moment");
    }
    if (command == L"count-processes") {
        std::printf("%d\n", CountProcesses(arg(2).c_str()));
        return 0;
    }
    if (command == L"dialog-text") {
        const std::wstring exeName = arg(2);
        if (!WaitFor(number(3), [&] { return FindDialogOf(exeName.c_str()) != nullptr; }))
            return Fail("no dialog box of that program");
        // A message box shows its message in the static control 0xFFFF, on Windows and Wine.
        PrintUtf8(Text(GetDlgItem(FindDialogOf(exeName.c_str()), 0xFFFF)));
        return 0;
    }
    if (command == L"answer") {
        HWND dialog = FindDialogOf(arg(2).c_str());
        if (!dialog || !PostMessageW(dialog, WM_COMMAND, WPARAM(number(3)), 0))
            return Fail("no dialog box of that program");
        return WaitFor(kAnswerMs, [&] { return !IsWindow(dialog); }) ? 0
                                                                     : Fail("the dialog box stays");
    }
    if (command == L"hand-over") {
        const DWORD pid = FindProcess(arg(2).c_str());
        const CKernelHandle original(
            pid ? OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, TRUE, pid)
                : nullptr);
        if (!original) return Fail("no such process");
        std::wstring commandLine = L"\"" + arg(3) + L"\" /finish " +
                                   std::to_wstring(reinterpret_cast<uintptr_t>(original.Get())) +
                                   L" \"" + arg(4) + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION copy{};
        const BOOL started = CreateProcessW(arg(3).c_str(), &commandLine[0], nullptr, nullptr, TRUE,
                                            0, nullptr, nullptr, &startup, &copy);
        if (!started) return Fail("the copy did not start");
        const CKernelHandle thread(copy.hThread), process(copy.hProcess);
        return 0;
    }
    if (command == L"wait-text")
        return WaitFor(number(4), [&] { return Text(Control(number(2))) == arg(3); })
                   ? 0
                   : Fail("the control did not show the text");

    HWND main = FindMainWindow();
    if (!main) return Fail("no main window");
    if (command == L"rect") {
        RECT r;
        GetWindowRect(main, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (command == L"zorder") {
        for (HWND child = GetWindow(main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            std::printf("%d ", GetDlgCtrlID(child));
        std::printf("\n");
        return 0;
    }
    if (command == L"redraw")
        return RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN)
                   ? 0
                   : Fail("redraw failed");
    if (command == L"idle")
        return SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, nullptr)
                   ? 0
                   : Fail("the window does not answer");
    if (command == L"focus") {
        std::printf("%d\n", FocusedId(main));
        return 0;
    }
    if (command == L"wait-focus")
        return WaitFor(number(3), [&] { return FocusedId(FindMainWindow()) == number(2); })
                   ? 0
                   : Fail("the control did not get the focus");
    if (command == L"keys" || command == L"type") {
        static const struct {
            const wchar_t* name;
            WORD vk;
        } kKeys[] = {
            {L"Tab", VK_TAB}, {L"Return", VK_RETURN}, {L"Escape", VK_ESCAPE}, {L"space", VK_SPACE}};
        std::vector<INPUT> inputs;
        for (int i = 2; i < argc && command == L"keys"; ++i) {
            std::wstring key = argv[i];
            const bool shift = key.rfind(L"shift+", 0) == 0;
            if (shift) key = key.substr(6);
            WORD vk = 0;
            for (const auto& k : kKeys)
                if (key == k.name) vk = k.vk;
            if (!vk) return Fail("unknown key");
            if (shift) inputs.push_back(KeyEvent(VK_SHIFT, 0, 0));
            AddKeyPress(inputs, vk);
            if (shift) inputs.push_back(KeyEvent(VK_SHIFT, 0, KEYEVENTF_KEYUP));
        }
        for (wchar_t c : command == L"type" ? arg(2) : std::wstring()) AddKeyPress(inputs, 0, c);
        return SendKeys(main, inputs) ? 0 : Fail("the keys were not sent");
    }
    if (command == L"close") return PostMessageW(main, WM_CLOSE, 0, 0) ? 0 : Fail("post failed");
    if (command == L"alt-f4")
        return PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : Fail("post failed");
    if (command == L"post")
        return PostMessageW(main, UINT(number(2)), WPARAM(number(3)), LPARAM(number(4)))
                   ? 0
                   : Fail("post failed");
    if (command == L"dpi-changed") {
        RECT r;
        GetWindowRect(main, &r);
        const int dpi = number(2);
        RECT suggested = {r.left, r.top, r.left + MulDiv(600, dpi, 96),
                          r.top + MulDiv(364, dpi, 96)};
        return SendMessageTimeoutW(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                                   reinterpret_cast<LPARAM>(&suggested), SMTO_NORMAL, 10000,
                                   nullptr)
                   ? 0
                   : Fail("the window does not answer");
    }

    HWND control = GetDlgItem(main, number(2));
    if (!control) return Fail("no control with that id");
    if (command == L"click") return PostMessageW(control, BM_CLICK, 0, 0) ? 0 : Fail("post failed");
    if (command == L"control-rect") {
        RECT r;
        GetWindowRect(control, &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
        return 0;
    }
    if (command == L"visible") {
        std::printf("%d\n", IsWindowVisible(control) ? 1 : 0);
        return 0;
    }
    if (command == L"text") {
        PrintUtf8(Text(control));
        return 0;
    }
    if (command == L"stored-text") {
        wchar_t buffer[1024] = {};
        InternalGetWindowText(control, buffer, 1024);
        PrintUtf8(buffer);
        return 0;
    }
    if (command == L"set-text") {
        const std::wstring text = arg(3);
        DWORD_PTR set = FALSE;
        return SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                                   SMTO_NORMAL, 10000, &set) &&
                       set
                   ? 0
                   : Fail("set failed");
    }
    return Fail("unknown command");
}
