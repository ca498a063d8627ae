// Times one extraction of this program's payload (DAT 148) into the folder given, in one of three
// ways, and prints one RESULT line with wall time and peak memory:
//   extractor  the worker as the installer runs it (thread, process ending, in-place stream)
//   memstream  the same decoding loop over a copy of the resource made with SHCreateMemStream
//   floor      the least a loop can do: decode each entry with one uncompress2 call into reused
//              memory straight from the resource, write it with one call
#include <windows.h>
#include <psapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "install/extractor.h"
#include "install/paths.h"
#include "platform/com_ptr.h"
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

bool Locked(const void*& bytes, DWORD& size) {
    const ResourceBytes payload = FindResourceBytes(L"DAT", MAKEINTRESOURCEW(148));
    bytes = payload.data;
    size = DWORD(payload.size);
    return bytes != nullptr;
}

uint32_t U32(const unsigned char* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

bool Floor(const std::wstring& folder, bool copyBlock) {
    const void* data;
    DWORD size;
    if (!Locked(data, size)) return false;
    const auto* p = static_cast<const unsigned char*>(data);
    const uint32_t count = U32(p);
    p += 8;
    std::unique_ptr<unsigned char[]> out;
    size_t capacity = 0;
    std::wstring lastFolder;
    std::unique_ptr<unsigned char[]> block;
    size_t blockCapacity = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t nameLength = U32(p);
        std::wstring name(reinterpret_cast<const wchar_t*>(p + 4), nameLength);
        p += 4 + 2 * nameLength;
        const uint32_t decoded = U32(p), compressed = U32(p + 4);
        p += 8;
        if (decoded > capacity || !out) {
            out.reset(new unsigned char[decoded ? decoded : 1]);
            capacity = decoded;
        }
        uLongf produced = decoded;
        uLong consumed = compressed;
        const unsigned char* source = p;
        if (copyBlock) {
            if (compressed > blockCapacity || !block) {
                block.reset(new unsigned char[compressed ? compressed : 1]);
                blockCapacity = compressed;
            }
            std::memcpy(block.get(), p, compressed);
            source = block.get();
        }
        if (uncompress2(out.get(), &produced, source, &consumed) != Z_OK || produced != decoded)
            return false;
        p += compressed;
        const std::wstring target = folder + L"\\" + name;
        const std::wstring parent = target.substr(0, target.rfind(L'\\'));
        if (parent != lastFolder) {
            SHCreateDirectoryExW(nullptr, parent.c_str(), nullptr);
            lastFolder = parent;
        }
        const CFileHandle file(CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                           FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return false;
        DWORD written;
        if (!WriteFile(file, out.get(), decoded, &written, nullptr) || written != decoded)
            return false;
    }
    return true;
}

bool WithExtractor(const std::wstring& folder) {
    WaitingDelegate delegate;
    CExtractor extractor(ReadProductIdentity().processName);
    extractor.SetDelegate(&delegate);
    if (extractor.Start(folder) != StartResult::Started) return false;
    WaitForSingleObject(delegate.done, INFINITE);
    return delegate.result == ExtractResult::Done;
}

bool WithMemStream(const std::wstring& folder) {
    const void* data;
    DWORD size;
    if (!Locked(data, size)) return false;
    const ComPtr<IStream> stream(SHCreateMemStream(static_cast<const BYTE*>(data), size));
    if (!stream) return false;
    WaitingDelegate delegate;
    CExtractor extractor(ReadProductIdentity().processName);
    extractor.SetDelegate(&delegate);
    extractor.SetInstallFolder(folder);
    return extractor.ExtractArchive(stream) == ExtractResult::Done;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: extract_bench extractor|memstream|floor FOLDER\n");
        return 2;
    }
    const std::wstring mode = argv[1], folder = argv[2];
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    bool ok = false;
    if (mode == L"extractor") ok = WithExtractor(folder);
    if (mode == L"memstream") ok = WithMemStream(folder);
    if (mode == L"floor") ok = Floor(folder, false);
    if (mode == L"floorcopy") ok = Floor(folder, true);
    QueryPerformanceCounter(&end);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
    std::printf("RESULT %ls ok=%d seconds=%.3f peak_working_set_mb=%.1f peak_private_mb=%.1f\n",
                mode.c_str(), ok, double(end.QuadPart - start.QuadPart) / frequency.QuadPart,
                memory.PeakWorkingSetSize / 1048576.0, memory.PeakPagefileUsage / 1048576.0);
    return ok ? 0 : 1;
}
