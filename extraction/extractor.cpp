#include "extraction/extractor.h"

#include <algorithm>
#include <new>
#include <system_error>

#include "archive/archive_format.h"
#include "archive/block_decode_ahead.h"
#include "archive/decode_ahead.h"
#include "archive/memory_stream.h"
#include "extraction/progress_fraction.h"
#include "files/install_folder.h"
#include "files/paths.h"
#include "log/run_log.h"
#include "log/trace_buffer.h"
#include "platform/com_ptr.h"
#include "platform/resource_bytes.h"
#include "staging/folder_check.h"
#include "staging/free_space.h"
#include "staging/recovery.h"
#include "staging/staged_install.h"
#include "system/process_killer.h"

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

std::wstring WithSystemReason(const std::wstring& reason, DWORD error) {
    return reason + (error ? L": " + SystemErrorText(HRESULT_FROM_WIN32(error)) : L"");
}

// What is wrong with an entry, in the archive reader's words.
std::wstring Widen(archive::EntryError error) {
    const std::string text = archive::Describe(error);
    return std::wstring(text.begin(), text.end());
}

// The pieces after an entry's first, as the writer asks for them: why one could not be read is
// kept for the run's failure, in the archive reader's words.
class CEntryPieces final : public FilePieces {
public:
    explicit CEntryPieces(AheadEntries& entries) : m_entries(entries) {}
    bool Next(const void*& data, uint32_t& size) override {
        const unsigned char* bytes = nullptr;
        m_error = m_entries.NextPiece(bytes, size);
        if (m_error != archive::EntryError::None) {
            SetLastError(ERROR_INVALID_DATA);
            return false;
        }
        data = bytes;
        return true;
    }
    archive::EntryError Error() const { return m_error; }

private:
    AheadEntries& m_entries;
    archive::EntryError m_error = archive::EntryError::None;
};

// What the final step set aside and could not delete: each item, and what becomes of it.
void LogDiscard(CRunLog& log, const CStagedInstall& staging) {
    LogDeletedAtRestart(log, staging.DeletedAtRestart());
    const ItemLeft& left = staging.DiscardLeft();
    if (!left.path.empty())
        log.Step(L"set-aside files, left for the next run to delete",
                 HRESULT_FROM_WIN32(left.error), left.path);
}

}  // namespace

std::shared_ptr<std::thread> CExtractor::StartWorkerThread(CExtractor& extractor) {
    return std::make_shared<std::thread>([&extractor] { extractor.Run(); });
}

CExtractor::CExtractor(std::wstring processName, ThreadStarter startThread, DecodeOptions decode,
                       WriteOptions write)
    : m_processName(std::move(processName)),
      m_startThread(startThread),
      m_decode(decode),
      m_write(write) {}

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
    // In its one form, which the registration then writes; one the rule refuses stays as given
    // for the failure to name.
    if (!m_running) m_installFolder = NormalInstallFolder(folder).value_or(folder);
}

void CExtractor::SetProductKey(const std::wstring& key) {
    if (!m_running) m_productKey = key;
}

void CExtractor::SetLog(CRunLog* log) {
    if (!m_running) m_log = log;
}

ExtractResult CExtractor::Fail(const std::wstring& reason) {
    if (m_log) m_log->Failure(reason);
    return ExtractResult::Failed;
}

ExtractResult CExtractor::FailWithSystemError(const std::wstring& reason) {
    return Fail(WithSystemReason(reason, GetLastError()));
}

ExtractResult CExtractor::FailToStage(const WriteFailure& failure) {
    return Fail(WithSystemReason(L"entry " + failure.name + L": " +
                                     JoinPath(m_installFolder, failure.name) +
                                     L" cannot be written or replaced",
                                 failure.error));
}

StartResult CExtractor::Start(const std::wstring& installFolder) {
    if (m_running) return StartResult::AlreadyStarted;
    try {
        SetInstallFolder(installFolder);
        m_running = true;
        m_cancel.store(false, std::memory_order_relaxed);
        m_thread = m_startThread(*this);
        if (m_thread) return StartResult::Started;
    } catch (...) {
        // std::system_error when the system refuses the thread, std::bad_alloc without memory.
    }
    Fail(L"no worker thread could be made");
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
        if (m_log) m_log->Line(L"install folder " + m_installFolder);
        result = ExtractPayload();
    } catch (...) {
        // Out of memory, or a delegate that threw: the run has failed, the thread carries on.
        result = ExtractResult::Failed;
        FailQuietly(L"out of memory, or an unexpected fault");
    }
    ReportOutcome(result);
}

void CExtractor::ReportOutcome(ExtractResult result) {
    if (!m_delegate) return;
    try {
        switch (result) {
            case ExtractResult::Done:
                m_delegate->OnExtractDone(*this);
                return;
            case ExtractResult::Failed:
                m_delegate->OnExtractFailed(*this);
                return;
            case ExtractResult::Cancelled:
                m_delegate->OnExtractCancelled(*this);
                return;
        }
    } catch (...) {
    }
    if (result == ExtractResult::Failed) return;
    // A step after the files (registration, a shortcut) ran out of memory or faulted: whoever
    // waits for the outcome must still learn of one, and it is a failure.
    FailQuietly(L"the steps after the final step: out of memory, or an unexpected fault");
    try {
        m_delegate->OnExtractFailed(*this);
    } catch (...) {
    }
}

void CExtractor::FailQuietly(const std::wstring& reason) {
    try {
        Fail(reason);
    } catch (...) {
        // Without memory even for the log's line: the outcome still goes out.
    }
}

ExtractResult CExtractor::ExtractPayload() {
    const ResourceBytes payload = FindResourceBytes(L"DAT", MAKEINTRESOURCEW(kPayloadId));
    if (!payload.data) return Fail(L"the program carries no payload");
    if (const auto names = ReadPayloadNames(payload.data, payload.size)) {
        const std::wstring problem =
            FindInstallFolderProblem(m_installFolder, m_productKey, *names);
        if (!problem.empty()) return Fail(problem);
    }
    if (const ComPtr<IStream> header{CreateReadOnlyMemoryStream(payload.data, payload.size)})
        if (!HasRoomForArchive(header)) return Fail(NoRoomReason());
    // Every refusal that needs no ended process comes before this: the user's running product is
    // left alone when the run would not go ahead anyway.
    const EndedProcesses ended = EndProcessesNamed(m_processName);
    if (m_log) LogEndedProcesses(*m_log, m_processName, ended);
    // The locked resource is part of the mapped program and stays valid while it runs, so the
    // stream reads it in place instead of holding a second copy of the whole archive.
    const ComPtr<IStream> stream(CreateReadOnlyMemoryStream(payload.data, payload.size));
    if (!stream) return Fail(L"the payload cannot be read");
    return ExtractArchive(stream);
}

bool CExtractor::HasRoomFor(const archive::Header& header) {
    m_spaceChecked = true;
    const uint64_t totalBytes = uint64_t(uint32_t(header.totalSize));
    const bool room = ::HasRoomFor(m_installFolder, totalBytes, uint64_t(header.entryCount));
    if (m_log)
        m_log->Step(L"space check", room ? S_OK : HRESULT_FROM_WIN32(ERROR_DISK_FULL),
                    std::to_wstring(totalBytes) + L" bytes in " +
                        std::to_wstring(header.entryCount) + L" files");
    return room;
}

bool CExtractor::HasRoomForArchive(IStream* stream) {
    StreamSource source(stream);
    archive::Header header;
    // A header that cannot be read is the extraction's to report.
    return !archive::ReadHeader(source, header) || header.entryCount <= 0 || HasRoomFor(header);
}

std::wstring CExtractor::NoRoomReason() const {
    return L"the space check: the drive of " + m_installFolder + L" is too full";
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
    if (!archive::ReadHeader(source, header))
        return Fail(L"the archive's header is cut short or damaged");
    if (m_delegate) m_delegate->OnExtractBegin(*this, header.entryCount, header.totalSize);
    if (header.entryCount == 0) {
        // An empty archive of format 2 still has a directory, which must pass its check.
        archive::BlockDirectory directory;
        const size_t rest = size_t(source.Remaining());
        if (header.format == 2 &&
            directory.Open(header, source.ReadInPlace(rest), rest) != archive::EntryError::None)
            return Fail(L"the archive's directory is cut short or damaged");
        return ExtractResult::Done;
    }
    // Checked before the first write, so that a drive too small changes nothing at all; a run of
    // the whole payload has checked it before ending the product.
    if (!m_spaceChecked && !HasRoomFor(header)) return Fail(NoRoomReason());

    // Every way out of this function before the commit undoes what was staged.
    CStagedInstall staging(m_installFolder, m_productKey);
    staging.LogTo(m_log);
    SetLastError(ERROR_SUCCESS);
    if (!staging.Begin()) return FailWithSystemError(m_installFolder + L" cannot be used");
    ProgressFraction progress(header.entryCount, header.totalSize);
    // Written when the run ends, before its result is reported, whatever stdout is.
    CTraceBuffer trace(stdout);
    // Files are created, written and closed on a pool of their own, every one of them before the
    // staging is committed or undone.
    CFileWriterPool writer(m_write, m_writeStats);
    staging.WriteThrough(&writer);
    // Entries are read and decoded ahead on other threads; everything seen from outside (trace,
    // log, reports, the staging's plan) still happens here, one entry after the other in archive
    // order.
    std::unique_ptr<AheadEntries> ahead;
    if (header.format == 2)
        ahead = std::make_unique<CBlockDecodeAhead>(source, header, m_decode, m_cancel, m_stats);
    else
        ahead =
            std::make_unique<CDecodeAhead>(source, header.entryCount, m_decode, m_cancel, m_stats);
    // The first failure in archive order is the one reported, and a file handed to the writer
    // before this entry may have failed meanwhile.
    const auto fail = [&](const WriteFailure& here) {
        const auto earlier = writer.Finish();
        return FailToStage(earlier ? *earlier : here);
    };
    const auto failWith = [&](const std::wstring& reason) {
        if (const auto earlier = writer.Finish()) return FailToStage(*earlier);
        return Fail(reason);
    };
    for (int32_t index = 0; index < header.entryCount; ++index) {
        if (m_cancel.load(std::memory_order_relaxed) || writer.HasFailed()) {
            // A file handed over before this entry that failed is reported, past a cancel too, as
            // when files were written one by one; files not yet begun would only be removed again.
            const unsigned dropped =
                m_cancel.load(std::memory_order_relaxed) ? writer.DropQueued() : 0;
            if (const auto earlier = writer.Finish()) return FailToStage(*earlier);
            if (m_log)
                m_log->Line(L"cancelled before entry " + std::to_wstring(index + 1) + L", " +
                            std::to_wstring(dropped) + L" files handed over not written");
            return ExtractResult::Cancelled;
        }
        const AheadEntry& entry = ahead->Next();
        if (!entry.nameRead)
            return failWith(L"entry " + std::to_wstring(index + 1) + L": " + Widen(entry.error));
        trace.AddLine(entry.name);
        if (m_log) m_log->Entry(entry.name);
        // Refused before it is decoded or reported, so nothing is written for it.
        if (!entry.safe)
            return failWith(L"entry " + entry.name +
                            L": a name that leads out of the folder or names a device");
        if (entry.error != archive::EntryError::None)
            return failWith(L"entry " + entry.name + L": " + Widen(entry.error));
        const float fraction = progress.Next(entry.size);
        if (m_delegate) m_delegate->OnExtractProgress(*this, entry.name, fraction);
        SetLastError(ERROR_SUCCESS);
        CEntryPieces pieces(*ahead);
        const FileBytes bytes{entry.data, entry.pieceSize, entry.size, &pieces};
        if (!staging.Stage(entry.name, bytes)) {
            if (pieces.Error() != archive::EntryError::None)
                return failWith(L"entry " + entry.name + L": " + Widen(pieces.Error()));
            return fail(WriteFailure{entry.name, GetLastError()});
        }
    }
    if (const auto failure = writer.Finish()) return FailToStage(*failure);
    // Past this point the run is not cancelled: it completes or undoes itself.
    SetLastError(ERROR_SUCCESS);
    if (!staging.Commit())
        return FailWithSystemError(
            L"the final step: a file could not be put in place, so "
            L"everything was undone");
    if (staging.Fresh()) m_madeAbove = staging.MadeFrom();
    if (m_log) {
        m_log->Line(L"final step: done");
        LogDiscard(*m_log, staging);
    }
    return ExtractResult::Done;
}
