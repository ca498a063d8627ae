// The decoding loop over archives built in memory, and the start and end of a worker. This
// program carries no payload resource, so a started worker always meets a missing payload.
#include "install/extractor.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include "install/memory_stream.h"
#include "install/paths.h"
#include "tests/support/archive_builder.h"
#include "tests/support/recording_delegate.h"

using namespace testing_support;

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
    for (int64_t count : {int64_t(0), int64_t(0xFFFFFFFF)}) {  // 0 and -1
        RecordingDelegate delegate;
        m_extractor.SetDelegate(&delegate);
        ASSERT_EQ(Extract(ArchiveBuilder().Add(u"never.txt", "x").Build(count, 1)),
                  ExtractResult::Done);
        EXPECT_EQ(delegate.Sequence(), "B");
        EXPECT_FALSE(FileExists(Target(L"never.txt")));
    }
}

TEST_F(ExtractArchiveTest, ShortHeaderFailsWithoutBegin) {
    const Bytes bytes = ThreeEntries().Build();
    ASSERT_EQ(Extract(Bytes(bytes.begin(), bytes.begin() + 7)), ExtractResult::Failed);
    EXPECT_EQ(m_delegate.Sequence(), "");
}

TEST_F(ExtractArchiveTest, DecodingFailureInTheNthEntryKeepsEarlierFiles) {
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
        EXPECT_TRUE(FileExists(Target(L"vivevadiz.exe")));
        EXPECT_FALSE(FileExists(Target(L"bad.bin"))) << bad.size;
        EXPECT_FALSE(FileExists(Target(L"after.txt")));
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
    ASSERT_EQ(Extract(ThreeEntries().Build()), ExtractResult::Failed);
    EXPECT_EQ(m_delegate.Sequence(), "B P P");
    EXPECT_TRUE(FileExists(Target(L"a.dll")));
    EXPECT_FALSE(FileExists(Target(L"vivevadiz.exe")));
}

TEST_F(ExtractArchiveTest, ReadOnlyTargetFailsTheRunAtThatEntry) {
    ASSERT_TRUE(WriteEntryFile(Target(L"vivevadiz.exe"), "old", 3));
    ASSERT_TRUE(SetFileAttributesW(Target(L"vivevadiz.exe").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(Extract(ThreeEntries().Build()), ExtractResult::Failed);
    EXPECT_EQ(m_delegate.Sequence(), "B P P P");
    EXPECT_EQ(FileContent(Target(L"a.dll")), std::string(300, 'a'));
    EXPECT_TRUE(FileExists(Target(L"dict\\pos_dict\\prob_emit.utf8")));
    EXPECT_EQ(FileContent(Target(L"vivevadiz.exe")), "old");
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
        b.Add(u"first.txt", "kept").Add(name, "payload").Add(u"last.txt", "never");
        EXPECT_EQ(Extract(b.Build()), ExtractResult::Failed);
        EXPECT_EQ(delegate.Sequence(), "B P") << std::string(name.begin(), name.end());
        EXPECT_EQ(FileContent(Target(L"first.txt")), "kept");
        EXPECT_FALSE(FileExists(Target(L"last.txt")));
        EXPECT_FALSE(FileExists(JoinPath(ParentFolder(m_folder), L"escaped.txt")));
        EXPECT_FALSE(FileExists(L"C:\\escaped.txt"));
        EXPECT_EQ(FileContent(Target(L"a.dll")), "<missing>");
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
    ASSERT_EQ(Extract(b.Build()), ExtractResult::Done);
    EXPECT_EQ(FileContent(Target(L"libgcc_s_seh-1.dll")), "again");
    EXPECT_EQ(FileContent(Target(L"empty.dat")), "");
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

TEST(ExtractorTrace, OneLinePerNameInUtf8) {
    std::FILE* out = std::tmpfile();
    ASSERT_NE(out, nullptr);
    TraceEntryName(out, L"dict\\a.txt");
    TraceEntryName(out, L"\u7FFB.lang");
    std::rewind(out);
    char text[64] = {};
    const size_t n = std::fread(text, 1, sizeof text - 1, out);
    std::fclose(out);
    EXPECT_EQ(std::string(text, n), "dict\\a.txt\n\xE7\xBF\xBB.lang\n");
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
