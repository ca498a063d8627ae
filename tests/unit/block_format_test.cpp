#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "archive/archive_reader.h"
#include "archive/block_decode_ahead.h"
#include "archive/block_format.h"
#include "tests/support/ahead_bytes.h"
#include "tests/support/block_archive_builder.h"

using archive::Codec;
using archive::EntryError;
using namespace testing_support;

namespace {

// Where a read ended: after `names.size()` good entries, with `error` (None when every entry and
// the end checks passed). A refused header reads no entry.
struct Outcome {
    bool headerRead = false;
    std::vector<std::u16string> names;
    std::vector<std::string> contents;
    EntryError error = EntryError::None;
};

bool operator==(const Outcome& a, const Outcome& b) {
    return a.headerRead == b.headerRead && a.names == b.names && a.contents == b.contents &&
           a.error == b.error;
}

std::ostream& operator<<(std::ostream& out, const Outcome& o) {
    return out << "{header " << o.headerRead << ", " << o.names.size() << " entries, "
               << archive::Describe(o.error) << "}";
}

Outcome ReadSequentially(const Bytes& bytes) {
    Outcome outcome;
    archive::ArchiveReader reader(bytes.data(), bytes.size());
    outcome.headerRead = reader.ReadHeader();
    if (!outcome.headerRead) {
        outcome.error = reader.HeaderError();
        return outcome;
    }
    for (int32_t i = 0; i < reader.GetHeader().entryCount; ++i) {
        archive::ReadEntry entry;
        outcome.error = reader.Next(entry);
        if (outcome.error != EntryError::None) return outcome;
        outcome.names.push_back(entry.name);
        outcome.contents.emplace_back(reinterpret_cast<const char*>(entry.data),
                                      size_t(entry.size));
    }
    outcome.error = reader.Finish();
    return outcome;
}

bool IsEndCheck(EntryError error) {
    return error == EntryError::UnnamedContent || error == EntryError::EntryTableLength ||
           error == EntryError::TotalMismatch || error == EntryError::BlockOutside;
}

// As the installer's worker takes them from its pool: in order, until the first that is not good.
// The pool's last entry carries the checks of the whole, with its bytes, where the reader alone
// makes them after it; an unsafe name is one the pool hands over unsafe.
Outcome ReadThroughPool(const Bytes& bytes, unsigned threads) {
    Outcome outcome;
    archive::MemorySource source(bytes.data(), bytes.size());
    archive::Header header;
    outcome.headerRead = archive::ReadHeader(source, header);
    if (!outcome.headerRead) {
        outcome.error = EntryError::ShortRead;
        return outcome;
    }
    const std::atomic<bool> cancel{false};
    DecodeStats stats;
    const DecodeOptions options{threads, 4096, 0};
    {
        CBlockDecodeAhead ahead(source, header, options, cancel, stats);
        for (int32_t i = 0; i < header.entryCount; ++i) {
            const AheadEntry& entry = ahead.Next();
            outcome.error = entry.error;
            // The pool opens the directory itself: its faults arrive with the first entry.
            if (i == 0 && entry.error == EntryError::DirectoryDamaged) {
                outcome.headerRead = false;
                break;
            }
            if (outcome.error == EntryError::None && !entry.safe)
                outcome.error = EntryError::UnsafeName;
            const bool last = i + 1 == header.entryCount;
            // The checks of the whole fail an entry whose bytes were handed over.
            if (outcome.error != EntryError::None &&
                !(last && IsEndCheck(outcome.error) && entry.safe && entry.data))
                break;
            std::string content;
            const EntryError pieces = testing_support::JoinPieces(ahead, entry, content);
            if (pieces != EntryError::None) {
                outcome.error = pieces;
                break;
            }
            outcome.names.emplace_back(entry.name.begin(), entry.name.end());
            outcome.contents.push_back(content);
        }
    }
    EXPECT_LE(stats.peakHeld.load(), stats.budget.load())
        << "the bytes held stay within the budget";
    return outcome;
}

const std::string kReadme = "read me first: the product's notes, and more notes to compress\n";
const std::string kSolid = "first small file|second small file, a little longer|";
const std::string kCutA(3000, 'x');
const std::string kCutB = "the tail of the large file";
const std::string kLast = "MZ the product's program, compressed with deflate";

// Entries 0 and 1 share content 0 (zstd block 0); entries 2 and 3 are two contents of the solid
// stored block 1; entry 4 is a content cut into blocks 2 and 3; entries 5 and 6 share the empty
// content; entry 7 is the deflate block 4, the last.
BlockArchiveBuilder Base() {
    BlockArchiveBuilder b;
    b.AddBlock(Codec::Zstd, kReadme);
    b.AddBlock(Codec::Stored, kSolid);
    b.AddBlock(Codec::Zstd, kCutA);
    b.AddBlock(Codec::Deflate, kCutB);
    b.AddBlock(Codec::Deflate, kLast);
    b.AddWholeBlocks(0);
    b.AddContent(1, 1, 0, 17);
    b.AddContent(1, 1, 17, uint32_t(kSolid.size() - 17));
    b.AddWholeBlocks(2, 2);
    b.AddContent(0, 0, 0, 0);
    b.AddWholeBlocks(4);
    b.AddEntry(0, u"readme.txt")
        .AddEntry(0, u"docs\\README.TXT")
        .AddEntry(1, u"data\\one.dat")
        .AddEntry(2, u"data\\two.dat")
        .AddEntry(3, u"large.bin")
        .AddEntry(4, u"empty.log")
        .AddEntry(4, u"logs\\empty.log")
        .AddEntry(5, u"vivevadiz.exe");
    return b;
}
constexpr size_t kBaseEntries = 8;

// Enough blocks for a pool to run ahead: 40 solid blocks of three contents each, by turns stored,
// deflate and zstd, every content named twice.
constexpr uint32_t kManyBlocks = 40;
BlockArchiveBuilder ManyBlocks() {
    BlockArchiveBuilder b;
    for (uint32_t i = 0; i < kManyBlocks; ++i) {
        std::string text;
        for (int part = 0; part < 3; ++part)
            text += std::string(200 + 10 * part, char('a' + (i + part) % 26)) + std::to_string(i);
        b.AddBlock(Codec(i % 3), text);
        const uint32_t third = uint32_t(text.size() / 3);
        for (uint32_t part = 0; part < 3; ++part) {
            const uint32_t size = part < 2 ? third : uint32_t(text.size()) - 2 * third;
            const uint32_t content = b.AddContent(i, 1, part * third, size);
            const std::u16string name = u"data\\b" + std::u16string(1, char16_t(u'A' + i % 26)) +
                                        std::u16string(1, char16_t(u'a' + i / 26)) + u"\\f" +
                                        std::u16string(1, char16_t(u'0' + part));
            b.AddEntry(content, name + u".txt").AddEntry(content, name + u".bak");
        }
    }
    return b;
}
constexpr int kManyEntries = int(kManyBlocks) * 6;
// A content cut into more blocks than the pool decodes at once, by turns stored, zstd and
// deflate, named by three entries (each reads it again), then a solid block of two contents.
constexpr uint32_t kPieces = 6;
BlockArchiveBuilder ManyPieces() {
    BlockArchiveBuilder b;
    for (uint32_t i = 0; i < kPieces; ++i)
        b.AddBlock(Codec(i % 3), std::string(500 + 100 * i, char('k' + i)) + std::to_string(i));
    b.AddBlock(Codec::Zstd, kSolid);
    b.AddWholeBlocks(0, kPieces);
    b.AddContent(kPieces, 1, 0, 17);
    b.AddContent(kPieces, 1, 17, uint32_t(kSolid.size() - 17));
    b.AddEntry(0, u"big.bin").AddEntry(0, u"copy\\big.bin").AddEntry(0, u"copy\\big2.bin");
    b.AddEntry(1, u"one.txt").AddEntry(2, u"vivevadiz.exe");
    return b;
}
constexpr int kPieceEntries = 5;

// The content the first entry of each content is.
constexpr size_t kSolidEntry = 2, kCutEntry = 4, kEmptyEntry = 5, kLastEntry = 7;

struct Case {
    const char* what;
    BlockArchiveBuilder (*base)();
    std::function<void(BlockArchiveBuilder&)> damage;
    // After Build, for damage the directory's check is not resealed over.
    std::function<void(const BlockArchiveBuilder&, Bytes&)> afterBuild;
    // For a refused header, why the directory was (ShortRead when the header's words are).
    EntryError expected;
    // The good entries before the fault; -1: the header is refused.
    int failAt;
};

const std::vector<Case>& Cases() {
    using B = BlockArchiveBuilder&;
    const int header = -1, end = int(kBaseEntries);
    const int solid = int(kSolidEntry), cut = int(kCutEntry), last = int(kLastEntry);
    static const std::vector<Case> cases = {
        // The good ones.
        {"the base archive", Base, [](B) {}, nullptr, EntryError::None, end},
        {"bytes after the last block are ignored", Base,
         [](B b) {
             b.trailing = {1, 2, 3};
         },
         nullptr, EntryError::None, end},
        {"a zstd frame with its checksum", Base,
         [](B b) { b.blocks[0] = MakeBlock(Codec::Zstd, kReadme, ZstdBlock(kReadme, 3, true)); },
         nullptr, EntryError::None, end},
        {"the solid block compressed with deflate", Base,
         [](B b) { b.blocks[1] = CompressedBlock(Codec::Deflate, kSolid); }, nullptr,
         EntryError::None, end},
        {"the solid block compressed with zstd", Base,
         [](B b) { b.blocks[1] = CompressedBlock(Codec::Zstd, kSolid); }, nullptr, EntryError::None,
         end},
        {"an empty archive", Base,
         [](B b) {
             b.blocks.clear();
             b.contents.clear();
             b.entries.clear();
         },
         nullptr, EntryError::None, 0},
        {"only empty contents, no block", Base,
         [](B b) {
             b.blocks.clear();
             b.contents = {{0, 0, 0, 0}};
             b.entries = {{0, u"a", {}}, {0, u"b", {}}};
         },
         nullptr, EntryError::None, 2},

        // The header and the directory's check.
        {"a later format", Base, [](B b) { b.header.word = 0x80000003u; }, nullptr,
         EntryError::ShortRead, header},
        {"the directory's check one off", Base,
         [](B b) { b.header.check = b.BuiltHeader(b.Directory()).directoryCheck + 1; }, nullptr,
         EntryError::DirectoryDamaged, header},
        {"a content record damaged, check not resealed", Base, [](B) {},
         [](const BlockArchiveBuilder& b, Bytes& bytes) {
             bytes[b.EntryTableOffset() - 16 + 8] ^= 1;
         },
         EntryError::DirectoryDamaged, header},
        {"an entry's name damaged, check not resealed", Base, [](B) {},
         [](const BlockArchiveBuilder& b, Bytes& bytes) {
             bytes[b.EntryTableOffset() + 10] ^= 0x20;
         },
         EntryError::DirectoryDamaged, header},
        {"a directory larger than the archive", Base,
         [](B b) { b.header.directorySize = uint32_t(b.Build().size()); }, nullptr,
         EntryError::DirectoryDamaged, header},
        {"a directory smaller than its tables", Base,
         [](B b) { b.header.directorySize = 16 * (5 + 6) + 8 * 8 - 1; }, nullptr,
         EntryError::DirectoryDamaged, header},
        {"more contents than entries", Base, [](B b) { b.header.contentCount = 9; }, nullptr,
         EntryError::DirectoryDamaged, header},
        {"cut short inside the directory", Base, [](B) {},
         [](const BlockArchiveBuilder&, Bytes& bytes) {
             bytes.resize(archive::kFormat2HeaderSize + 100);
         },
         EntryError::DirectoryDamaged, header},

        // Blocks, met by the first entry whose content needs them.
        {"a stored block's stored size one short", Base, [](B b) { --b.blocks[1].storedSize; },
         nullptr, EntryError::BadBlock, solid},
        {"a stored block's decoded size one long", Base, [](B b) { ++b.blocks[1].decodedSize; },
         nullptr, EntryError::BadBlock, solid},
        {"a deflate block's stored size one short", Base, [](B b) { --b.blocks[3].storedSize; },
         nullptr, EntryError::DecodeFailed, cut},
        {"a deflate block's stored size one long", Base, [](B b) { ++b.blocks[4].storedSize; },
         nullptr, EntryError::BlockOutside, last},
        {"a deflate block's decoded size one long", Base,
         [](B b) {
             ++b.blocks[3].decodedSize;
             ++b.contents[3].size;
         },
         nullptr, EntryError::SizeMismatch, cut},
        {"a deflate block's decoded size one short", Base,
         [](B b) {
             --b.blocks[4].decodedSize;
             --b.contents[5].size;
         },
         nullptr, EntryError::SizeMismatch, last},
        {"a zstd block's stored size one short", Base, [](B b) { --b.blocks[2].storedSize; },
         nullptr, EntryError::DecodeFailed, cut},
        {"a zstd block's decoded size one long", Base,
         [](B b) {
             ++b.blocks[0].decodedSize;
             ++b.contents[0].size;
         },
         nullptr, EntryError::SizeMismatch, 0},
        {"a zstd frame without its content size", Base,
         [](B b) {
             b.blocks[2] = MakeBlock(Codec::Zstd, kCutA, ZstdBlock(kCutA, 3, false, false));
         },
         nullptr, EntryError::SizeMismatch, cut},
        {"a zstd frame's checksum damaged", Base,
         [](B b) {
             b.blocks[0] = MakeBlock(Codec::Zstd, kReadme, ZstdBlock(kReadme, 3, true));
             b.blocks[0].stored.back() ^= 1;
         },
         nullptr, EntryError::DecodeFailed, 0},
        {"a deflate stream given as zstd", Base,
         [](B b) { b.blocks[4].codec = uint8_t(Codec::Zstd); }, nullptr, EntryError::DecodeFailed,
         last},
        {"a block's check one off", Base, [](B b) { ++b.blocks[3].check; }, nullptr,
         EntryError::ChecksumMismatch, cut},
        {"a stored block's check one off", Base, [](B b) { ++b.blocks[1].check; }, nullptr,
         EntryError::ChecksumMismatch, solid},
        // The pool hands a cut content's blocks over as they come: the reason is the first block's.
        {"a cut content's first block failing its check, its second not decoding", Base,
         [](B b) {
             std::string large;
             for (int line = 0; large.size() < (4u << 20); ++line)
                 large += "line " + std::to_string(line) + " of a large file\n";
             b.blocks[2] = CompressedBlock(Codec::Zstd, large);
             ++b.blocks[2].check;
             b.blocks[3].codec = uint8_t(Codec::Zstd);
             b.contents[3].size = uint32_t(large.size() + kCutB.size());
         },
         nullptr, EntryError::ChecksumMismatch, cut},
        {"a codec number this reader does not know", Base, [](B b) { b.blocks[3].codec = 3; },
         nullptr, EntryError::UnknownCodec, cut},
        {"codec 255", Base, [](B b) { b.blocks[4].codec = 255; }, nullptr, EntryError::UnknownCodec,
         last},
        {"a reserved byte set", Base, [](B b) { b.blocks[1].reserved[2] = 1; }, nullptr,
         EntryError::BadBlock, solid},
        {"a decoded size of 0", Base, [](B b) { b.blocks[4].decodedSize = 0; }, nullptr,
         EntryError::BadBlock, last},
        {"a decoded size past 64 MiB", Base,
         [](B b) { b.blocks[2].decodedSize = archive::kMaxBlockSize + 1; }, nullptr,
         EntryError::BadBlock, cut},
        {"a deflate block claiming more than 1032 times its stored size", Base,
         [](B b) { b.blocks[4].decodedSize = 1032 * b.blocks[4].storedSize + 1025; }, nullptr,
         EntryError::BadBlock, last},
        {"a stored size of 0", Base, [](B b) { b.blocks[3].storedSize = 0; }, nullptr,
         EntryError::BadBlock, cut},
        {"the last block cut short", Base, [](B) {},
         [](const BlockArchiveBuilder&, Bytes& bytes) { bytes.pop_back(); },
         EntryError::BlockOutside, last},
        {"a byte flipped inside the solid block", Base, [](B) {},
         [](const BlockArchiveBuilder& b, Bytes& bytes) {
             bytes[b.BlockDataOffset(1) + 20] ^= 0x40;
         },
         EntryError::ChecksumMismatch, solid},

        // Contents, met by the first entry naming them.
        {"a content one byte past its block", Base, [](B b) { ++b.contents[2].size; }, nullptr,
         EntryError::ContentOutside, solid + 1},
        {"a content's offset into the next block", Base,
         [](B b) { b.contents[2].offset = uint32_t(kSolid.size()); }, nullptr,
         EntryError::ContentOutside, solid + 1},
        {"a content's first block past the table", Base, [](B b) { b.contents[1].firstBlock = 5; },
         nullptr, EntryError::ContentOutside, solid},
        {"a cut content reaching past the table", Base, [](B b) { b.contents[3].blockCount = 4; },
         nullptr, EntryError::ContentOutside, cut},
        {"a cut content's size one short", Base, [](B b) { --b.contents[3].size; }, nullptr,
         EntryError::ContentOutside, cut},
        {"a cut content with an offset", Base, [](B b) { b.contents[3].offset = 1; }, nullptr,
         EntryError::ContentOutside, cut},
        {"a content with a size and no block", Base, [](B b) { b.contents[5].blockCount = 0; },
         nullptr, EntryError::ContentOutside, last},
        {"an empty content naming a block", Base, [](B b) { b.contents[4].firstBlock = 4; },
         nullptr, EntryError::ContentOutside, int(kEmptyEntry)},
        {"a content of 2 GiB", Base,
         [](B b) {
             b.header.totalSize = b.SumOfNamedSizes();
             b.contents[5].size = 0x80000000u;
         },
         nullptr, EntryError::NegativeSize, last},
        {"a content going back a block", Base,
         [](B b) {
             b.contents[2] = {0, 1, 0, 5};
         },
         nullptr, EntryError::ContentOrder, solid + 1},
        {"a content sharing a block of a cut content", Base,
         [](B b) {
             b.contents[5] = {3, 1, 0, 4};
         },
         nullptr, EntryError::ContentOrder, last},

        // Entries.
        {"the first entry naming content 1", Base, [](B b) { b.entries[0].content = 1; }, nullptr,
         EntryError::BadReference, 0},
        {"an entry skipping a content", Base, [](B b) { b.entries[solid].content = 2; }, nullptr,
         EntryError::BadReference, solid},
        {"an entry naming a content already done", Base,
         [](B b) { b.entries[solid + 1].content = 0; }, nullptr, EntryError::BadReference,
         solid + 1},
        {"an entry naming a content past the table", Base, [](B b) { b.entries[last].content = 6; },
         nullptr, EntryError::BadReference, last},
        {"a name of length 0", Base, [](B b) { b.entries[3].name.clear(); }, nullptr,
         EntryError::EmptyName, 3},
        {"a name longer than a path", Base, [](B b) { b.entries[3].nameLength = 32768; }, nullptr,
         EntryError::NameTooLong, 3},
        {"a name past the entry table", Base,
         [](B b) { b.entries[last].nameLength = uint32_t(b.entries[last].name.size() + 1); },
         nullptr, EntryError::EntryTableLength, last},
        {"a name leading out of the folder", Base, [](B b) { b.entries[3].name = u"..\\evil.dll"; },
         nullptr, EntryError::UnsafeName, 3},
        {"an entry count past the table", Base, [](B b) { b.header.entryCount = 9; }, nullptr,
         EntryError::EntryTableLength, end},

        // Many blocks, read ahead by the pool.
        {"many blocks", ManyBlocks, [](B) {}, nullptr, EntryError::None, kManyEntries},
        {"a content in more pieces than the pool holds, named three times", ManyPieces, [](B) {},
         nullptr, EntryError::None, kPieceEntries},
        {"a content in pieces, its fifth block's check one off", ManyPieces,
         [](B b) { ++b.blocks[4].check; }, nullptr, EntryError::ChecksumMismatch, 0},
        {"a content in pieces, a stored block's check one off", ManyPieces,
         [](B b) { ++b.blocks[3].check; }, nullptr, EntryError::ChecksumMismatch, 0},
        {"many blocks, one near the end with its check one off", ManyBlocks,
         [](B b) { ++b.blocks[kManyBlocks - 3].check; }, nullptr, EntryError::ChecksumMismatch,
         kManyEntries - 18},
        {"many blocks, a byte flipped in the last", ManyBlocks, [](B) {},
         [](const BlockArchiveBuilder& b, Bytes& bytes) {
             bytes[b.BlockDataOffset(kManyBlocks - 1) + 1] ^= 0x40;
         },
         EntryError::ChecksumMismatch, kManyEntries - 6},
        {"many blocks, the last entry's name leading out", ManyBlocks,
         [](B b) { b.entries.back().name = u"\\\\server\\share\\x.dll"; }, nullptr,
         EntryError::UnsafeName, kManyEntries - 1},

        // The end checks, after the last entry.
        {"a content no entry names", Base,
         [](B b) { b.header.entryCount = uint32_t(kBaseEntries - 1); }, nullptr,
         EntryError::UnnamedContent, end - 1},
        {"an entry table longer than its entries", Base,
         [](B b) {
             b.entries.pop_back();
             b.contents.pop_back();
             b.blocks.pop_back();
             b.directoryTail = {0, 0};
         },
         nullptr, EntryError::EntryTableLength, end - 1},
        {"the total one more", Base, [](B b) { b.header.totalSize = b.SumOfNamedSizes() + 1; },
         nullptr, EntryError::TotalMismatch, end},
        {"an unused block past the end of the archive", Base,
         [](B b) {
             BlockSpec unused = StoredBlock("no content names this block");
             unused.stored.clear();
             b.AddBlock(unused);
         },
         nullptr, EntryError::BlockOutside, end},
        {"the total one less", Base, [](B b) { b.header.totalSize = b.SumOfNamedSizes() - 1; },
         nullptr, EntryError::TotalMismatch, end},
    };
    return cases;
}

// What each entry of the base archive holds, from the blocks it was built from.
Outcome Expected(const BlockArchiveBuilder& b, size_t entries) {
    Outcome outcome;
    outcome.headerRead = true;
    for (size_t i = 0; i < entries; ++i) {
        outcome.names.push_back(b.entries[i].name);
        outcome.contents.push_back(b.ContentBytes(b.entries[i].content));
    }
    return outcome;
}

TEST(BlockFormat, EachFaultFailsAtItsEntryAndEverythingBeforeReadsAsWithout) {
    for (const Case& c : Cases()) {
        SCOPED_TRACE(c.what);
        BlockArchiveBuilder builder = c.base();
        c.damage(builder);
        Bytes bytes = builder.Build();
        if (c.afterBuild) c.afterBuild(builder, bytes);

        Outcome expected;
        if (c.failAt >= 0) expected = Expected(builder, size_t(c.failAt));
        expected.error = c.expected;
        const Outcome sequential = ReadSequentially(bytes);
        EXPECT_EQ(sequential, expected);
        for (unsigned threads : {0u, 2u}) {
            SCOPED_TRACE(threads);
            EXPECT_EQ(ReadThroughPool(bytes, threads), sequential);
        }
    }
}

// On the writer's thread alone a buffer is reused for every decoded block, the largest's size,
// however many pieces and passes there are.
TEST(BlockFormat, OneThreadHoldsOneBufferOfTheLargestBlock) {
    const BlockArchiveBuilder builder = ManyPieces();
    const Bytes bytes = builder.Build();
    archive::MemorySource source(bytes.data(), bytes.size());
    archive::Header header;
    ASSERT_TRUE(archive::ReadHeader(source, header));
    const std::atomic<bool> cancel{false};
    DecodeStats stats;
    CBlockDecodeAhead ahead(source, header, DecodeOptions{0, 4096, 0}, cancel, stats);
    for (int i = 0; i < kPieceEntries; ++i) {
        const AheadEntry& entry = ahead.Next();
        std::string content;
        ASSERT_EQ(testing_support::JoinPieces(ahead, entry, content), EntryError::None);
    }
    uint32_t largest = 0;  // stored blocks are handed out in place
    for (const BlockSpec& block : builder.blocks)
        if (block.codec != uint8_t(Codec::Stored)) largest = std::max(largest, block.decodedSize);
    EXPECT_EQ(stats.peakHeld.load(), largest);
    EXPECT_EQ(stats.decoded.load(), int32_t(3 * kPieces + 1))
        << "each entry reads the pieces again";
}

TEST(BlockFormat, TheBaseArchiveHoldsWhatItWasBuiltFrom) {
    const BlockArchiveBuilder b = Base();
    const Outcome outcome = ReadSequentially(b.Build());
    ASSERT_EQ(outcome.contents.size(), kBaseEntries);
    EXPECT_EQ(outcome.contents[0], kReadme);
    EXPECT_EQ(outcome.contents[1], kReadme);
    EXPECT_EQ(outcome.contents[2] + outcome.contents[3], kSolid);
    EXPECT_EQ(outcome.contents[kCutEntry], kCutA + kCutB);
    EXPECT_EQ(outcome.contents[kEmptyEntry], "");
    EXPECT_EQ(outcome.contents[kLastEntry], kLast);
}

}  // namespace
