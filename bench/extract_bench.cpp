// Times one extraction of this program's payload (DAT 148) into the folder given, in one of these
// ways, and prints one RESULT line with wall time and peak memory:
//   parallel  the worker as the installer runs it (thread, process ending, in-place stream, the
//             decoding pool of this machine, the pool that creates, writes and closes the files)
//   one-writer  the same with every file created, written and closed by the worker at its turn
//   single    the single-thread path: each entry decoded when it is written, by the worker
//   floor     the least one loop can do: decode each entry with one libdeflate call into reused
//             memory straight from the resource, write it with one call
//   costs     takes one file's cost apart: times every call that writing an entry makes, over every
//             entry, and prints a COST line per call
//   removal   unpacks the payload twice, as floor does, and times the removal of one copy by
//             RemoveTree (through handles, never following a link) beside the other deleted by
//             path, as a cancel removes its staging folder; prints a COST line for each
#include <windows.h>
#include <psapi.h>
#include <shlobj.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "extraction/extractor.h"
#include "files/paths.h"
#include "files/tree_removal.h"
#include "log/trace_buffer.h"
#include "platform/resource_bytes.h"
#include "platform/unique_handle.h"
#include "res/product_identity.h"

namespace {

class WaitingDelegate : public CExtractorDelegate {
public:
    const CKernelHandle done{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    ExtractResult result = ExtractResult::Failed;
    void OnExtractBegin(CExtractor&, int32_t, int32_t) override {}
    void OnExtractProgress(CExtractor&, const std::wstring&, float) override {}
    void OnExtractFailed(CExtractor&) override { Finish(ExtractResult::Failed); }
    void OnExtractDone(CExtractor&) override { Finish(ExtractResult::Done); }
    void OnExtractCancelled(CExtractor&) override { Finish(ExtractResult::Cancelled); }

private:
    void Finish(ExtractResult r) {
        result = r;
        SetEvent(done);
    }
};

// Walks the payload straight from the resource with the sequential reader: each entry decoded on
// this thread into the reader's own memory (a stored block is not copied).
class PayloadWalk {
public:
    bool Open() {
        const ResourceBytes payload = FindResourceBytes(L"DAT", MAKEINTRESOURCEW(148));
        if (!payload.data) return false;
        m_reader = std::make_unique<archive::ArchiveReader>(
            static_cast<const unsigned char*>(payload.data), payload.size);
        if (!m_reader->ReadHeader()) return false;
        m_left = m_reader->GetHeader().entryCount;
        return true;
    }
    // False at the end or on a fault.
    bool Next(std::wstring& name, const unsigned char*& data, uint32_t& size) {
        if (m_left <= 0) return false;
        --m_left;
        archive::ReadEntry entry;
        if (m_reader->Next(entry) != archive::EntryError::None) return false;
        name.assign(entry.name.begin(), entry.name.end());
        data = entry.data;
        size = uint32_t(entry.size);
        return true;
    }

private:
    std::unique_ptr<archive::ArchiveReader> m_reader;
    int32_t m_left = 0;
};

bool Floor(const std::wstring& folder) {
    PayloadWalk walk;
    if (!walk.Open()) return false;
    std::wstring name, lastFolder;
    const unsigned char* data = nullptr;
    uint32_t size = 0;
    while (walk.Next(name, data, size)) {
        const std::wstring target = folder + L"\\" + name;
        const std::wstring parent = target.substr(0, target.rfind(L'\\'));
        if (parent != lastFolder) {
            SHCreateDirectoryExW(nullptr, parent.c_str(), nullptr);
            lastFolder = parent;
        }
        const CFileHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written;
        if (!file || !WriteFile(file, data, size, &written, nullptr) || written != size)
            return false;
    }
    return true;
}

bool WithExtractor(const std::wstring& folder, const DecodeOptions& options,
                   const WriteOptions& writing) {
    WaitingDelegate delegate;
    CExtractor extractor(ReadProductIdentity().processName, &CExtractor::StartWorkerThread, options,
                         writing);
    extractor.SetDelegate(&delegate);
    if (extractor.Start(folder) != StartResult::Started) return false;
    WaitForSingleObject(delegate.done, INFINITE);
    const DecodeStats& stats = extractor.Stats();
    const WriteStats& writes = extractor.Writes();
    std::printf(
        "STATS threads=%u decoded=%d budget_mb=%.1f peak_held_mb=%.1f writers=%u "
        "peak_files=%u peak_copied_mb=%.1f\n",
        stats.threads.load(), stats.decoded.load(), stats.budget / 1048576.0,
        stats.peakHeld / 1048576.0, writes.threads.load(), writes.peakFiles.load(),
        writes.peakHeld / 1048576.0);
    return delegate.result == ExtractResult::Done;
}

double Seconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// Times one call per kind over every entry: what writing a file costs, taken apart.
class CallClock {
public:
    template <class F>
    auto Time(int kind, F call) {
        LARGE_INTEGER from, to;
        QueryPerformanceCounter(&from);
        auto result = call();
        QueryPerformanceCounter(&to);
        m_seconds[kind] += Seconds(from, to);
        ++m_calls[kind];
        return result;
    }
    void Print(const char* const* names, int kinds) const {
        for (int k = 0; k < kinds; ++k)
            std::printf("COST %s calls=%d ms_per_call=%.4f total_s=%.3f\n", names[k], m_calls[k],
                        m_calls[k] ? m_seconds[k] * 1000 / m_calls[k] : 0.0, m_seconds[k]);
    }

    double Total(int kind) const { return m_seconds[kind]; }

private:
    double m_seconds[16] = {};
    int m_calls[16] = {};
};

bool Costs(const std::wstring& folder) {
    enum {
        Decode,
        FolderCheck,
        FolderShell,
        FolderShellOneLevel,
        FolderOneLevel,
        TargetCheck,
        Create,
        Write,
        Close,
        Trace,
        Kinds
    };
    // Folders with one level missing are made in turn by the shell's call (which notifies the
    // shell) and by CreateDirectoryW, so that both are timed on the same kind of work.
    const char* const names[] = {"decode",
                                 "folder_attributes",
                                 "folder_create_shell_all_levels",
                                 "folder_create_shell_one_level",
                                 "folder_create_one_level",
                                 "target_attributes",
                                 "create",
                                 "write",
                                 "close",
                                 "trace_line"};
    int oneLevel = 0;
    PayloadWalk walk;
    if (!walk.Open()) return false;
    CallClock clock;
    // The trace is written on a thread of its own: it must be done before the results are printed
    // to the same output, or its lines land inside them.
    auto trace = std::make_unique<CTraceBuffer>(stdout);
    std::wstring name;
    const unsigned char* data = nullptr;
    uint32_t size = 0;
    while (clock.Time(Decode, [&] { return walk.Next(name, data, size); })) {
        const std::wstring target = JoinPath(folder, name);
        const std::wstring parent = ParentFolder(target);
        const DWORD attributes =
            clock.Time(FolderCheck, [&] { return GetFileAttributesW(parent.c_str()); });
        const std::wstring bare = parent.substr(0, parent.size() - 1);
        const std::wstring above = ParentFolder(bare);
        if (attributes == INVALID_FILE_ATTRIBUTES &&
            GetFileAttributesW(above.c_str()) == INVALID_FILE_ATTRIBUTES) {
            clock.Time(FolderShell,
                       [&] { return SHCreateDirectoryExW(nullptr, parent.c_str(), nullptr); });
        } else if (attributes == INVALID_FILE_ATTRIBUTES && oneLevel++ % 2) {
            clock.Time(FolderOneLevel, [&] { return CreateDirectoryW(bare.c_str(), nullptr); });
        } else if (attributes == INVALID_FILE_ATTRIBUTES) {
            clock.Time(FolderShellOneLevel,
                       [&] { return SHCreateDirectoryExW(nullptr, parent.c_str(), nullptr); });
        }
        clock.Time(TargetCheck, [&] { return GetFileAttributesW(target.c_str()); });
        CFileHandle file(clock.Time(Create, [&] {
            return CreateFileW(target.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        }));
        DWORD written = 0;
        if (!clock.Time(Write, [&] { return WriteFile(file, data, size, &written, nullptr); }))
            return false;
        clock.Time(Close, [&] {
            file.Reset();
            return 0;
        });
        clock.Time(Trace, [&] {
            trace->AddLine(name);
            return 0;
        });
    }
    trace.reset();
    clock.Print(names, Kinds);
    return true;
}

// The removal by path that staging folders had before they were removed through handles.
bool RemoveByPath(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return false;
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return DeleteFileW(path.c_str()) != FALSE;
    WIN32_FIND_DATAW found{};
    const CFindHandle search(FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &found,
                                              FindExSearchNameMatch, nullptr, 0));
    bool removed = true;
    if (search) {
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L".." && !RemoveByPath(path + L"\\" + name))
                removed = false;
        } while (FindNextFileW(search, &found));
    }
    return RemoveDirectoryW(path.c_str()) && removed;
}

bool Removal(const std::wstring& folder) {
    const std::wstring byHandle = folder + L"\\by-handle", byPath = folder + L"\\by-path";
    if (!Floor(byHandle) || !Floor(byPath)) return false;
    PayloadWalk walk;
    if (!walk.Open()) return false;
    int files = 0;
    std::wstring name;
    const unsigned char* data = nullptr;
    uint32_t size = 0;
    while (walk.Next(name, data, size)) ++files;
    CallClock clock;
    const bool removed = clock.Time(0, [&] { return RemoveTree(byHandle); }) &&
                         clock.Time(1, [&] { return RemoveByPath(byPath); });
    const char* const names[] = {"remove_tree_by_handle", "remove_tree_by_path"};
    for (int kind = 0; kind < 2; ++kind)
        std::printf("COST %s files=%d total_s=%.4f\n", names[kind], files, clock.Total(kind));
    return removed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(
            stderr, "usage: extract_bench parallel|one-writer|single|floor|costs|removal FOLDER\n");
        return 2;
    }
    const std::wstring mode = argv[1], folder = argv[2];
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    bool ok = false;
    if (mode == L"parallel")
        ok = WithExtractor(folder, DefaultDecodeOptions(), DefaultWriteOptions());
    if (mode == L"one-writer") ok = WithExtractor(folder, DefaultDecodeOptions(), WriteOptions{});
    if (mode == L"single") ok = WithExtractor(folder, DecodeOptions{0, 0}, WriteOptions{});
    if (mode == L"floor") ok = Floor(folder);
    if (mode == L"costs") ok = Costs(folder);
    if (mode == L"removal") ok = Removal(folder);
    QueryPerformanceCounter(&end);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("RESULT %ls ok=%d seconds=%.3f peak_working_set_mb=%.1f peak_private_mb=%.1f\n",
                mode.c_str(), ok, Seconds(start, end), memory.PeakWorkingSetSize / 1048576.0,
                memory.PeakPagefileUsage / 1048576.0);
    return ok ? 0 : 1;
}
