// Whole runs of the worker on this program's own payload resource (four entries, grouped by type:
// "empty.dat", "a.txt", "dict\pos_dict\prob_emit.utf8", "vivevadiz.exe"), with cancellation and the
// ending of running copies of the product.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "archive/memory_stream.h"
#include "extraction/extractor.h"
#include "files/paths.h"
#include "log/run_log.h"
#include "res/product_identity.h"
#include "system/process_killer.h"
#include "tests/support/archive_builder.h"
#include "tests/support/recording_delegate.h"
#include "tests/support/run_environment.h"

using namespace testing_support;

namespace {

const wchar_t* const kNames[] = {L"empty.dat", L"a.txt", L"dict\\pos_dict\\prob_emit.utf8",
                                 L"vivevadiz.exe"};
constexpr int32_t kTotal = 20000 + 800 + 0 + 34;

// Runs a whole extraction into `folder` and waits for its end.
void RunToEnd(RecordingDelegate& delegate, const std::wstring& folder) {
    CExtractor extractor(ReadProductIdentity().processName);
    extractor.SetDelegate(&delegate);
    ASSERT_EQ(extractor.Start(folder), StartResult::Started);
    for (int i = 0; i < 1000 && delegate.Reports().size() < 6; ++i) Sleep(10);
}

TEST(ExtractorRun, WritesThePayloadWithBeginProgressAndDone) {
    const std::wstring folder = MakeSandboxFolder() + L"\\Program Files\\Marlin\\Product";
    RecordingDelegate delegate;
    RunToEnd(delegate, folder);
    ASSERT_EQ(delegate.Sequence(), "B P P P P D");
    const auto reports = delegate.Reports();
    EXPECT_EQ(reports[0].entryCount, 4);
    EXPECT_EQ(reports[0].totalSize, kTotal);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(reports[i + 1].name, kNames[i]);
    const auto fractions = delegate.Fractions();
    EXPECT_EQ(fractions.front(), 0.0f);
    EXPECT_EQ(fractions[1], 20000.0f / float(kTotal));
    EXPECT_EQ(fractions.back(), 1.0f);
    for (size_t i = 1; i < fractions.size(); ++i) EXPECT_GE(fractions[i], fractions[i - 1]);
    for (const auto& r : reports) EXPECT_NE(r.threadId, GetCurrentThreadId());

    EXPECT_EQ(FileContent(JoinPath(folder, L"a.txt")).size(), 20000u);
    EXPECT_EQ(FileContent(JoinPath(folder, kNames[2])).substr(0, 8), "B -3.14\n");
    EXPECT_EQ(FileContent(JoinPath(folder, L"empty.dat")), "");
    EXPECT_EQ(FileContent(JoinPath(folder, L"vivevadiz.exe")),
              "stands in for the product program\n");
}

// Destroys the extractor while the delegate holds the worker inside entry `hold`'s progress
// report; the delegate lets go only once the destructor has asked for the cancel.
std::string DestroyDuringEntry(size_t hold, const std::wstring& folder) {
    RecordingDelegate delegate;
    HANDLE inEntry = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    delegate.onProgress = [&](CExtractor& extractor, size_t index) {
        if (index != hold) return;
        SetEvent(inEntry);
        for (int i = 0; i < 1000 && !extractor.CancelRequested(); ++i) Sleep(10);
        EXPECT_TRUE(extractor.CancelRequested());
    };
    auto extractor = std::make_unique<CExtractor>(ReadProductIdentity().processName);
    extractor->SetDelegate(&delegate);
    EXPECT_EQ(extractor->Start(folder), StartResult::Started);
    EXPECT_EQ(WaitForSingleObject(inEntry, 10000), WAIT_OBJECT_0);
    extractor.reset();  // returns only after the worker's last report
    CloseHandle(inEntry);
    return delegate.Sequence();
}

// Cancelled, the run leaves the folder as it found it: nothing of what it staged.
TEST(ExtractorRun, DestroyingDuringARunFinishesTheEntryInHandThenCancels) {
    const std::wstring folder = MakeSandboxFolder();
    EXPECT_EQ(DestroyDuringEntry(1, folder), "B P P C");
    EXPECT_EQ(TreeListing(folder), std::vector<std::string>());
    const std::wstring fresh = MakeSandboxFolder();
    EXPECT_EQ(DestroyDuringEntry(1, fresh + L"\\made\\install"), "B P P C");
    EXPECT_FALSE(FolderExists(fresh + L"\\made"));
    EXPECT_EQ(TreeListing(fresh), std::vector<std::string>());
}

TEST(ExtractorRun, CancelDuringTheLastEntryStillEndsDone) {
    const std::wstring folder = MakeSandboxFolder();
    EXPECT_EQ(DestroyDuringEntry(3, folder), "B P P P P D");
    EXPECT_TRUE(FileExists(JoinPath(folder, L"vivevadiz.exe")));
}

struct Process {
    CKernelHandle handle;
    explicit Process(const std::wstring& exe) {
        STARTUPINFOW si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        std::wstring commandLine = L"\"" + exe + L"\"";
        if (CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           nullptr, &si, &pi)) {
            const CKernelHandle thread(pi.hThread);
            handle.Reset(pi.hProcess);
        }
    }
    ~Process() {
        if (!handle) return;
        TerminateProcess(handle, 0);
        WaitForSingleObject(handle, 5000);
    }
    DWORD ExitCode() const {
        DWORD code = 0;
        GetExitCodeProcess(handle, &code);
        return code;
    }
};

TEST(ExtractorRun, EndsTheProductByWholeNameBeforeTheFirstFile) {
    const std::wstring sleeper = ArgumentValue(L"--sleeper=");
    ASSERT_FALSE(sleeper.empty()) << "run with --sleeper=PATH";
    const std::wstring bin = MakeSandboxFolder();
    const std::wstring product = bin + L"\\VIVEVADIZ.EXE";
    const std::wstring longer = bin + L"\\xvivevadiz.exe";
    ASSERT_TRUE(CopyFileW(sleeper.c_str(), product.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(sleeper.c_str(), longer.c_str(), FALSE));
    Process running(product);
    Process other(longer);
    ASSERT_TRUE(running.handle);
    ASSERT_TRUE(other.handle);

    const std::wstring folder = MakeSandboxFolder() + L"\\install";
    RecordingDelegate delegate;
    bool checked = false;
    delegate.onBegin = [&](CExtractor&) {
        // The begin report comes before any file is written; the product is gone by then.
        EXPECT_EQ(WaitForSingleObject(running.handle, 0), WAIT_OBJECT_0);
        EXPECT_EQ(running.ExitCode(), 9u);
        EXPECT_EQ(WaitForSingleObject(other.handle, 0), DWORD(WAIT_TIMEOUT));
        EXPECT_FALSE(FileExists(JoinPath(folder, L"a.txt")));
        checked = true;
    };
    RunToEnd(delegate, folder);
    EXPECT_EQ(delegate.Sequence(), "B P P P P D");
    EXPECT_TRUE(checked);
    EXPECT_EQ(WaitForSingleObject(other.handle, 0), DWORD(WAIT_TIMEOUT));
}

// The snapshot names a process by id; by the time it is opened, the id may belong to another
// program. Each id below stands for one the snapshot listed as the product's.
TEST(ExtractorRun, EndsAnIdOnlyWhileItRunsTheProductsImage) {
    const std::wstring sleeper = ArgumentValue(L"--sleeper=");
    ASSERT_FALSE(sleeper.empty()) << "run with --sleeper=PATH";
    const std::wstring bin = MakeSandboxFolder();
    const struct {
        const wchar_t* image;
        bool ended;
    } cases[] = {
        {L"Vivevadiz.EXE", true},
        {L"other.exe", false},
        {L"xvivevadiz.exe", false},
        {L"vivevadiz.exe.exe", false},
    };
    for (const auto& c : cases) {
        const std::wstring image = JoinPath(bin, c.image);
        ASSERT_TRUE(CopyFileW(sleeper.c_str(), image.c_str(), FALSE)) << c.image;
        Process process(image);
        ASSERT_TRUE(process.handle) << c.image;
        CKernelHandle ended;
        EXPECT_EQ(EndProcessIfNamed(GetProcessId(process.handle), L"vivevadiz.exe", ended), c.ended)
            << c.image;
        EXPECT_EQ(bool(ended), c.ended) << c.image;
        EXPECT_EQ(WaitForSingleObject(process.handle, c.ended ? 5000 : 200),
                  c.ended ? WAIT_OBJECT_0 : DWORD(WAIT_TIMEOUT))
            << c.image;
        if (c.ended) {
            EXPECT_EQ(process.ExitCode(), 9u) << c.image;
        }
    }
}

// Windows only starts ending a process in TerminateProcess; here another thread ends them late, as
// Windows may. Four that nobody ends show that the wait is bounded in total, not per process.
TEST(ExtractorRun, WaitsForEndedProcessesBoundedInTotal) {
    const std::wstring sleeper = ArgumentValue(L"--sleeper=");
    ASSERT_FALSE(sleeper.empty()) << "run with --sleeper=PATH";
    std::vector<std::unique_ptr<Process>> running;
    std::vector<CKernelHandle> handles;
    for (int i = 0; i < 4; ++i) {
        running.push_back(std::make_unique<Process>(sleeper));
        handles.emplace_back();
        ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), running.back()->handle,
                                    GetCurrentProcess(), handles.back().Put(), SYNCHRONIZE, FALSE,
                                    0));
    }
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(WaitForAllToExit(handles, 500));
    const ULONGLONG waited = GetTickCount64() - start;
    EXPECT_GE(waited, 450u);
    EXPECT_LT(waited, 1200u);

    std::thread ender([&] {
        Sleep(300);
        for (const auto& process : running) TerminateProcess(process->handle, 9);
    });
    EXPECT_TRUE(WaitForAllToExit(handles, kProcessEndTimeoutMs));
    for (const auto& process : handles) EXPECT_EQ(WaitForSingleObject(process, 0), WAIT_OBJECT_0);
    ender.join();
}

// An empty install folder puts the files below the root of the current drive. Run only with
// --sandbox-drive=Q: naming a drive mapped to a folder of the sandbox, so nothing lands elsewhere.
// An empty install folder is no whole path: it would be the root of whatever drive is current.
// Refused before anything is written there.
TEST(ExtractorRun, EmptyFolderIsRefusedWithNothingWrittenOnTheCurrentDrive) {
    const std::wstring drive = ArgumentValue(L"--sandbox-drive=");
    if (drive.empty()) GTEST_SKIP() << "needs --sandbox-drive=X: mapped to a sandbox folder";
    ASSERT_TRUE(SetCurrentDirectoryW((drive + L"\\").c_str()));
    ArchiveBuilder b;
    b.Add(u"top.txt", "top").Add(u"sub\\inner.txt", "inner");
    const Bytes bytes = b.Build();
    RecordingDelegate delegate;
    CExtractor extractor(ReadProductIdentity().processName);
    extractor.SetDelegate(&delegate);
    extractor.SetInstallFolder(L"");
    IStream* stream = CreateReadOnlyMemoryStream(bytes.data(), bytes.size());
    EXPECT_EQ(extractor.ExtractArchive(stream), ExtractResult::Failed);
    stream->Release();
    EXPECT_EQ(TreeListing(drive), std::vector<std::string>());
}

// A payload larger than the drive's free space is refused before anything is written. Run only
// with --sandbox-drive=Q: naming a RAM-backed drive of 3 MB, as the next test.
TEST(ExtractorRun, FullDriveRefusedBeforeTheFirstWrite) {
    const std::wstring drive = ArgumentValue(L"--sandbox-drive=");
    if (drive.empty()) GTEST_SKIP() << "needs --sandbox-drive=X: mapped to a 3 MB drive";
    ArchiveBuilder b;
    b.Add(u"first.txt", "never").Add(u"big.bin", std::string(4000000, 'b'));
    const Bytes bytes = b.Build();
    RecordingDelegate delegate;
    CExtractor extractor(ReadProductIdentity().processName);
    extractor.SetDelegate(&delegate);
    extractor.SetInstallFolder(drive + L"\\install");
    IStream* stream = CreateReadOnlyMemoryStream(bytes.data(), bytes.size());
    EXPECT_EQ(extractor.ExtractArchive(stream), ExtractResult::Failed);
    stream->Release();
    EXPECT_EQ(delegate.Sequence(), "B");
    EXPECT_EQ(TreeListing(drive), std::vector<std::string>());
}

// A drive that fills after the check (another program writes to it) fails the write part-way;
// the run then undoes everything: over an installation it leaves that as it was, byte for byte.
TEST(ExtractorRun, FullDriveDuringTheRunUndoesEverything) {
    const std::wstring drive = ArgumentValue(L"--sandbox-drive=");
    if (drive.empty()) GTEST_SKIP() << "needs --sandbox-drive=X: mapped to a 3 MB drive";
    const std::wstring folder = drive + L"\\install";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring old = JoinPath(folder, L"first.txt");
    HANDLE file = CreateFileW(old.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, "old", 3, &written, nullptr);
    CloseHandle(file);
    const auto before = TreeListing(folder);

    std::string big(1000000, '\0');
    unsigned seed = 7;
    for (char& c : big) c = char((seed = seed * 1103515245u + 12345u) >> 16);
    ArchiveBuilder b;
    b.Add(u"first.txt", "new").Add(u"big.bin", big).Add(u"after.txt", "never");
    const Bytes bytes = b.Build();
    RecordingDelegate delegate;
    const std::wstring filler = drive + L"\\filler.bin";
    delegate.onProgress = [&](CExtractor&, size_t index) {
        if (index != 0) return;
        // Leaves less than the next entry needs.
        HANDLE fill =
            CreateFileW(filler.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        const std::string chunk(64 * 1024, 'f');
        ULARGE_INTEGER available{};
        while (GetDiskFreeSpaceExW(drive.c_str(), &available, nullptr, nullptr) &&
               available.QuadPart > 300 * 1024 &&
               WriteFile(fill, chunk.data(), DWORD(chunk.size()), &written, nullptr) && written) {
        }
        CloseHandle(fill);
    };
    CRunLog log;  // not opened: it keeps the reason all the same
    CExtractor extractor(ReadProductIdentity().processName);
    extractor.SetDelegate(&delegate);
    extractor.SetInstallFolder(folder);
    extractor.SetLog(&log);
    IStream* stream = CreateReadOnlyMemoryStream(bytes.data(), bytes.size());
    EXPECT_EQ(extractor.ExtractArchive(stream), ExtractResult::Failed);
    stream->Release();
    // The file that did not fit is the failure reported. Written on the pool, it fails after the
    // next entry may have been reported, in archive order.
    EXPECT_EQ(log.FailureReason().find(L"entry big.bin: "), 0u) << log.FailureReason();
    const std::string sequence = delegate.Sequence();
    EXPECT_TRUE(sequence == "B P P" || sequence == "B P P P") << sequence;
    if (sequence.size() > 5) {
        EXPECT_EQ(delegate.Reports().back().name, L"after.txt");
    }
    EXPECT_EQ(TreeListing(folder), before);
    // Beside the install folder nothing but the filler: no staging folder is left.
    EXPECT_EQ(TreeListing(drive).size(), before.size() + 2);
}

}  // namespace
