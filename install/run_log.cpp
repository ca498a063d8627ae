#include "install/run_log.h"

#include <cstdio>

#include "install/utf8.h"

namespace {

// Entries gathered before they are written even without a line to carry them.
constexpr size_t kHeldLimit = 64 * 1024;

}  // namespace

CRunLog::~CRunLog() {
    const std::lock_guard<std::mutex> hold(m_lock);
    WriteHeld();
}

bool CRunLog::Open(const std::wstring& path) {
    // Another run may append to the same file at the same time: every write goes to its end.
    CFileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) return false;
    constexpr DWORD kNotAPlainFile = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT;
    if ((info.dwFileAttributes & kNotAPlainFile) || info.nNumberOfLinks > 1) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    const std::lock_guard<std::mutex> hold(m_lock);
    m_file = std::move(file);
    return true;
}

void CRunLog::Line(const std::wstring& text) {
    const std::lock_guard<std::mutex> hold(m_lock);
    Add(text);
    WriteHeld();
}

void CRunLog::Step(const std::wstring& step, HRESULT result, const std::wstring& detail) {
    std::wstring text = step + (SUCCEEDED(result) ? L": done" : L": failed");
    if (!detail.empty()) text += L" (" + detail + L")";
    if (FAILED(result)) text += L": " + SystemErrorText(result);
    Line(text);
}

void CRunLog::Entry(const std::wstring& name) {
    const std::lock_guard<std::mutex> hold(m_lock);
    Add(L"entry " + name);
    if (m_held.size() >= kHeldLimit) WriteHeld();
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

void CRunLog::Add(const std::wstring& text) {
    if (!m_file) return;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    m_held += FormatLogLine(now, text);
}

void CRunLog::WriteHeld() {
    if (!m_file || m_held.empty()) return;
    DWORD written = 0;
    // A log that cannot be written must not stop the installation it records.
    WriteFile(m_file, m_held.data(), DWORD(m_held.size()), &written, nullptr);
    m_held.clear();
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
