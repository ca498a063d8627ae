#pragma once
// Test helpers for the extraction worker: a delegate that records every report, and a fresh
// folder per test inside the Wine prefix's temporary folder.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "extraction/extractor.h"

namespace testing_support {

struct Report {
    enum Kind { Begin, Progress, Failed, Done, Cancelled } kind;
    int32_t entryCount = 0;
    int32_t totalSize = 0;
    std::wstring name;
    float fraction = 0.0f;
    DWORD threadId = 0;
};

class RecordingDelegate : public CExtractorDelegate {
public:
    // Called inside OnExtractProgress after recording, with the entry's index (0-based).
    std::function<void(CExtractor&, size_t)> onProgress;
    std::function<void(CExtractor&)> onBegin;

    void OnExtractBegin(CExtractor& extractor, int32_t count, int32_t total) override {
        Add(Report::Begin, count, total);
        if (onBegin) onBegin(extractor);
    }
    void OnExtractProgress(CExtractor& extractor, const std::wstring& name, float f) override {
        size_t index;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            index = Count(Report::Progress);
        }
        Add(Report::Progress, 0, 0, name, f);
        if (onProgress) onProgress(extractor, index);
    }
    void OnExtractFailed(CExtractor&) override { Add(Report::Failed); }
    void OnExtractDone(CExtractor&) override { Add(Report::Done); }
    void OnExtractCancelled(CExtractor&) override { Add(Report::Cancelled); }

    std::vector<Report> Reports() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reports;
    }
    // The kinds in order, as text: "B P P F" for begin, two progress reports, failed.
    std::string Sequence() const {
        std::string text;
        for (const auto& r : Reports()) {
            if (!text.empty()) text += ' ';
            text += "BPFDC"[r.kind];
        }
        return text;
    }
    std::vector<float> Fractions() const {
        std::vector<float> fractions;
        for (const auto& r : Reports())
            if (r.kind == Report::Progress) fractions.push_back(r.fraction);
        return fractions;
    }

private:
    void Add(Report::Kind kind, int32_t count = 0, int32_t total = 0, std::wstring name = {},
             float fraction = 0.0f) {
        Report report{kind, count, total, std::move(name), fraction, GetCurrentThreadId()};
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reports.push_back(std::move(report));
    }
    size_t Count(Report::Kind kind) const {
        size_t n = 0;
        for (const auto& r : m_reports) n += r.kind == kind;
        return n;
    }

    mutable std::mutex m_mutex;
    std::vector<Report> m_reports;
};

// A new, empty folder below %TEMP% named after the running test; no trailing backslash.
inline std::wstring MakeSandboxFolder() {
    static int counter = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "." + info->name() : "test";
    std::wstring folder =
        std::wstring(temp) + L"extract-" + std::wstring(name.begin(), name.end()) + L"-" +
        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

inline bool FileExists(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

inline bool FolderExists(const std::wstring& path) {
    const DWORD a = GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

// The file's bytes, or "<missing>" when it cannot be read.
inline std::string FileContent(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string content;
    char chunk[4096];
    DWORD read = 0;
    while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read) content.append(chunk, read);
    CloseHandle(file);
    return content;
}

// Every item below `folder`, one line each, sorted: name and attributes, and for a file its size,
// last write time and bytes. Two equal listings are the same tree, byte for byte. (A folder's own
// time changes with whatever comes and goes in it.)
inline std::vector<std::string> TreeListing(const std::wstring& folder,
                                            const std::wstring& below = L"") {
    std::vector<std::string> lines;
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = folder + L"\\" + below + L"*";
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return lines;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring relative = below + name;
        const ULONGLONG written = (ULONGLONG(found.ftLastWriteTime.dwHighDateTime) << 32) |
                                  found.ftLastWriteTime.dwLowDateTime;
        std::string line(relative.begin(), relative.end());
        line += " " + std::to_string(found.dwFileAttributes);
        const bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if (!isFolder)
            line += " " + std::to_string(found.nFileSizeLow) + " " + std::to_string(written) + " " +
                    FileContent(folder + L"\\" + relative);
        lines.push_back(line);
        if (isFolder) {
            const auto inner = TreeListing(folder, relative + L"\\");
            lines.insert(lines.end(), inner.begin(), inner.end());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace testing_support
