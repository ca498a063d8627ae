#include "install/extractor.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "install/archive_format.h"
#include "install/decode_ahead.h"
#include "install/memory_stream.h"
#include "install/paths.h"
#include "install/process_killer.h"
#include "install/progress_fraction.h"
#include "install/trace_buffer.h"
#include "platform/com_ptr.h"
#include "platform/resource_bytes.h"

namespace {

constexpr WORD kPayloadId = 148;

// The archive reader's view of the payload stream. A read is good only when it delivers all the
// bytes asked for; what is left comes from the stream's size, so an impossible size fails before
// anything is allocated for it.
class StreamSource final : public archive::ByteSource {
public:
    explicit StreamSource(IStream* stream) : m_stream(stream) {
        STATSTG stat{};
        ULARGE_INTEGER position{};
        if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)) &&
            SUCCEEDED(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &position)))
            m_remaining = stat.cbSize.QuadPart > position.QuadPart
                              ? stat.cbSize.QuadPart - position.QuadPart
                              : 0;
    }
    size_t Read(void* buffer, size_t count) override {
        if (count == 0) return 0;
        if (count > MAXLONG) return 0;
        ULONG read = 0;
        m_stream->Read(buffer, ULONG(count), &read);
        if (m_remaining != UINT64_MAX) m_remaining -= std::min<uint64_t>(read, m_remaining);
        return read;
    }
    uint64_t Remaining() const override { return m_remaining; }
    const unsigned char* ReadInPlace(size_t count) override {
        if (count > MAXLONG) return nullptr;
        const BYTE* bytes = ReadMemoryStreamInPlace(m_stream, ULONG(count));
        if (bytes && m_remaining != UINT64_MAX)
            m_remaining -= std::min<uint64_t>(count, m_remaining);
        return bytes;
    }

private:
    IStream* m_stream;
    uint64_t m_remaining = UINT64_MAX;
};

}  // namespace

std::shared_ptr<std::thread> CExtractor::StartWorkerThread(CExtractor& extractor) {
    return std::make_shared<std::thread>([&extractor] { extractor.Run(); });
}

CExtractor::CExtractor(std::wstring processName, ThreadStarter startThread, DecodeOptions decode)
    : m_processName(std::move(processName)), m_startThread(startThread), m_decode(decode) {}

CExtractor::~CExtractor() {
    if (m_running) {
        m_cancel.store(true, std::memory_order_relaxed);
        if (m_thread && m_thread->joinable()) {
            // Joining itself would throw out of a destructor; a delegate that destroys its
            // extractor from a report is not supported, but must not end the process.
            if (m_thread->get_id() == std::this_thread::get_id()) {
                m_thread->detach();
            } else {
                m_thread->join();
            }
        }
        m_running = false;
    }
    m_thread.reset();
}

void CExtractor::SetDelegate(CExtractorDelegate* delegate) {
    if (!m_running) m_delegate = delegate;
}

void CExtractor::SetInstallFolder(const std::wstring& folder) {
    if (!m_running) m_installFolder = folder;
}

StartResult CExtractor::Start(const std::wstring& installFolder) {
    if (m_running) return StartResult::AlreadyStarted;
    try {
        m_installFolder = installFolder;
        m_running = true;
        m_cancel.store(false, std::memory_order_relaxed);
        m_thread = m_startThread(*this);
        if (m_thread) return StartResult::Started;
    } catch (...) {
        // std::system_error when the system refuses the thread, std::bad_alloc without memory.
    }
    if (m_delegate) {
        try {
            m_delegate->OnExtractFailed(*this);
        } catch (...) {
        }
    }
    return StartResult::ThreadNotCreated;
}

void CExtractor::Run() {
    ExtractResult result = ExtractResult::Failed;
    try {
        EndProcessesNamed(m_processName);
        result = ExtractPayload();
    } catch (...) {
        // Out of memory, or a delegate that threw: the run has failed, the thread carries on.
        result = ExtractResult::Failed;
    }
    ReportOutcome(result);
}

void CExtractor::ReportOutcome(ExtractResult result) {
    if (!m_delegate) return;
    try {
        switch (result) {
            case ExtractResult::Done:
                m_delegate->OnExtractDone(*this);
                break;
            case ExtractResult::Failed:
                m_delegate->OnExtractFailed(*this);
                break;
            case ExtractResult::Cancelled:
                m_delegate->OnExtractCancelled(*this);
                break;
        }
    } catch (...) {
        // The one outcome has been reported; nothing may leave the worker thread.
    }
}

ExtractResult CExtractor::ExtractPayload() {
    const ResourceBytes payload = FindResourceBytes(L"DAT", MAKEINTRESOURCEW(kPayloadId));
    if (!payload.data) return ExtractResult::Failed;
    // The locked resource is part of the mapped program and stays valid while it runs, so the
    // stream reads it in place instead of holding a second copy of the whole archive.
    const ComPtr<IStream> stream(CreateReadOnlyMemoryStream(payload.data, payload.size));
    if (!stream) return ExtractResult::Failed;
    return ExtractArchive(stream);
}

ExtractResult CExtractor::ExtractArchive(IStream* stream) {
    const ExtractResult result = ExtractEntries(stream);
    std::fflush(stdout);
    return result;
}

ExtractResult CExtractor::ExtractEntries(IStream* stream) {
    if (!stream) return ExtractResult::Failed;
    StreamSource source(stream);
    archive::Header header;
    if (!archive::ReadHeader(source, header)) return ExtractResult::Failed;
    if (m_delegate) m_delegate->OnExtractBegin(*this, header.entryCount, header.totalSize);
    if (header.entryCount == 0) return ExtractResult::Done;

    ProgressFraction progress(header.entryCount, header.totalSize);
    CKnownFolders folders;
    // Written when the run ends, before its result is reported, whatever stdout is.
    CTraceBuffer trace(stdout);
    // Entries are read and decoded ahead on other threads; everything seen from outside (trace,
    // reports, files) still happens here, one entry after the other in archive order.
    CDecodeAhead ahead(source, header.entryCount, m_decode, m_cancel, m_stats);
    for (int32_t index = 0; index < header.entryCount; ++index) {
        if (m_cancel.load(std::memory_order_relaxed)) return ExtractResult::Cancelled;
        const AheadEntry& entry = ahead.Next();
        if (!entry.nameRead) return ExtractResult::Failed;
        trace.AddLine(entry.name);
        // Refused before it is decoded or reported, so nothing is written for it.
        if (!entry.safe) return ExtractResult::Failed;
        if (entry.error != archive::EntryError::None) return ExtractResult::Failed;
        const float fraction = progress.Next(entry.size);
        if (m_delegate) m_delegate->OnExtractProgress(*this, entry.name, fraction);
        if (!WriteEntryFile(JoinPath(m_installFolder, entry.name), entry.data, entry.size,
                            &folders))
            return ExtractResult::Failed;
    }
    return ExtractResult::Done;
}
