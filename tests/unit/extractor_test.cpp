// The decoding loop over archives built in memory, and the start and end of a worker. This
// program carries no payload resource, so a started worker always meets a missing payload.
#include "extraction/extractor.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <io.h>
#include <shlwapi.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <new>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

#include "archive/memory_stream.h"
#include "files/paths.h"
#include "log/run_log.h"
#include "log/trace_buffer.h"
#include "platform/com_ptr.h"
#include "platform/unique_handle.h"
#include "tests/support/archive_builder.h"
#include "tests/support/block_archive_builder.h"
#include "tests/support/recording_delegate.h"

using namespace testing_support;

// Allocation failure on demand, for one thread: this test program's global operator new counts
// down while a FailingAllocation is armed on the calling thread and throws at zero.
namespace {
thread_local int t_allocationsBeforeFailure = 0;

class FailingAllocation {
public:
    // The `nth` allocation from now on this thread throws std::bad_alloc; later ones succeed.
    explicit FailingAllocation(int nth) { t_allocationsBeforeFailure = nth; }
    ~FailingAllocation() { t_allocationsBeforeFailure = 0; }
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;
};
}  // namespace

void* operator new(std::size_t size) {
    if (t_allocationsBeforeFailure > 0 && --t_allocationsBeforeFailure == 0) throw std::bad_alloc();
    if (void* memory = HeapAlloc(GetProcessHeap(), 0, size ? size : 1)) return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
    if (memory) HeapFree(GetProcessHeap(), 0, memory);
}
void operator delete(void* memory, std::size_t) noexcept {
    if (memory) HeapFree(GetProcessHeap(), 0, memory);
}

namespace {

class ExtractArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_folder = MakeSandboxFolder();
        m_extractor.SetDelegate(&m_delegate);
        m_extractor.SetInstallFolder(m_folder);
    }

    ExtractResult Extract(const Bytes& bytes) {
        IStream* stream = CreateReadOnlyMemoryStream(bytes.data(), bytes.size());
        const ExtractResult result = m_extractor.ExtractArchive(stream);
        stream->Release();
        return result;
    }
    std::wstring Target(const wchar_t* name) const { return JoinPath(m_folder, name); }

    std::wstring m_folder;
    RecordingDelegate m_delegate;
    CExtractor m_extractor{L""};
};

ArchiveBuilder ThreeEntries() {
    ArchiveBuilder b;
    b.Add(u"a.dll", std::string(300, 'a'))
        .Add(u"dict\\pos_dict\\prob_emit.utf8", "emit 0.5\n")
        .Add(u"vivevadiz.exe", "MZ product");
    return b;
}

TEST_F(ExtractArchiveTest, WritesEveryEntryAndReportsEachOnce) {
    ASSERT_EQ(Extract(ThreeEntries().Build()), ExtractResult::Done);
    // The outcome report belongs to Run; the loop itself makes begin and progress reports only.
    EXPECT_EQ(m_delegate.Sequence(), "B P P P");
    const auto reports = m_delegate.Reports();
    EXPECT_EQ(reports[0].entryCount, 3);
    EXPECT_EQ(reports[0].totalSize, 319);
    EXPECT_EQ(reports[2].name, L"dict\\pos_dict\\prob_emit.utf8");
    EXPECT_EQ(m_delegate.Fractions(), (std::vector<float>{300.0f / 319.0f, 309.0f / 319.0f, 1.0f}));
    EXPECT_EQ(FileContent(Target(L"a.dll")), std::string(300, 'a'));
    EXPECT_EQ(FileContent(Target(L"dict\\pos_dict\\prob_emit.utf8")), "emit 0.5\n");
    EXPECT_EQ(FileContent(Target(L"vivevadiz.exe")), "MZ product");
}

TEST_F(ExtractArchiveTest, AnyIStreamWorksNotOnlyTheInPlaceOne) {
    const Bytes bytes = ThreeEntries().Build();
    IStream* stream = SHCreateMemStream(bytes.data(), UINT(bytes.size()));
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(m_extractor.ExtractArchive(stream), ExtractResult::Done);
    stream->Release();
    EXPECT_EQ(m_delegate.Sequence(), "B P P P");
    EXPECT_EQ(FileContent(Target(L"vivevadiz.exe")), "MZ product");
}

TEST_F(ExtractArchiveTest, EmptyArchiveBeginsAndEndsWithoutFiles) {
    ASSERT_EQ(Extract(ArchiveBuilder().Add(u"never.txt", "x").Build(0, 1)), ExtractResult::Done);
    EXPECT_EQ(m_delegate.Sequence(), "B");
    EXPECT_FALSE(FileExists(Target(L"never.txt")));
    // Format 2 has a directory even when empty: a damaged one fails the run.
    BlockArchiveBuilder empty;
    ASSERT_EQ(Extract(empty.Build()), ExtractResult::Done);
    empty.header.check = 0x12345678;
    ASSERT_EQ(Extract(empty.Build()), ExtractResult::Failed);
}

TEST_F(ExtractArchiveTest, NegativeEntryCountFailsWithoutBegin) {
    for (int64_t count : {int64_t(0xFFFFFFFF), int64_t(0x80000000)}) {  // -1 and INT32_MIN
        RecordingDelegate delegate;
        m_extractor.SetDelegate(&delegate);
        ASSERT_EQ(Extract(ArchiveBuilder().Add(u"never.txt", "x").Build(count, 1)),
                  ExtractResult::Failed)
            << count;
        EXPECT_EQ(delegate.Sequence(), "");
        EXPECT_FALSE(FileExists(Target(L"never.txt")));
    }
}

TEST_F(ExtractArchiveTest, ShortHeaderFailsWithoutBegin) {
    const Bytes bytes = ThreeEntries().Build();
    ASSERT_EQ(Extract(Bytes(bytes.begin(), bytes.begin() + 7)), ExtractResult::Failed);
    EXPECT_EQ(m_delegate.Sequence(), "");
}

// Whatever fails, the folder is left as the run found it.
TEST_F(ExtractArchiveTest, DecodingFailureInTheNthEntryLeavesTheFolderAsItWas) {
    // The fourth entry declares one byte more, or (declared empty) one byte less, than its stream
    // gives.
    for (const RawEntry& bad : {RawEntry{u"bad.bin", 6, ZlibCompress("12345")},
                                RawEntry{u"bad.bin", 0, ZlibCompress("1")}}) {
        RecordingDelegate delegate;
        m_extractor.SetDelegate(&delegate);
        ArchiveBuilder b = ThreeEntries();
        b.AddRaw(bad);
        b.Add(u"after.txt", "never");
        ASSERT_EQ(Extract(b.Build()), ExtractResult::Failed) << bad.size;
        EXPECT_EQ(delegate.Sequence(), "B P P P");
        EXPECT_EQ(TreeListing(m_folder), std::vector<std::string>()) << bad.size;
    }

    // An archive cut inside the second entry's block fails there too.
    RecordingDelegate cut;
    m_extractor.SetDelegate(&cut);
    const Bytes whole = ThreeEntries().Build();
    ASSERT_EQ(Extract(Bytes(whole.begin(), whole.begin() + ThreeEntries().EntryEnds()[1] - 1)),
              ExtractResult::Failed);
    EXPECT_EQ(cut.Sequence(), "B P");
}

TEST_F(ExtractArchiveTest, WritingFailureComesAfterTheEntrysProgressReport) {
    ASSERT_TRUE(WriteEntryFile(Target(L"dict"), "a file named like the folder", 28));
    const auto before = TreeListing(m_folder);
    ASSERT_EQ(Extract(ThreeEntries().Build()), ExtractResult::Failed);
    EXPECT_EQ(m_delegate.Sequence(), "B P P");
    EXPECT_EQ(TreeListing(m_folder), before);
}

TEST_F(ExtractArchiveTest, ReadOnlyTargetFailsTheRunAtThatEntry) {
    ASSERT_TRUE(WriteEntryFile(Target(L"vivevadiz.exe"), "old", 3));
    ASSERT_TRUE(SetFileAttributesW(Target(L"vivevadiz.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    const auto before = TreeListing(m_folder);
    ASSERT_EQ(Extract(ThreeEntries().Build()), ExtractResult::Failed);
    EXPECT_EQ(m_delegate.Sequence(), "B P P P");
    EXPECT_EQ(TreeListing(m_folder), before);
}

TEST_F(ExtractArchiveTest, NameLeavingTheFolderFailsBeforeAnythingIsWrittenForIt) {
    // Each name would land beside the install folder ("escaped.txt" in its parent) or elsewhere.
    const std::u16string names[] = {u"..\\escaped.txt",        u"a\\..\\..\\escaped.txt",
                                    u"../escaped.txt",         u"\\\\..\\escaped.txt",
                                    u"C:\\escaped.txt",        u"a.dll:hidden",
                                    u"\\\\?\\C:\\escaped.txt", u"NUL"};
    for (const auto& name : names) {
        RecordingDelegate delegate;
        m_extractor.SetDelegate(&delegate);
        ArchiveBuilder b;
        b.Add(u"first.txt", "never").Add(name, "payload").Add(u"last.txt", "never");
        EXPECT_EQ(Extract(b.Build()), ExtractResult::Failed);
        EXPECT_EQ(delegate.Sequence(), "B P") << std::string(name.begin(), name.end());
        EXPECT_EQ(TreeListing(m_folder), std::vector<std::string>());
        EXPECT_FALSE(FileExists(JoinPath(ParentFolder(m_folder), L"escaped.txt")));
        EXPECT_FALSE(FileExists(L"C:\\escaped.txt"));
        EXPECT_EQ(FileContent(Target(L"a.dll")), "<missing>");
    }
}

// The log names each entry as the trace does, up to and including the one that fails, and says
// why it failed in the reader's or the system's words.
TEST_F(ExtractArchiveTest, TheLogNamesEachEntryAndWhyTheRunFailed) {
    struct Case {
        const char* what;
        std::function<Bytes()> archive;
        std::function<void(const std::wstring& folder)> prepare;
        std::vector<std::string> entries;
        std::string failure;  // empty: the run succeeds
    };
    const std::string blocked = "dict\\pos_dict\\prob_emit.utf8";
    const Case cases[] = {
        {"complete",
         [] { return ThreeEntries().Build(); },
         [](const std::wstring&) {},
         {"a.dll", blocked, "vivevadiz.exe"},
         ""},
        {"a block that decodes short",
         [] {
             ArchiveBuilder b = ThreeEntries();
             b.AddRaw(RawEntry{u"bad.bin", 6, ZlibCompress("12345")});
             return b.Build();
         },
         [](const std::wstring&) {},
         {"a.dll", blocked, "vivevadiz.exe", "bad.bin"},
         "entry bad.bin: a block that decodes to another size"},
        {"a name leading out",
         [] {
             ArchiveBuilder b;
             b.Add(u"first.txt", "kept").Add(u"..\\escaped.txt", "x");
             return b.Build();
         },
         [](const std::wstring&) {},
         {"first.txt", "..\\escaped.txt"},
         "entry ..\\escaped.txt: a name that leads out of the folder or names a device"},
        {"a file where a folder must go",
         [] { return ThreeEntries().Build(); },
         [](const std::wstring& folder) {
             WriteEntryFile(JoinPath(folder, L"dict"), "a file named like the folder", 28);
         },
         {"a.dll", blocked},
         "entry " + blocked + ": "},
        {"a name cut short",
         [] {
             ArchiveBuilder b = ThreeEntries();
             const Bytes whole = b.Build();
             return Bytes(whole.begin(), whole.begin() + b.EntryEnds()[1] + 6);
         },
         [](const std::wstring&) {},
         {"a.dll", blocked},
         "entry 3: the archive ends early"},
        {"a name of length 0",
         [] {
             ArchiveBuilder b = ThreeEntries();
             b.AddRaw(RawEntry{u"", 1, ZlibCompress("x")});
             return b.Build();
         },
         [](const std::wstring&) {},
         {"a.dll", blocked, "vivevadiz.exe"},
         "entry 4: an entry name of length 0"},
        {"a header cut short",
         [] {
             const Bytes whole = ThreeEntries().Build();
             return Bytes(whole.begin(), whole.begin() + 7);
         },
         [](const std::wstring&) {},
         {},
         "the archive's header is cut short"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring folder = MakeSandboxFolder();
        const std::wstring logFile = MakeSandboxFolder() + L"\\run.log";
        c.prepare(folder);
        {
            CRunLog log;
            ASSERT_TRUE(log.Open(logFile));
            CExtractor extractor(L"");
            extractor.SetInstallFolder(folder);
            extractor.SetLog(&log);
            const Bytes bytes = c.archive();
            const ComPtr<IStream> stream(CreateReadOnlyMemoryStream(bytes.data(), bytes.size()));
            EXPECT_EQ(extractor.ExtractArchive(stream),
                      c.failure.empty() ? ExtractResult::Done : ExtractResult::Failed);
            if (!c.failure.empty()) {
                const std::wstring failure(c.failure.begin(), c.failure.end());
                EXPECT_EQ(log.FailureReason().rfind(failure, 0), 0u);
            }
        }
        std::vector<std::string> entries;
        std::string failures;
        std::istringstream lines(FileContent(logFile));
        for (std::string line; std::getline(lines, line);) {
            ASSERT_GT(line.size(), 25u) << line;
            ASSERT_EQ(line.back(), '\r') << line;
            const std::string text = line.substr(24, line.size() - 25);
            if (text.rfind("entry ", 0) == 0) entries.push_back(text.substr(6));
            if (text.rfind("failed: ", 0) == 0) failures += text.substr(8) + "\n";
        }
        EXPECT_EQ(entries, c.entries);
        if (c.failure.empty()) {
            EXPECT_EQ(failures, "");
        } else {
            EXPECT_EQ(failures.rfind(c.failure, 0), 0u) << failures;
        }
    }
}

TEST_F(ExtractArchiveTest, TrailingBackslashOnTheFolderGivesTheSameTargets) {
    m_extractor.SetInstallFolder(m_folder + L"\\");
    ArchiveBuilder b;
    b.Add(u"\\lead.txt", "lead").Add(u"sub\\x.txt", "x");
    ASSERT_EQ(Extract(b.Build()), ExtractResult::Done);
    EXPECT_EQ(FileContent(m_folder + L"\\lead.txt"), "lead");
    EXPECT_EQ(FileContent(m_folder + L"\\sub\\x.txt"), "x");
}

TEST_F(ExtractArchiveTest, RepeatedNameLeavesTheLaterContentAndEmptyEntryAnEmptyFile) {
    ArchiveBuilder b;
    b.Add(u"libgcc_s_seh-1.dll", "first").Add(u"empty.dat", "").Add(u"libgcc_s_seh-1.dll", "again");
    // The same name in other letter cases, one right after the other: the writers take them in
    // turn.
    for (int i = 0; i < 40; ++i)
        b.Add(i % 2 ? u"dict\\Words.txt" : u"DICT\\words.TXT",
              std::string(size_t(5000 + i), char('a' + i % 26)));
    ASSERT_EQ(Extract(b.Build()), ExtractResult::Done);
    EXPECT_EQ(FileContent(Target(L"libgcc_s_seh-1.dll")), "again");
    EXPECT_EQ(FileContent(Target(L"empty.dat")), "");
    EXPECT_EQ(FileContent(Target(L"dict\\words.txt")), std::string(5039, char('a' + 39 % 26)));
}

TEST_F(ExtractArchiveTest, HeaderTotalOfZeroStillGivesSensibleFractions) {
    ASSERT_EQ(Extract(ThreeEntries().Build(-1, 0)), ExtractResult::Done);
    const auto fractions = m_delegate.Fractions();
    ASSERT_EQ(fractions.size(), 3u);
    for (size_t i = 0; i < fractions.size(); ++i) {
        EXPECT_TRUE(std::isfinite(fractions[i]));
        if (i) {
            EXPECT_GE(fractions[i], fractions[i - 1]);
        }
    }
    EXPECT_EQ(fractions.back(), 1.0f);
}

// --- Decoding ahead on a pool -----------------------------------------------------------------

std::string RandomBytes(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        seed = seed * 1103515245u + 12345u;
        bytes[i] = char(seed >> 16);
    }
    return bytes;
}

// Entries large and small, incompressible and not, with an empty one between two large ones.
struct Entry {
    std::u16string name;
    std::string data;
};
std::vector<Entry> MixedEntries(int count) {
    std::vector<Entry> entries;
    for (int i = 0; i < count; ++i) {
        const std::string name = "d" + std::to_string(i % 3) + "\\f" + std::to_string(i) + ".bin";
        std::string data =
            i % 4 == 1 ? std::string() : RandomBytes(size_t(1000 + 37000 * (i % 5)), i);
        entries.push_back({std::u16string(name.begin(), name.end()), std::move(data)});
    }
    return entries;
}

enum class Fault { None, Decode, Unsafe, Cut, Write };

// The archive of `entries` with `fault` at entry `at`: a stream one byte short, a name leaving the
// folder, the archive cut inside that entry's block, or a file named like the folder of the entry
// before it, which decodes but cannot be created.
Bytes ArchiveWith(const std::vector<Entry>& entries, Fault fault, size_t at) {
    ArchiveBuilder b;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::u16string& before = i ? entries[i - 1].name : entries[i].name;
        if (fault == Fault::Write && i == at && i > 0)
            b.Add(before.substr(0, before.find(u'\\')), entries[i].data);
        else if (i == at && fault == Fault::Decode)
            b.AddRaw({entries[i].name, uint32_t(entries[i].data.size() + 1),
                      ZlibCompress(entries[i].data)});
        else if (i == at && fault == Fault::Unsafe)
            b.Add(u"..\\" + entries[i].name, entries[i].data);
        else
            b.Add(entries[i].name, entries[i].data);
    }
    Bytes bytes = b.Build();
    if (fault == Fault::Cut) bytes.resize(b.EntryEnds()[at] - 1);
    return bytes;
}

struct Outcome {
    ExtractResult result;
    std::vector<Report> reports;
    std::wstring folder;
    int32_t decoded;
    uint64_t peakHeld;
    uint64_t budget;
    std::wstring failure;  // the log's reason, with the folder's place marked
    unsigned peakFiles;    // most files handed to the writers at once
    uint64_t peakCopied;   // most bytes copied for them at once
};

// One run of `bytes` into a new folder. The progress report of entry `hold` waits until the pool
// has decoded `ahead` entries, so that the writer meets a fault with the pool past it.
Outcome RunArchive(const Bytes& bytes, DecodeOptions options, size_t hold = 0, int32_t ahead = 0,
                   WriteOptions write = DefaultWriteOptions()) {
    RecordingDelegate delegate;
    CRunLog log;
    EXPECT_TRUE(log.Open(MakeSandboxFolder() + L"\\run.log"));
    CExtractor extractor(L"", &CExtractor::StartWorkerThread, options, write);
    extractor.SetLog(&log);
    delegate.onProgress = [&](CExtractor& e, size_t index) {
        for (int i = 0; index == hold && i < 500 && e.Stats().decoded < ahead; ++i) Sleep(2);
    };
    extractor.SetDelegate(&delegate);
    const std::wstring folder = MakeSandboxFolder();
    extractor.SetInstallFolder(folder);
    IStream* stream = CreateReadOnlyMemoryStream(bytes.data(), bytes.size());
    const ExtractResult result = extractor.ExtractArchive(stream);
    stream->Release();
    const DecodeStats& stats = extractor.Stats();
    std::wstring failure = log.FailureReason();
    if (const size_t at = failure.find(folder); at != std::wstring::npos)
        failure.replace(at, folder.size(), L"<folder>");
    const WriteStats& writes = extractor.Writes();
    return {result,        delegate.Reports(), folder,
            stats.decoded, stats.peakHeld,     stats.budget,
            failure,       writes.peakFiles,   writes.peakHeld};
}

void ExpectSameReports(const std::vector<Report>& a, const std::vector<Report>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].kind, b[i].kind) << i;
        EXPECT_EQ(a[i].entryCount, b[i].entryCount) << i;
        EXPECT_EQ(a[i].totalSize, b[i].totalSize) << i;
        EXPECT_EQ(a[i].name, b[i].name) << i;
        EXPECT_EQ(a[i].fraction, b[i].fraction) << i;
    }
}

// Entries before `end` are written with their content; none from `end` on.
void ExpectWrittenUpTo(const Outcome& run, const std::vector<Entry>& entries, size_t end) {
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::wstring target =
            JoinPath(run.folder, std::wstring(entries[i].name.begin(), entries[i].name.end()));
        if (i < end)
            EXPECT_EQ(FileContent(target), entries[i].data) << i;
        else
            EXPECT_FALSE(FileExists(target)) << i;
    }
}

TEST(DecodeAhead, PoolReportsAndWritesExactlyAsTheSingleThreadPath) {
    const std::vector<Entry> entries = MixedEntries(24);
    const DecodeOptions single{0, 0};
    const WriteOptions oneWriter{};
    // Every entry on the pool, and the small ones (under 60000 bytes) left to the writer; files
    // written on a pool, on one with room for three files where those over 80000 bytes are written
    // by the worker and only closed on the pool, or each at its turn.
    struct Pools {
        DecodeOptions decode;
        WriteOptions write;
    };
    const Pools pools[] = {{{4, uint64_t(64) << 20, 0}, DefaultWriteOptions()},
                           {{2, uint64_t(64) << 20, 60000}, {2, 3, 100000, 80000}},
                           {{2, uint64_t(64) << 20, 60000}, oneWriter}};
    struct Case {
        Fault fault;
        size_t at;
    };
    for (const Case c :
         {Case{Fault::None, 0}, Case{Fault::Decode, 0}, Case{Fault::Decode, 11},
          Case{Fault::Decode, 23}, Case{Fault::Unsafe, 0}, Case{Fault::Unsafe, 11},
          Case{Fault::Unsafe, 23}, Case{Fault::Cut, 0}, Case{Fault::Cut, 11}, Case{Fault::Cut, 23},
          Case{Fault::Write, 1}, Case{Fault::Write, 11}, Case{Fault::Write, 23}}) {
        SCOPED_TRACE(testing::Message() << "fault " << int(c.fault) << " at " << c.at);
        const Bytes bytes = ArchiveWith(entries, c.fault, c.at);
        const Outcome one = RunArchive(bytes, single, 0, 0, oneWriter);
        const bool fails = c.fault != Fault::None;
        // A file that cannot be written has had its progress report, and nothing after it.
        const bool reported = c.fault == Fault::Write;
        const size_t decodable = !fails                                 ? entries.size()
                                 : c.fault == Fault::Decode || reported ? c.at + 1
                                                                        : c.at;
        EXPECT_EQ(one.result, fails ? ExtractResult::Failed : ExtractResult::Done);
        for (const Pools& pool : pools) {
            SCOPED_TRACE(testing::Message() << "pool from " << pool.decode.poolFrom << ", "
                                            << pool.write.threads << " writing");
            const Outcome many =
                RunArchive(bytes, pool.decode, c.at > 3 ? c.at - 3 : 0,
                           int32_t(std::min<size_t>(decodable, c.at + 4)), pool.write);
            EXPECT_EQ(many.result, one.result);
            EXPECT_EQ(many.failure, one.failure) << "the first failure in archive order";
            EXPECT_EQ(one.reports.size(), 1 + (fails ? c.at + reported : entries.size()));
            // A file that fails on the pool is known to have failed a little later: entries after
            // it may have been reported meanwhile, in archive order, at most the pool's depth.
            const size_t beyond =
                many.reports.size() - std::min(many.reports.size(), one.reports.size());
            EXPECT_LE(beyond, reported && pool.write.threads ? pool.write.depth : 0u);
            ASSERT_LT(c.at + beyond, entries.size());
            ExpectSameReports(
                std::vector<Report>(many.reports.begin(), many.reports.end() - ptrdiff_t(beyond)),
                one.reports);
            for (size_t i = 0; i < beyond; ++i)
                EXPECT_EQ(many.reports[one.reports.size() + i].name,
                          std::wstring(entries[c.at + 1 + i].name.begin(),
                                       entries[c.at + 1 + i].name.end()));
            EXPECT_LE(many.peakFiles, pool.write.depth);
            EXPECT_LE(many.peakCopied,
                      std::max<uint64_t>(pool.write.bytesInFlight, pool.write.largestCopied));
            // A run that fails leaves nothing of itself.
            ExpectWrittenUpTo(many, entries, fails ? 0 : entries.size());
            // Nothing decoded twice, nothing decoded past a name or a block that could not be read.
            EXPECT_LE(
                many.decoded,
                int32_t(fails && c.fault != Fault::Decode && !reported ? c.at : entries.size()));
            if (!fails) {
                EXPECT_EQ(many.decoded, int32_t(entries.size()));
            }
        }
    }
}

TEST(DecodeAhead, EntriesLargerThanTheHeadroomStayWithinTheBudget) {
    // With almost no headroom the budget is twice the largest entry: one or two entries at a time.
    std::vector<Entry> entries;
    for (int i = 0; i < 12; ++i)
        entries.push_back(
            {u"big" + std::u16string(1, char16_t(u'a' + i)) + u".bin",
             i == 5 ? std::string() : RandomBytes(size_t(60000 + 9000 * (i % 4)), i)});
    const Bytes bytes = ArchiveWith(entries, Fault::None, 0);
    const Outcome one = RunArchive(bytes, DecodeOptions{0, 0});
    const Outcome many = RunArchive(bytes, DecodeOptions{4, 1024});
    ASSERT_EQ(many.result, ExtractResult::Done);
    ExpectSameReports(many.reports, one.reports);
    ExpectWrittenUpTo(many, entries, entries.size());
    EXPECT_EQ(many.decoded, 12);
    EXPECT_EQ(many.budget, 2u * 87000u);
    EXPECT_LE(many.peakHeld, many.budget);
    EXPECT_GT(many.peakHeld, 87000u) << "the pool worked ahead";
}

// What the decoding table cannot reach: a file too large to copy fails on the caller's thread, for
// the caller to report; and at a cancel, files queued and not begun are dropped, not written.
TEST(FileWriterPool, LargeFileFailsOnTheCallerAndQueuedFilesAreDroppedAtACancel) {
    const std::wstring folder = MakeSandboxFolder();
    const auto target = [&](const std::wstring& name) { return folder + L"\\" + name; };
    // A folder stands where large.dat would go.
    ASSERT_TRUE(CreateDirectoryW(target(L"large.dat").c_str(), nullptr));
    WriteStats stats;
    const std::string bytes(3000, 'x');
    CFileWriterPool fresh({4, 8, 64 << 10, 16 << 10}, stats);
    const std::string large(20000, 'y');
    EXPECT_FALSE(
        fresh.Write(target(L"large.dat"), large.data(), int32_t(large.size()), L"large.dat"));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(fresh.Finish());

    // A cancel while an 8 MiB file holds the one thread: the files queued behind it are dropped,
    // never written nor failed; those written came in hand-over order and are whole.
    WriteStats cancelled;
    CFileWriterPool one({1, 16, 64 << 20, 16 << 20}, cancelled);
    const std::string first(8 << 20, 'z');
    ASSERT_TRUE(one.Write(target(L"q.dat"), first.data(), int32_t(first.size()), L"q.dat"));
    const auto queued = [](int i) { return L"q" + std::to_wstring(i) + L".dat"; };
    for (int i = 0; i < 15; ++i)
        ASSERT_TRUE(one.Write(target(queued(i)), bytes.data(), int32_t(bytes.size()), queued(i)));
    const unsigned dropped = one.DropQueued();
    EXPECT_FALSE(one.Finish());
    EXPECT_EQ(cancelled.dropped.load(), dropped);
    EXPECT_GE(dropped, 15u) << "the files behind the large one were not begun";
    std::vector<std::string> contents{FileContent(target(L"q.dat"))};
    for (int i = 0; i < 15; ++i) contents.push_back(FileContent(target(queued(i))));
    const size_t written = contents.size() - dropped;
    for (size_t i = 0; i < contents.size(); ++i)
        EXPECT_EQ(contents[i], i >= written ? "<missing>" : i ? bytes : first) << i;
}

TEST(FileWriterPool, HandOversThatWaitForRoomAndForAnEarlierNameLoseNoWakeUp) {
    const std::wstring folder = MakeSandboxFolder();
    // Room for one file at a time, and eight names taken in turn: each hand-over waits for the
    // file before it to close, and each name for its earlier file; a lost wake-up hangs here, and
    // a later content overtaken by an earlier one shows in what is left.
    for (const WriteOptions options :
         {WriteOptions{8, 1, 1 << 20, 1 << 20}, WriteOptions{3, 4, 64, 1 << 20}}) {
        WriteStats stats;
        CFileWriterPool pool(options, stats);
        for (int i = 0; i < 400; ++i) {
            const std::wstring name = L"n" + std::to_wstring(i % 8) + L".txt";
            const std::string bytes = std::to_string(i);
            ASSERT_TRUE(
                pool.Write(folder + L"\\" + name, bytes.data(), int32_t(bytes.size()), name));
        }
        EXPECT_FALSE(pool.Finish());
        EXPECT_LE(stats.peakFiles.load(), options.depth);
        for (int n = 0; n < 8; ++n)
            EXPECT_EQ(FileContent(folder + L"\\n" + std::to_wstring(n) + L".txt"),
                      std::to_string(392 + n))
                << options.depth;
    }
}

TEST(DecodeAhead, APoolThatCannotStartFullyNeverEndsTheProcess) {
    const std::vector<Entry> entries = MixedEntries(12);
    const Bytes bytes = ArchiveWith(entries, Fault::None, 0);
    const DecodeOptions options{4, uint64_t(64) << 20, 0};
    bool partialPool = false;
    // Each allocation the pool's start makes fails in turn: the first ones before any thread
    // runs, later ones with threads already running.
    for (int nth = 1; nth <= 12; ++nth) {
        SCOPED_TRACE(testing::Message() << "allocation " << nth << " fails");
        MemorySource source(bytes);
        archive::Header header;
        ASSERT_TRUE(archive::ReadHeader(source, header));
        const std::atomic<bool> cancel{false};
        DecodeStats stats;
        std::unique_ptr<CDecodeAhead> ahead;
        try {
            const FailingAllocation failing(nth);
            ahead =
                std::make_unique<CDecodeAhead>(source, header.entryCount, options, cancel, stats);
        } catch (const std::bad_alloc&) {
            // Failed before any thread started: the run fails cleanly.
            continue;
        }
        partialPool = partialPool || (stats.threads > 0 && stats.threads < options.threads);
        for (const Entry& expected : entries) {
            const AheadEntry& entry = ahead->Next();
            ASSERT_EQ(entry.error, archive::EntryError::None);
            EXPECT_EQ(std::string(reinterpret_cast<const char*>(entry.data), size_t(entry.size)),
                      expected.data);
        }
    }
    EXPECT_TRUE(partialPool) << "some run went on with the threads that did start";
}

// Runs ExtractArchive on g_archive as the worker thread, so that destroying the extractor cancels.
const Bytes* g_archive = nullptr;
ExtractResult g_result = ExtractResult::Done;
std::shared_ptr<std::thread> ArchiveStarter(CExtractor& extractor) {
    return std::make_shared<std::thread>([&extractor] {
        IStream* stream = CreateReadOnlyMemoryStream(g_archive->data(), g_archive->size());
        g_result = extractor.ExtractArchive(stream);
        stream->Release();
    });
}

TEST(DecodeAhead, CancelWhileThePoolIsAheadLeavesNothing) {
    const std::vector<Entry> entries = MixedEntries(40);
    const Bytes bytes = ArchiveWith(entries, Fault::None, 0);
    g_archive = &bytes;
    RecordingDelegate delegate;
    const CKernelHandle held(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    int32_t decodedAhead = 0;
    delegate.onProgress = [&](CExtractor& extractor, size_t index) {
        if (index != 2) return;
        for (int i = 0; i < 1000 && extractor.Stats().decoded < 6; ++i) Sleep(5);
        decodedAhead = extractor.Stats().decoded;
        SetEvent(held);
        for (int i = 0; i < 1000 && !extractor.CancelRequested(); ++i) Sleep(5);
    };
    auto extractor =
        std::make_unique<CExtractor>(L"", &ArchiveStarter, DecodeOptions{4, uint64_t(64) << 20});
    extractor->SetDelegate(&delegate);
    const std::wstring folder = MakeSandboxFolder();
    ASSERT_EQ(extractor->Start(folder), StartResult::Started);
    ASSERT_EQ(WaitForSingleObject(held, 10000), WAIT_OBJECT_0);
    extractor.reset();  // cancels, stops the pool and joins every thread
    EXPECT_EQ(g_result, ExtractResult::Cancelled);
    EXPECT_GE(decodedAhead, 6) << "the pool was ahead of the writer";
    EXPECT_EQ(delegate.Sequence(), "B P P P");
    EXPECT_EQ(TreeListing(folder), std::vector<std::string>());
}

TEST(ExtractorTrace, OneLinePerNameInUtf8WrittenWhenFlushedOrDue) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        CTraceBuffer trace(out, std::chrono::hours(1));
        trace.AddLine(L"dict\\a.txt");
        trace.AddLine(L"\u7FFB.lang");
        EXPECT_EQ(std::ftell(out), 0L) << "nothing written before it is due";
        trace.Flush();
        trace.AddLine(L"last.txt");
    }
    std::rewind(out);
    char text[64] = {};
    size_t n = std::fread(text, 1, sizeof text - 1, out);
    EXPECT_EQ(std::string(text, n), "dict\\a.txt\n\xE7\xBF\xBB.lang\nlast.txt\n");
    std::fclose(out);

    // A run that hangs still shows how far it came: lines wait no longer than the delay.
    out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    {
        CTraceBuffer trace(out, std::chrono::milliseconds(20));
        trace.AddLine(L"stuck.txt");
        for (int waited = 0; waited < 200 && std::ftell(out) == 0; ++waited) Sleep(50);
        std::rewind(out);
        n = std::fread(text, 1, sizeof text - 1, out);
        EXPECT_EQ(std::string(text, n), "stuck.txt\n");
    }
    std::fclose(out);
}

// A reader that never reads: once the pipe is full, the trace's writes block, and the run must not.
TEST(ExtractorTrace, APipeNobodyReadsHoldsUpNeitherTheLinesNorTheEnd) {
    HANDLE read = nullptr, write = nullptr;
    ASSERT_TRUE(CreatePipe(&read, &write, nullptr, 4096));
    CKernelHandle reader(read);
    const int fd = _open_osfhandle(intptr_t(write), _O_WRONLY | _O_BINARY);
    ASSERT_GE(fd, 0);
    std::FILE* out = _fdopen(fd, "wb");
    ASSERT_NE(out, nullptr);
    const auto start = std::chrono::steady_clock::now();
    size_t dropped = 0;
    {
        CTraceBuffer trace(out, std::chrono::milliseconds(10), std::chrono::milliseconds(300));
        const std::wstring name = L"data\\" + std::wstring(200, L'n');
        for (int i = 0; i < 20000; ++i) {
            trace.AddLine(name + std::to_wstring(i));
            if (i % 1000 == 0) trace.Flush();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5))
            << "the lines never waited for the pipe";
        dropped = trace.Dropped();
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(8))
        << "the end waited for the pipe no longer than its bound";
    EXPECT_GT(dropped, 0u) << "4 MB did not fit into a pipe nobody reads";
    // Whatever reached the pipe is whole lines, in order.
    std::string got(65536, '\0');
    DWORD n = 0, available = 0;
    if (PeekNamedPipe(reader, nullptr, 0, nullptr, &available, nullptr) && available)
        ReadFile(reader, &got[0], std::min<DWORD>(available, DWORD(got.size())), &n, nullptr);
    got.resize(n);
    EXPECT_EQ(got.rfind("data\\" + std::string(200, 'n') + "0\n", 0), 0u);
    // Closed once the reader has gone, so that no write of the writer can still block on it.
    reader.Reset();
    std::fclose(out);
}

// Standard output as the C runtime has it on a character device: not buffered, so every write
// reaches the device at once. It is redirected to a file, which the run's progress reports look at.
class UnbufferedStdout {
public:
    explicit UnbufferedStdout(const std::wstring& file) : m_file(file) {
        std::fflush(stdout);
        m_saved = _dup(1);
        const int fd = _wopen(file.c_str(), _O_CREAT | _O_TRUNC | _O_WRONLY | _O_BINARY, 0600);
        _dup2(fd, 1);
        _close(fd);
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
    ~UnbufferedStdout() {
        std::fflush(stdout);
        _dup2(m_saved, 1);
        _close(m_saved);
        std::setvbuf(stdout, nullptr, _IOFBF, BUFSIZ);
    }
    // What has reached the file so far, line ends as "\n"; "<unreadable>" when it cannot be read.
    std::string Written() const {
        const CFileHandle file(CreateFileW(m_file.c_str(), GENERIC_READ,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
        if (!file) return "<unreadable>";
        std::string text;
        char chunk[4096];
        DWORD read = 0;
        while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read)
            text.append(chunk, read);
        text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
        return text;
    }

private:
    std::wstring m_file;
    int m_saved = -1;
};

TEST_F(ExtractArchiveTest, TheTraceReachesStandardOutputInWholeBatchesByTheRunsEnd) {
    const std::string all = "a.dll\ndict\\pos_dict\\prob_emit.utf8\nvivevadiz.exe\n";
    for (const bool failing : {false, true}) {
        SCOPED_TRACE(failing ? "a run that fails at its last entry" : "a complete run");
        ArchiveBuilder b;
        b.Add(u"a.dll", "a").Add(u"dict\\pos_dict\\prob_emit.utf8", "emit");
        if (failing)
            b.AddRaw({u"vivevadiz.exe", 3, ZlibCompress("MZ")});
        else
            b.Add(u"vivevadiz.exe", "MZ");
        std::vector<std::string> seen;
        ExtractResult result;
        std::string written;
        {
            const UnbufferedStdout out(JoinPath(MakeSandboxFolder(), L"stdout.txt"));
            m_delegate.onProgress = [&](CExtractor&, size_t) { seen.push_back(out.Written()); };
            result = Extract(b.Build());
            written = out.Written();
        }
        m_delegate.onProgress = nullptr;
        EXPECT_EQ(result, failing ? ExtractResult::Failed : ExtractResult::Done);
        ASSERT_EQ(seen.size(), failing ? 2u : 3u);
        for (const std::string& text : seen)
            EXPECT_TRUE(all.compare(0, text.size(), text) == 0 &&
                        (text.empty() || text.back() == '\n'))
                << text;
        EXPECT_EQ(written, all) << "every line, by the time the result is known";
    }
}

// A thread starter that counts its calls and then starts the real thread.
int g_startCalls = 0;
std::shared_ptr<std::thread> CountingStarter(CExtractor& extractor) {
    ++g_startCalls;
    return CExtractor::StartWorkerThread(extractor);
}

std::shared_ptr<std::thread> RefusingStarter(CExtractor&) {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
}

TEST(ExtractorLifetime, MissingPayloadFailsOnTheWorkerAndASecondStartIsIgnored) {
    g_startCalls = 0;
    RecordingDelegate delegate;
    {
        CExtractor extractor(L"", &CountingStarter);
        extractor.SetDelegate(&delegate);
        EXPECT_EQ(extractor.Start(MakeSandboxFolder()), StartResult::Started);
        EXPECT_EQ(extractor.Start(L"C:\\other"), StartResult::AlreadyStarted);
        EXPECT_NE(extractor.InstallFolder(), L"C:\\other");
    }
    EXPECT_EQ(g_startCalls, 1);
    EXPECT_EQ(delegate.Sequence(), "F");
    EXPECT_NE(delegate.Reports()[0].threadId, GetCurrentThreadId());

    // Even after the run has ended, the extractor does not run again.
    CExtractor extractor(L"", &CountingStarter);
    extractor.SetDelegate(&delegate);
    extractor.Start(MakeSandboxFolder());
    Sleep(50);
    EXPECT_EQ(extractor.Start(MakeSandboxFolder()), StartResult::AlreadyStarted);
    EXPECT_EQ(g_startCalls, 2);
}

TEST(ExtractorLifetime, ThreadThatCannotBeMadeIsReportedAsAFailure) {
    RecordingDelegate delegate;
    CExtractor extractor(L"", &RefusingStarter);
    extractor.SetDelegate(&delegate);
    EXPECT_EQ(extractor.Start(L"C:\\never"), StartResult::ThreadNotCreated);
    EXPECT_EQ(delegate.Sequence(), "F");
    EXPECT_EQ(extractor.Start(L"C:\\never"), StartResult::AlreadyStarted);
    EXPECT_EQ(delegate.Sequence(), "F");
}

TEST(ExtractorLifetime, DestroyingAnIdleExtractorReturnsAtOnce) {
    RecordingDelegate delegate;
    {
        CExtractor extractor(L"");
        extractor.SetDelegate(&delegate);
    }
    EXPECT_EQ(delegate.Sequence(), "");
}

// A delegate whose begin report throws: the run fails, nothing leaves the worker.
class ThrowingDelegate : public RecordingDelegate {
public:
    void OnExtractFailed(CExtractor& e) override {
        RecordingDelegate::OnExtractFailed(e);
        throw std::runtime_error("from the failure report");
    }
};

TEST(ExtractorLifetime, ExceptionsFromReportsStayOnTheWorker) {
    ThrowingDelegate delegate;
    {
        CExtractor extractor(L"");
        extractor.SetDelegate(&delegate);
        extractor.Start(MakeSandboxFolder());
    }
    EXPECT_EQ(delegate.Sequence(), "F");
}

TEST(MemoryStream, ReadsInPlaceAndRefusesWrites) {
    const char text[] = "0123456789";
    IStream* stream = CreateReadOnlyMemoryStream(text, 10);
    ASSERT_NE(stream, nullptr);
    char buffer[8] = {};
    ULONG read = 0;
    EXPECT_EQ(stream->Read(buffer, 4, &read), S_OK);
    EXPECT_EQ(std::string(buffer, read), "0123");
    LARGE_INTEGER move;
    move.QuadPart = -2;
    ULARGE_INTEGER at;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_END, &at), S_OK);
    EXPECT_EQ(at.QuadPart, 8u);
    EXPECT_EQ(stream->Read(buffer, 8, &read), S_FALSE);
    EXPECT_EQ(std::string(buffer, read), "89");
    move.QuadPart = 20;
    EXPECT_EQ(stream->Seek(move, STREAM_SEEK_SET, &at), S_OK);
    EXPECT_EQ(stream->Read(buffer, 8, &read), S_FALSE);
    EXPECT_EQ(read, 0u);
    move.QuadPart = -1;
    EXPECT_NE(stream->Seek(move, STREAM_SEEK_SET, &at), S_OK);
    ULONG written = 5;
    EXPECT_TRUE(FAILED(stream->Write("x", 1, &written)));
    EXPECT_EQ(written, 0u);
    STATSTG stat;
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, 10u);

    // In place: the bytes themselves, and nothing consumed when too few remain.
    move.QuadPart = 6;
    stream->Seek(move, STREAM_SEEK_SET, &at);
    EXPECT_EQ(ReadMemoryStreamInPlace(stream, 3), reinterpret_cast<const BYTE*>(text + 6));
    EXPECT_EQ(ReadMemoryStreamInPlace(stream, 2), nullptr);
    EXPECT_EQ(stream->Read(buffer, 8, &read), S_FALSE);
    EXPECT_EQ(std::string(buffer, read), "9");
    EXPECT_EQ(stream->Release(), 0u);

    IStream* foreign = SHCreateMemStream(reinterpret_cast<const BYTE*>(text), 10);
    EXPECT_EQ(ReadMemoryStreamInPlace(foreign, 1), nullptr);
    foreign->Release();
}

}  // namespace
