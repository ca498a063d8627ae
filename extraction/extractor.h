#pragma once
// The extraction worker: on a thread of its own it checks the install folder and its drive, ends
// running copies of the product, then unpacks the payload archive (resource DAT 148 of this
// program) below the install folder, reporting every step to its delegate.

#include <windows.h>
#include <objidl.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "archive/decode_ahead.h"
#include "files/file_writer_pool.h"

class CExtractor;
class CRunLog;
namespace archive {
struct Header;
}

enum class ExtractResult { Done = 0, Failed = 1, Cancelled = 2 };

// Receives the reports of a run, on the worker thread. Exactly one of the last three ends a run.
class CExtractorDelegate {
public:
    virtual void OnExtractBegin(CExtractor& extractor, int32_t entryCount, int32_t totalSize) = 0;
    // `name` is the entry's relative name from the archive; `fraction` rises to 1.0.
    virtual void OnExtractProgress(CExtractor& extractor, const std::wstring& name,
                                   float fraction) = 0;
    virtual void OnExtractFailed(CExtractor& extractor) = 0;
    virtual void OnExtractDone(CExtractor& extractor) = 0;
    virtual void OnExtractCancelled(CExtractor& extractor) = 0;

protected:
    ~CExtractorDelegate() = default;
};

enum class StartResult {
    Started,
    AlreadyStarted,  // one extractor runs at most once; nothing was done
    // No thread could be made. OnExtractFailed has already been reported, on the caller's thread,
    // so the caller should not move on to a page that waits for progress.
    ThreadNotCreated,
};

class CExtractor {
public:
    // Makes the worker thread running extractor.Run(); throws when it cannot (tests replace it).
    using ThreadStarter = std::shared_ptr<std::thread> (*)(CExtractor& extractor);

    // `processName` is the image name of the product's running copies, ended before extracting.
    // `decode` sets the pool that decodes ahead; threads 0 is the single-thread path. `write` sets
    // the pool that creates, writes and closes the files; threads 0 writes each at its turn.
    explicit CExtractor(std::wstring processName, ThreadStarter startThread = &StartWorkerThread,
                        DecodeOptions decode = DefaultDecodeOptions(),
                        WriteOptions write = DefaultWriteOptions());
    // Cancels a run in progress (it stops before its next entry) and waits for it to end.
    ~CExtractor();
    CExtractor(const CExtractor&) = delete;
    CExtractor& operator=(const CExtractor&) = delete;

    // Both are ignored once the extractor has been started.
    void SetDelegate(CExtractorDelegate* delegate);
    // For a run driven without a thread, through ExtractArchive; in its normal form as well.
    void SetInstallFolder(const std::wstring& folder);
    // The product's Uninstall key name, which names the journal that lets the next run finish or
    // undo this one should it be killed; without one, no journal is kept.
    void SetProductKey(const std::wstring& key);
    // Where the run logs its steps, each entry and the reason it fails; none when null.
    void SetLog(CRunLog* log);

    const std::wstring& InstallFolder() const { return m_installFolder; }
    // After a run that is done: for a fresh installation the highest folder it made above the
    // install folder (empty when none), for an update nothing.
    const std::optional<std::wstring>& MadeAbove() const { return m_madeAbove; }
    // True once the owner has asked the run to stop; a long delegate call may look at it.
    bool CancelRequested() const { return m_cancel.load(std::memory_order_relaxed); }
    // What the decoding of the run did so far.
    const DecodeStats& Stats() const { return m_stats; }
    // What the writing of the run's files did so far.
    const WriteStats& Writes() const { return m_writeStats; }

    // Takes the folder in its normal form (files/install_folder.h) and starts the worker thread.
    StartResult Start(const std::wstring& installFolder);

    // The worker's body: ends product processes, extracts the payload, sends the one outcome
    // report. Never throws.
    void Run();

    // The decoding loop over an open payload stream; reports begin and progress, not the outcome.
    ExtractResult ExtractArchive(IStream* stream);

    static std::shared_ptr<std::thread> StartWorkerThread(CExtractor& extractor);

private:
    ExtractResult ExtractPayload();
    ExtractResult ExtractEntries(IStream* stream);
    // The space check, logged.
    bool HasRoomFor(const archive::Header& header);
    bool HasRoomForArchive(IStream* stream);
    std::wstring NoRoomReason() const;
    void ReportOutcome(ExtractResult result);
    // Logs why the run fails and gives Failed.
    ExtractResult Fail(const std::wstring& reason);
    // Fail where nothing may throw, its result left to the caller.
    void FailQuietly(const std::wstring& reason);
    // The same with the system's text for the last error, when there is one.
    ExtractResult FailWithSystemError(const std::wstring& reason);
    // Logs that the entry could not be staged, with the system's reason, and gives Failed.
    ExtractResult FailToStage(const WriteFailure& failure);

    std::wstring m_processName;
    ThreadStarter m_startThread;
    DecodeOptions m_decode;
    DecodeStats m_stats;
    WriteOptions m_write;
    WriteStats m_writeStats;
    std::wstring m_installFolder;
    std::optional<std::wstring> m_madeAbove;
    std::wstring m_productKey;
    CExtractorDelegate* m_delegate = nullptr;
    CRunLog* m_log = nullptr;
    bool m_running = false;
    std::atomic<bool> m_cancel{false};
    bool m_spaceChecked = false;
    std::shared_ptr<std::thread> m_thread;
};
