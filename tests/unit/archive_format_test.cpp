#include "archive/archive_format.h"

#include <gtest/gtest.h>

#include "archive/entry_name.h"
#include "tests/support/archive_builder.h"

using archive::EntryError;
using namespace testing_support;

namespace {

struct ReadOutcome {
    bool headerRead = false;
    archive::Header header;
    std::vector<std::u16string> names;
    std::vector<std::string> contents;
    EntryError error = EntryError::None;
};

// The reading order the installer follows: header, then name and data of each entry in turn.
ReadOutcome ReadAll(archive::ByteSource& source) {
    ReadOutcome outcome;
    outcome.headerRead = archive::ReadHeader(source, outcome.header);
    if (!outcome.headerRead) return outcome;
    archive::EntryDecoder decoder;
    for (int32_t i = 0; i < outcome.header.entryCount; ++i) {
        std::u16string name;
        outcome.error = archive::ReadName(source, name);
        if (outcome.error == EntryError::None) outcome.error = decoder.ReadData(source);
        if (outcome.error != EntryError::None) return outcome;
        outcome.names.push_back(name);
        outcome.contents.emplace_back(reinterpret_cast<const char*>(decoder.Data()),
                                      size_t(decoder.Size()));
    }
    return outcome;
}

ReadOutcome ReadBytes(const Bytes& bytes) {
    MemorySource source(bytes);
    return ReadAll(source);
}

ArchiveBuilder ThreeEntries() {
    ArchiveBuilder b;
    b.Add(u"a.dll", std::string(300, 'a'))
        .Add(u"dict\\pos_dict\\prob_emit.utf8", "emit 0.5\n")
        .Add(u"vivevadiz.exe", "MZ the product");
    return b;
}

TEST(ArchiveFormat, ReadsEveryEntryInOrder) {
    auto outcome = ReadBytes(ThreeEntries().Build());
    ASSERT_TRUE(outcome.headerRead);
    EXPECT_EQ(outcome.header.entryCount, 3);
    EXPECT_EQ(outcome.header.totalSize, 300 + 9 + 14);
    EXPECT_EQ(outcome.error, EntryError::None);
    ASSERT_EQ(outcome.names.size(), 3u);
    EXPECT_EQ(outcome.names[1], u"dict\\pos_dict\\prob_emit.utf8");
    EXPECT_EQ(outcome.contents[0], std::string(300, 'a'));
    EXPECT_EQ(outcome.contents[2], "MZ the product");
}

TEST(ArchiveFormat, CountZeroDecodesNothingAndANegativeCountIsCorrupt) {
    const auto empty = ReadBytes(ThreeEntries().Build(0));
    ASSERT_TRUE(empty.headerRead);
    EXPECT_EQ(empty.header.entryCount, 0);
    EXPECT_TRUE(empty.names.empty());
    for (int64_t count : {int64_t(0x80000000), int64_t(0xFFFFFFFF)})
        EXPECT_FALSE(ReadBytes(ThreeEntries().Build(count)).headerRead) << count;
}

TEST(ArchiveFormat, CutAtEveryOffsetFailsAtTheFirstShortRead) {
    const ArchiveBuilder builder = ThreeEntries();
    const Bytes full = builder.Build();
    const auto ends = builder.EntryEnds();
    for (bool knows : {true, false}) {
        for (size_t cut = 0; cut < full.size(); ++cut) {
            MemorySource source(full, cut, knows);
            auto outcome = ReadAll(source);
            if (cut < 8) {
                EXPECT_FALSE(outcome.headerRead) << "cut " << cut;
                continue;
            }
            const size_t complete = size_t(
                std::count_if(ends.begin(), ends.end(), [&](size_t end) { return end <= cut; }));
            EXPECT_EQ(outcome.error, EntryError::ShortRead) << "cut " << cut;
            EXPECT_EQ(outcome.names.size(), complete) << "cut " << cut;
        }
    }
}

TEST(ArchiveFormat, RejectsMalformedEntries) {
    const std::string text = "some text of the entry";
    const Bytes block = ZlibCompress(text);
    Bytes withTrailer = block;
    withTrailer.insert(withTrailer.end(), {1, 2, 3, 4});
    Bytes corrupt = block;
    corrupt[corrupt.size() - 1] ^= 0xFF;  // the Adler-32 no longer matches

    // A stream that asks for a preset dictionary.
    const Bytes withDictionary = WithPresetDictionary(text, "dict");

    struct Case {
        const char* what;
        RawEntry entry;
        EntryError expected;
    };
    const uint32_t n = uint32_t(text.size());
    const std::vector<Case> cases = {
        {"valid", {u"f", n, block}, EntryError::None},
        {"bytes after the stream are skipped", {u"f", n, withTrailer}, EntryError::None},
        {"name length 0", {u"", n, block}, EntryError::EmptyName},
        {"decodes one byte short", {u"f", n + 1, block}, EntryError::SizeMismatch},
        {"decodes one byte long", {u"f", n - 1, block}, EntryError::SizeMismatch},
        {"decodes two bytes long", {u"f", n - 2, block}, EntryError::SizeMismatch},
        {"declared empty, decodes one byte",
         {u"f", 0, ZlibCompress("x")},
         EntryError::SizeMismatch},
        {"declared empty, decodes two bytes",
         {u"f", 0, ZlibCompress("xy")},
         EntryError::SizeMismatch},
        {"wrong checksum", {u"f", n, corrupt}, EntryError::DecodeFailed},
        {"gzip block", {u"f", n, Compress(text, Wrapper::Gzip)}, EntryError::DecodeFailed},
        {"raw deflate block", {u"f", n, Compress(text, Wrapper::Raw)}, EntryError::DecodeFailed},
        {"preset dictionary", {u"f", n, withDictionary}, EntryError::DecodeFailed},
        {"empty block", {u"f", 0, {}}, EntryError::DecodeFailed},
        {"size of 2^31", {u"f", 0x80000000u, block}, EntryError::NegativeSize},
        {"size of 2^32-1", {u"f", 0xFFFFFFFFu, block}, EntryError::NegativeSize},
        {"larger than any stream of the block",
         {u"f", 0x7FFFFFFFu, block},
         EntryError::ImpossibleSize},
        {"name longer than a path",
         {std::u16string(kMaxEntryNameLength + 1, u'x'), n, block},
         EntryError::NameTooLong},
    };
    for (const auto& c : cases) {
        ArchiveBuilder b;
        b.AddRaw(c.entry).Add(u"next", "after");
        auto outcome = ReadBytes(b.Build());
        EXPECT_EQ(outcome.error, c.expected) << c.what;
        if (c.expected == EntryError::None) {
            ASSERT_EQ(outcome.contents.size(), 2u) << c.what;
            EXPECT_EQ(outcome.contents[0], text) << c.what;
            EXPECT_EQ(outcome.contents[1], "after") << c.what;
        } else {
            EXPECT_TRUE(outcome.names.empty()) << c.what;
        }
    }
}

TEST(ArchiveFormat, HugeDeclaredBlockFailsWithoutAllocating) {
    // A compressed size of 2^31-1 over a few bytes of archive: the source knows it cannot hold it.
    ArchiveBuilder b;
    b.AddRaw({u"f", 10, {0x78, 0x9C}});
    Bytes bytes = b.Build();
    bytes[8 + 4 + 2 + 4 + 0] = 0xFF;
    bytes[8 + 4 + 2 + 4 + 1] = 0xFF;
    bytes[8 + 4 + 2 + 4 + 2] = 0xFF;
    bytes[8 + 4 + 2 + 4 + 3] = 0x7F;
    EXPECT_EQ(ReadBytes(bytes).error, EntryError::ShortRead);

    Bytes negative = bytes;
    negative[8 + 4 + 2 + 4 + 3] = 0x80;
    EXPECT_EQ(ReadBytes(negative).error, EntryError::NegativeSize);
}

TEST(ArchiveFormat, EmptyEntryAndDuplicateNames) {
    ArchiveBuilder b;
    b.Add(u"empty.txt", "").Add(u"libstdc++-6.dll", "first").Add(u"libstdc++-6.dll", "second");
    auto outcome = ReadBytes(b.Build());
    ASSERT_EQ(outcome.error, EntryError::None);
    ASSERT_EQ(outcome.contents.size(), 3u);
    EXPECT_EQ(outcome.contents[0], "");
    EXPECT_EQ(outcome.names[1], outcome.names[2]);
    EXPECT_EQ(outcome.contents[2], "second");
}

TEST(ArchiveFormat, DecoderReusesItsBuffersAcrossEntries) {
    ArchiveBuilder b;
    b.Add(u"big", std::string(100000, 'x'))
        .Add(u"small", "tiny")
        .Add(u"big2", std::string(50, 'y'));
    auto outcome = ReadBytes(b.Build());
    ASSERT_EQ(outcome.error, EntryError::None);
    EXPECT_EQ(outcome.contents[1], "tiny");
    EXPECT_EQ(outcome.contents[2], std::string(50, 'y'));
}

}  // namespace
