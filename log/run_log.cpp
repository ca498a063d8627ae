#include "log/run_log.h"

#include <cstdio>

#include "platform/checked_file.h"
#include "platform/utf8.h"

namespace {

// Entries gathered before they are written even without a line or the delay to carry them.
constexpr size_t kHeldLimit = 64 * 1024;

std::string Stamped(const std::wstring& text) {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return FormatLogLine(now, text);
}

}  // namespace

CRunLog::~CRunLog() = default;

bool CRunLog::Open(const std::wstring& path) {
    // Another run may append to the same file at the same time: every write goes to its end.
    CheckedFile checked =
        OpenCheckedFile(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (!checked) {
        m_refusal = checked.why;
        SetLastError(checked.error);
        return false;
    }
    CFileHandle file = std::move(checked.handle);
    const HANDLE target = file;
    auto output = std::make_unique<CHeldOutput>(
        [target](const std::string& batch) {
            DWORD written = 0;
            // A log that cannot be written must not stop the installation it records.
            WriteFile(target, batch.data(), DWORD(batch.size()), &written, nullptr);
        },
        m_entryDelay, kHeldLimit);
    // Opened before the run shares the log with its threads.
    m_file = std::move(file);
    m_output = std::move(output);
    return true;
}

void CRunLog::Line(const std::wstring& text) {
    if (m_output) m_output->Write(Stamped(text));
}

void CRunLog::Step(const std::wstring& step, HRESULT result, const std::wstring& detail) {
    std::wstring text = step + (SUCCEEDED(result) ? L": done" : L": failed");
    if (!detail.empty()) text += L" (" + detail + L")";
    if (FAILED(result)) text += L": " + SystemErrorText(result);
    Line(text);
}

void CRunLog::Entry(const std::wstring& name) {
    if (m_output) m_output->Add(Stamped(L"entry " + name));
}

void CRunLog::Failure(const std::wstring& what) {
    {
        const std::lock_guard<std::mutex> hold(m_lock);
        if (m_failure.empty()) m_failure = what;
    }
    Line(L"failed: " + what);
}

std::wstring CRunLog::FailureReason() const {
    const std::lock_guard<std::mutex> hold(m_lock);
    return m_failure;
}

CRunLog& NoRunLog() {
    static CRunLog* none = new CRunLog();
    return *none;
}

std::string FormatLogLine(const SYSTEMTIME& time, const std::wstring& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", time.wYear,
                  time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond,
                  time.wMilliseconds);
    std::wstring oneLine = text;
    for (wchar_t& c : oneLine)
        if (c == L'\r' || c == L'\n') c = L' ';
    return stamp + WideToUtf8(oneLine) + "\r\n";
}

std::wstring SystemErrorText(HRESULT result) {
    const DWORD code =
        HRESULT_FACILITY(result) == FACILITY_WIN32 ? DWORD(HRESULT_CODE(result)) : DWORD(result);
    wchar_t* text = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    const CLocalMemory<wchar_t*> owned(text);
    std::wstring message = length ? std::wstring(text, length) : std::wstring();
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' ||
                                message.back() == L' ' || message.back() == L'.'))
        message.pop_back();
    for (wchar_t& c : message)
        if (c == L'\r' || c == L'\n') c = L' ';
    wchar_t number[16];
    std::swprintf(number, 16, L"0x%08X", unsigned(result));
    return message.empty() ? std::wstring(L"error ") + number : message + L" (" + number + L")";
}
