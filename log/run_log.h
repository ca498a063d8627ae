#pragma once
// The log of one run of the installer or the uninstaller (/LOG=FILE): UTF-8 lines, each with its
// local time, appended to a file. A log that was never opened takes every line and writes nothing,
// so the parts of a run write to it whether or not one was asked for.

#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

#include "log/held_output.h"
#include "platform/unique_handle.h"

class CRunLog {
public:
    static constexpr std::chrono::milliseconds kEntryDelay{500};

    // `entryDelay`: how long an entry may wait for a line to carry it.
    explicit CRunLog(std::chrono::milliseconds entryDelay = kEntryDelay)
        : m_entryDelay(entryDelay) {}
    // Writes what is still held.
    ~CRunLog();
    CRunLog(const CRunLog&) = delete;
    CRunLog& operator=(const CRunLog&) = delete;

    // Opens `path` to append to it, creating it when missing. False, with the reason in
    // GetLastError and WhyNotOpened, when it cannot be opened, or when it is a folder, a link, a
    // file with a second name, or lies in a folder reached through a link (one placed there to
    // make this program write elsewhere): ERROR_ACCESS_DENIED then.
    bool Open(const std::wstring& path);
    bool IsOpen() const { return bool(m_file); }
    const std::wstring& WhyNotOpened() const { return m_refusal; }

    // One line, written through at once with the entries held before it.
    void Line(const std::wstring& text);
    // "STEP: done (DETAIL)", or "STEP: failed (DETAIL): the system's text for `result`".
    void Step(const std::wstring& step, HRESULT result, const std::wstring& detail);
    // "entry NAME", held and written with the next line, once enough has gathered, or after the
    // entry delay: one file write per entry would cost more than the entry's own file, yet a run
    // that is killed or hangs must leave the entries it reached.
    void Entry(const std::wstring& name);
    // "failed: WHAT"; the first of a run is kept as the reason its outcome gives.
    void Failure(const std::wstring& what);
    std::wstring FailureReason() const;

private:
    const std::chrono::milliseconds m_entryDelay;
    mutable std::mutex m_lock;  // for m_failure
    CFileHandle m_file;
    // Made by Open; destroyed before the file it writes to.
    std::unique_ptr<CHeldOutput> m_output;
    std::wstring m_failure;
    std::wstring m_refusal;
};

// A log that is never opened, for callers that keep none.
CRunLog& NoRunLog();

// "yyyy-mm-dd hh:mm:ss.mmm TEXT\r\n" in UTF-8; line breaks inside the text become spaces, so that
// every line of the file starts with its time.
std::string FormatLogLine(const SYSTEMTIME& time, const std::wstring& text);

// The system's own text for an HRESULT or a Win32 error code, on one line; "error 0x..." when the
// system has none.
std::wstring SystemErrorText(HRESULT result);
