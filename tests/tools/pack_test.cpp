#include "tools/pack/packer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <fstream>
#include <random>
#include <sstream>

#include "archive/archive_format.h"
#include "archive/archive_reader.h"
#include "platform/utf8.h"
#include "tools/pack/block_compressor.h"
#include "tools/pack/block_plan.h"
#include "tools/pack/block_writer.h"
#include "tools/pack/entry_order.h"
#include "tests/support/archive_builder.h"

namespace fs = std::filesystem;
using testing_support::Bytes;
using testing_support::MemorySource;

namespace {

class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "pack-test-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
    }
    ~TempFolder() { fs::remove_all(m_path); }
    const fs::path& path() const { return m_path; }
    void Write(const std::string& relative, const std::string& data) const {
        const fs::path p = m_path / fs::u8path(relative);
        fs::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << data;
    }

private:
    fs::path m_path;
};

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = char(rng() & 0xFF);
    return s;
}

Bytes ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

TEST(Pack, RoundTripThroughTheInstallersReader) {
    TempFolder in, out;
    const std::map<std::u16string, std::string> files = {
        {u"vivevadiz.exe", "MZ main program"},
        {u"uninstall.exe", "MZ uninstaller"},
        {u"empty.cfg", ""},
        {u"中文\\子目录\\数据.txt", "汉字内容"},
        {u"dict\\pos_dict\\prob_emit.utf8", "B -3.14\n"},
        {u"plugins\\a\\b\\c\\deep.dll", std::string(4096, 'z')},
        {u"random.bin", RandomBytes(3 << 20, 7)},
    };
    const std::map<std::u16string, std::string> onDisk = {
        {u"vivevadiz.exe", "vivevadiz.exe"},
        {u"uninstall.exe", "uninstall.exe"},
        {u"empty.cfg", "empty.cfg"},
        {u"中文\\子目录\\数据.txt", "中文/子目录/数据.txt"},
        {u"dict\\pos_dict\\prob_emit.utf8", "dict/pos_dict/prob_emit.utf8"},
        {u"plugins\\a\\b\\c\\deep.dll", "plugins/a/b/c/deep.dll"},
        {u"random.bin", "random.bin"},
    };
    for (const auto& [name, data] : files) in.Write(onDisk.at(name), data);

    std::vector<pack::SourceFile> collected;
    ASSERT_FALSE(pack::CollectFiles(in.path(), "vivevadiz.exe", collected, {}, pack::Format::One));
    const fs::path archivePath = out.path() / "payload.dat";
    std::vector<uint64_t> progress;
    ASSERT_FALSE(pack::WriteArchive(collected, archivePath,
                                    [&](uint64_t done, uint64_t) { progress.push_back(done); }));
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_FALSE(fs::exists(out.path() / "payload.dat.partial"));

    const Bytes bytes = ReadFile(archivePath);
    MemorySource source(bytes);
    archive::Header header;
    ASSERT_TRUE(archive::ReadHeader(source, header));
    ASSERT_EQ(header.entryCount, int32_t(files.size()));
    uint64_t sum = 0;
    for (const auto& f : files) sum += f.second.size();
    EXPECT_EQ(uint64_t(header.totalSize), sum);

    archive::EntryDecoder decoder;
    std::vector<std::u16string> names;
    size_t at = 8;
    for (int32_t i = 0; i < header.entryCount; ++i) {
        std::u16string name;
        ASSERT_EQ(archive::ReadName(source, name), archive::EntryError::None);
        at += 4 + 2 * name.size() + 8;
        // The highest level: every block carries the 78 DA zlib header.
        EXPECT_EQ(bytes[at], 0x78);
        EXPECT_EQ(bytes[at + 1], 0xDA);
        ASSERT_EQ(decoder.ReadData(source), archive::EntryError::None);
        at += size_t(decoder.CompressedSize());
        const std::string data(reinterpret_cast<const char*>(decoder.Data()),
                               size_t(decoder.Size()));
        ASSERT_TRUE(files.count(name));
        EXPECT_EQ(data, files.at(name));
        names.push_back(name);
    }
    EXPECT_EQ(source.Remaining(), 0u);
    EXPECT_EQ(names.back(), u"vivevadiz.exe");
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end() - 1));

    // The same folder packs to the same bytes.
    ASSERT_FALSE(pack::WriteArchive(collected, out.path() / "again.dat", {}));
    EXPECT_EQ(ReadFile(out.path() / "again.dat"), bytes);

    std::ostringstream listing;
    ASSERT_FALSE(pack::ListArchive(archivePath, listing));
    EXPECT_NE(listing.str().find("中文\\子目录\\数据.txt"), std::string::npos);
    EXPECT_NE(listing.str().find("7 entries"), std::string::npos);
    EXPECT_EQ(listing.str().find("warning"), std::string::npos);

    // One entry read back out, named as the listing names it or with forward slashes.
    for (const char* name : {"中文\\子目录\\数据.txt", "中文/子目录/数据.txt", "random.bin"}) {
        const fs::path extracted = out.path() / "extracted";
        ASSERT_FALSE(pack::ExtractEntry(archivePath, name, extracted)) << name;
        const Bytes data = ReadFile(extracted);
        const auto& expected = files.at(name[0] == 'r' ? u"random.bin" : u"中文\\子目录\\数据.txt");
        EXPECT_EQ(std::string(data.begin(), data.end()), expected) << name;
    }
    const auto missing = pack::ExtractEntry(archivePath, "中文.txt", out.path() / "none");
    ASSERT_TRUE(missing);
    EXPECT_NE(missing.message.find("no such entry"), std::string::npos) << missing.message;
    EXPECT_FALSE(fs::exists(out.path() / "none"));
}

// Reads every entry of an archive in order: name and decoded bytes.
std::vector<std::pair<std::u16string, std::string>> ReadEntries(const fs::path& path) {
    const Bytes bytes = ReadFile(path);
    MemorySource source(bytes);
    archive::Header header;
    std::vector<std::pair<std::u16string, std::string>> entries;
    if (!archive::ReadHeader(source, header)) return entries;
    archive::EntryDecoder decoder;
    for (int32_t i = 0; i < header.entryCount; ++i) {
        std::u16string name;
        if (archive::ReadName(source, name) != archive::EntryError::None ||
            decoder.ReadData(source) != archive::EntryError::None)
            break;
        entries.emplace_back(name, std::string(reinterpret_cast<const char*>(decoder.Data()),
                                               size_t(decoder.Size())));
    }
    return entries;
}

TEST(Pack, ManifestListsEveryEntryIncludingItselfAndKeepsTheMainProgramLast) {
    TempFolder in, out;
    in.Write("vivevadiz.exe", "MZ main");
    in.Write("uninstall.exe", "MZ uninstaller");
    in.Write("dict/pos_dict/prob_start.utf8", "B -0.26\n");
    in.Write("translations/zh_CN.lang", "汉字");
    in.Write("中文.txt", "x");
    std::vector<pack::SourceFile> collected;
    ASSERT_FALSE(pack::CollectFiles(in.path(), "vivevadiz.exe", collected, "uninstall.lst",
                                    pack::Format::One));
    ASSERT_FALSE(pack::WriteArchive(collected, out.path() / "p.dat", {}));

    const auto entries = ReadEntries(out.path() / "p.dat");
    ASSERT_EQ(entries.size(), 6u);
    EXPECT_EQ(entries.back().first, u"vivevadiz.exe");
    const std::string expected =
        "dict\\pos_dict\\prob_start.utf8\r\ntranslations\\zh_CN.lang\r\nuninstall.exe\r\n"
        "uninstall.lst\r\n中文.txt\r\nvivevadiz.exe\r\n";
    std::string list;
    for (const auto& [name, data] : entries) {
        if (name == u"uninstall.lst") list = data;
    }
    EXPECT_EQ(list, expected);
    EXPECT_EQ(entries[3].first, u"uninstall.lst") << "sorted in with the files";

    // The header's total counts the list, so progress ends at exactly 100%.
    std::ostringstream listing;
    ASSERT_FALSE(pack::ListArchive(out.path() / "p.dat", listing));
    EXPECT_EQ(listing.str().find("warning"), std::string::npos) << listing.str();
}

TEST(Pack, RefusesAManifestNameThatCannotBeAnEntryOfItsOwn) {
    struct Case {
        const char* manifest;
        const char* last;
        const char* messagePart;
    };
    const std::vector<Case> cases = {
        {"data.txt", "", "already has that name"},
        {"DATA.TXT", "", "already has that name"},
        {"sub/list.txt", "", "at the top"},
        {"sub\\list.txt", "", "at the top"},
        {"list.txt.", "", "ends with a dot"},
        {"nul.lst", "", "reserved"},
        {"bad\xff.lst", "", "UTF-8"},
        {"main.exe", "main.exe", "same entry"},
    };
    for (const auto& c : cases) {
        TempFolder t;
        t.Write("data.txt", "x");
        t.Write("main.exe", "MZ");
        std::vector<pack::SourceFile> collected;
        const auto failure = pack::CollectFiles(t.path(), c.last, collected, c.manifest);
        ASSERT_TRUE(failure) << c.manifest;
        EXPECT_NE(failure.message.find(c.messagePart), std::string::npos)
            << c.manifest << ": " << failure.message;
    }
}

TEST(Pack, ListFailsAtTheFirstFault) {
    TempFolder in, out;
    in.Write("a.txt", "alpha");
    in.Write("b.txt", "bravo");
    std::vector<pack::SourceFile> collected;
    ASSERT_FALSE(pack::CollectFiles(in.path(), "", collected, {}, pack::Format::One));
    const fs::path archivePath = out.path() / "p.dat";
    ASSERT_FALSE(pack::WriteArchive(collected, archivePath, {}));
    fs::resize_file(archivePath, fs::file_size(archivePath) - 1);
    std::ostringstream listing;
    const auto failure = pack::ListArchive(archivePath, listing);
    ASSERT_TRUE(failure);
    EXPECT_NE(failure.message.find("entry 2 of 2"), std::string::npos) << failure.message;
    EXPECT_NE(listing.str().find("a.txt"), std::string::npos);
    // Extraction reads the whole archive too, so a damaged end fails it even for the first entry.
    EXPECT_TRUE(pack::ExtractEntry(archivePath, "a.txt", out.path() / "a.txt"));
    EXPECT_FALSE(fs::exists(out.path() / "a.txt"));

    fs::resize_file(archivePath, 5);
    const auto cut = pack::ListArchive(archivePath, listing);
    ASSERT_TRUE(cut);
    EXPECT_NE(cut.message.find("shorter than its 8-byte header"), std::string::npos);
    EXPECT_TRUE(pack::ListArchive(out.path() / "missing.dat", listing));

    // A negative entry count is a corrupt archive, as the installer sees it, not an empty one.
    {
        const Bytes bytes =
            testing_support::ArchiveBuilder().Add(u"a.txt", "alpha").Build(int64_t(0xFFFFFFFF));
        std::ofstream(archivePath, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        const auto negative = pack::ListArchive(archivePath, listing);
        ASSERT_TRUE(negative);
        EXPECT_NE(negative.message.find("negative number of entries"), std::string::npos)
            << negative.message;
    }

    // Names every installation would refuse, in an archive some other tool wrote.
    for (const std::u16string name :
         {u"CONIN$", u"CONOUT$.txt", u"com0", u"lpt0.log", u"sub\\LPT\u00B2", u"..\\up.txt"}) {
        testing_support::ArchiveBuilder builder;
        const Bytes bytes = builder.Add(u"a.txt", "alpha").Add(name, "x").Build();
        std::ofstream(archivePath, std::ios::binary | std::ios::trunc)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        const auto refused = pack::ListArchive(archivePath, listing);
        ASSERT_TRUE(refused) << Utf16ToUtf8(name);
        EXPECT_NE(refused.message.find("entry 2 of 2 (" + Utf16ToUtf8(name) + ")"),
                  std::string::npos)
            << refused.message;
    }
}

TEST(Pack, RefusesWhatTheArchiveOrWindowsCannotHold) {
    struct Case {
        const char* what;
        std::function<void(const TempFolder&)> make;
        std::string last;
        const char* messagePart;
    };
    const std::vector<Case> cases = {
        {"empty folder", [](const TempFolder&) {}, "", "holds no files"},
        {"only empty subfolders",
         [](const TempFolder& t) { fs::create_directories(t.path() / "a" / "b"); }, "",
         "holds no files"},
        {"colon", [](const TempFolder& t) { t.Write("a:b.txt", "x"); }, "", "forbids"},
        {"trailing dot", [](const TempFolder& t) { t.Write("dir./x", "x"); }, "",
         "ends with a dot"},
        {"device name", [](const TempFolder& t) { t.Write("sub/Con.txt", "x"); }, "", "reserved"},
        {"console input", [](const TempFolder& t) { t.Write("CONIN$", "x"); }, "", "reserved"},
        {"console output", [](const TempFolder& t) { t.Write("d/CONOUT$.txt", "x"); }, "",
         "reserved"},
        {"port 0", [](const TempFolder& t) { t.Write("com0", "x"); }, "", "reserved"},
        {"printer 0", [](const TempFolder& t) { t.Write("lpt0.log", "x"); }, "", "reserved"},
        {"superscript port", [](const TempFolder& t) { t.Write("COM\u00B9.txt", "x"); }, "",
         "reserved"},
        {"backslash in a name", [](const TempFolder& t) { t.Write("a\\b", "x"); }, "", "backslash"},
        {"invalid UTF-8", [](const TempFolder& t) { t.Write("bad\xff.txt", "x"); }, "", "UTF-8"},
        {"case collision",
         [](const TempFolder& t) {
             t.Write("Readme.txt", "1");
             t.Write("README.txt", "2");
         },
         "", "letter case"},
        {"case collision beyond ASCII",
         [](const TempFolder& t) {
             t.Write("d/\u00C9t\u00E9.txt", "1");
             t.Write("d/\u00E9T\u00C9.txt", "2");
         },
         "", "letter case"},
        {"Cyrillic case collision",
         [](const TempFolder& t) {
             t.Write("\u0444\u0430\u0439\u043B", "1");
             t.Write("\u0424\u0410\u0419\u041B", "2");
         },
         "", "letter case"},
        {"missing last", [](const TempFolder& t) { t.Write("a.txt", "x"); }, "main.exe",
         "no such file"},
        {"dangling link",
         [](const TempFolder& t) {
             t.Write("a.txt", "x");
             fs::create_symlink(t.path() / "gone", t.path() / "link");
         },
         "", "neither a file nor a folder"},
        {"fifo", [](const TempFolder& t) { mkfifo((t.path() / "pipe").c_str(), 0600); }, "",
         "neither a file nor a folder"},
        {"file of 2 GiB",
         [](const TempFolder& t) {
             t.Write("huge.bin", "");
             fs::resize_file(t.path() / "huge.bin", uint64_t(1) << 31);
         },
         "", "2 GiB"},
        {"total of 2 GiB",
         [](const TempFolder& t) {
             for (const char* n : {"h1.bin", "h2.bin"}) {
                 t.Write(n, "");
                 fs::resize_file(t.path() / n, (uint64_t(1) << 30) + 1);
             }
         },
         "", "add up to"},
    };
    for (const auto& c : cases) {
        TempFolder t;
        c.make(t);
        std::vector<pack::SourceFile> collected;
        const auto failure = pack::CollectFiles(t.path(), c.last, collected);
        ASSERT_TRUE(failure) << c.what;
        EXPECT_NE(failure.message.find(c.messagePart), std::string::npos)
            << c.what << ": " << failure.message;
    }
}

}  // namespace

namespace {

TEST(PackOrder, GroupsByTypeWithNamesWithoutOneFirst) {
    std::vector<std::u16string> names = {u"b.dll",    u"a.TXT",       u"README", u"sub\\c.Dll",
                                         u"a.dll",    u"dir.x\\make", u"z.txt",  u".profile",
                                         u"中文.txt", u"lib\\x.DLL",  u"a.b.exe"};
    std::sort(names.begin(), names.end(), pack::TypeOrderLess);
    const std::vector<std::u16string> expected = {
        u"README",  u"dir.x\\make", u"a.dll", u"b.dll", u"lib\\x.DLL", u"sub\\c.Dll",
        u"a.b.exe", u".profile",    u"a.TXT", u"z.txt", u"中文.txt"};
    EXPECT_EQ(names, expected);
}

TEST(PackOrder, IdenticalFilesFollowTheFirstAndThePinnedLastStaysLast) {
    struct Case {
        const char* what;
        std::vector<std::string> bytes;  // files in collected order; "#" never shares
        bool lastPinned;
        std::vector<size_t> order;
        std::vector<size_t> first;
    };
    const std::vector<Case> cases = {
        {"all different", {"a", "b", "c"}, true, {0, 1, 2}, {0, 1, 2}},
        {"a later copy moves up", {"a", "b", "a", "c"}, false, {0, 2, 1, 3}, {0, 1, 0, 3}},
        {"three copies", {"x", "y", "x", "x"}, false, {0, 2, 3, 1}, {0, 1, 0, 0}},
        {"the last's group goes to the end", {"m", "b", "m"}, true, {1, 0, 2}, {0, 1, 0}},
        {"unpinned, the last moves up", {"m", "b", "m"}, false, {0, 2, 1}, {0, 1, 0}},
        {"same key, other bytes", {"ab", "ba", "ab"}, false, {0, 2, 1}, {0, 1, 0}},
        {"empty files share", {"", "q", ""}, false, {0, 2, 1}, {0, 1, 0}},
        {"made entries share nothing", {"#", "#", "a"}, true, {0, 1, 2}, {0, 1, 2}},
    };
    for (const auto& c : cases) {
        std::vector<std::optional<pack::ContentKey>> keys;
        // Every key collides on size alone, so only the byte comparison tells files apart.
        for (const auto& b : c.bytes)
            keys.push_back(b == "#" ? std::nullopt
                                    : std::optional<pack::ContentKey>({b.size(), 0}));
        const auto first = pack::FirstIdentical(
            keys, [&](size_t a, size_t b) { return c.bytes[a] == c.bytes[b]; });
        EXPECT_EQ(first, c.first) << c.what;
        EXPECT_EQ(pack::RepeatOrder(first, c.lastPinned), c.order) << c.what;
    }
}

TEST(PackPlan, SmallContentsShareBlocksAndLargeOnesAreCut) {
    struct Case {
        const char* what;
        std::vector<uint32_t> sizes;
        uint32_t blockSize;
        std::vector<uint32_t> blockSizes;
        std::vector<std::array<uint32_t, 4>> contents;  // first block, count, offset, size
    };
    const std::vector<Case> cases = {
        {"solid", {3, 4, 2}, 10, {9}, {{0, 1, 0, 3}, {0, 1, 3, 4}, {0, 1, 7, 2}}},
        {"never cut across two", {6, 5}, 10, {6, 5}, {{0, 1, 0, 6}, {1, 1, 0, 5}}},
        {"fills exactly", {6, 4, 1}, 10, {10, 1}, {{0, 1, 0, 6}, {0, 1, 6, 4}, {1, 1, 0, 1}}},
        {"empty takes no block", {0, 2, 0}, 10, {2}, {{0, 0, 0, 0}, {0, 1, 0, 2}, {0, 0, 0, 0}}},
        {"exactly a block", {10, 1}, 10, {10, 1}, {{0, 1, 0, 10}, {1, 1, 0, 1}}},
        {"cut, and its last block its own",
         {2, 25, 1},
         10,
         {2, 10, 10, 5, 1},
         {{0, 1, 0, 2}, {1, 3, 0, 25}, {4, 1, 0, 1}}},
        {"two full blocks", {20}, 10, {10, 10}, {{0, 2, 0, 20}}},
        {"nothing", {}, 10, {}, {}},
    };
    for (const auto& c : cases) {
        const pack::BlockPlan plan = pack::PlanBlocks(c.sizes, c.blockSize);
        std::vector<uint32_t> blockSizes;
        for (const auto& block : plan.blocks) {
            blockSizes.push_back(block.decodedSize);
            uint32_t sum = 0;
            for (const auto& piece : block.pieces) sum += piece.size;
            EXPECT_EQ(sum, block.decodedSize) << c.what;
        }
        EXPECT_EQ(blockSizes, c.blockSizes) << c.what;
        std::vector<std::array<uint32_t, 4>> contents;
        for (const auto& r : plan.contents)
            contents.push_back({r.firstBlock, r.blockCount, r.offset, r.size});
        EXPECT_EQ(contents, c.contents) << c.what;
    }
}

TEST(PackCodec, KeepsTheSmallestUnlessAFasterOneIsWithinOnePercent) {
    using archive::Codec;
    struct Case {
        uint32_t decoded;
        size_t deflate, zstd;
        Codec expected;
    };
    const std::vector<Case> cases = {
        {6400, 3000, 2000, Codec::Zstd},
        {6400, 2000, 3000, Codec::Deflate},
        {6400, 2020, 2000, Codec::Deflate},  // within 1 %
        {6400, 2021, 2000, Codec::Zstd},     // beyond it
        {6400, 6301, 6301, Codec::Stored},   // saves less than 1/64
        {6400, 6300, 0, Codec::Deflate},     // saves exactly 1/64
        {6400, 0, 0, Codec::Stored},         // neither fitted
        {6400, 0, 6300, Codec::Zstd},
        {6400, 7000, 7000, Codec::Stored},
        {1, 0, 0, Codec::Stored},
        {100000, 10, 500, Codec::Zstd},  // deflate cannot decode 10 bytes to 100,000
    };
    for (const auto& c : cases)
        EXPECT_EQ(pack::ChooseCodec(c.decoded, c.deflate, c.zstd), c.expected)
            << c.decoded << " " << c.deflate << " " << c.zstd;
    EXPECT_EQ(pack::ZstdWindowLog(1), 10);
    EXPECT_EQ(pack::ZstdWindowLog((1u << 20) + 1), 21);
    EXPECT_EQ(pack::ZstdWindowLog(64u << 20), 26);
}

}  // namespace

namespace {

std::string TextBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    const char* words[] = {"device ", "backup ", "record\r\n", "photo ", "0x0000 ", "汉字 "};
    std::string s;
    while (s.size() < n) s += words[rng() % 6];
    s.resize(n);
    return s;
}

struct PackedTree {
    std::map<std::string, std::string> files;  // as on disk, '/'-separated
};

PackedTree RoundTripTree() {
    const std::string shared = TextBytes(5000, 3);
    const std::string program = RandomBytes(300000, 4) + TextBytes(300000, 5);
    return {{
        {"vivevadiz.exe", program},
        {"uninstall.exe", program},                  // the same bytes as the pinned last entry
        {"big.bin", TextBytes((5u << 19) + 17, 6)},  // cut into blocks, a last shorter one
        {"exact.dat", TextBytes(1u << 20, 7)},       // exactly one block
        {"noise.raw", RandomBytes((1u << 20) + 10, 8)},
        {"empty.cfg", ""},
        {"sub/empty.cfg", ""},
        {"a.dll", shared},
        {"copy/a.dll", shared},
        {"中文/数据.dll", shared},
        {"中文/子目录/数据.txt", "汉字内容"},
        {"README", "no type"},
    }};
}

std::u16string ArchiveNameOf(const std::string& onDisk) {
    std::u16string name = *Utf8ToUtf16(onDisk);
    std::replace(name.begin(), name.end(), u'/', u'\\');
    return name;
}

TEST(Pack, BothFormatsRoundTripThroughTheSharedReader) {
    const PackedTree tree = RoundTripTree();
    TempFolder in, out;
    for (const auto& [name, data] : tree.files) in.Write(name, data);

    for (const pack::Format format : {pack::Format::One, pack::Format::Two}) {
        SCOPED_TRACE(int(format));
        std::vector<pack::SourceFile> collected;
        ASSERT_FALSE(
            pack::CollectFiles(in.path(), "vivevadiz.exe", collected, "uninstall.lst", format));
        const fs::path archivePath = out.path() / "p.dat";
        pack::BlockOptions options;
        options.blockSize = 1u << 20;
        options.levels = pack::kFastLevels;
        options.threads = 1;
        std::vector<uint64_t> progress;
        const pack::Progress record = [&](uint64_t done, uint64_t) { progress.push_back(done); };
        ASSERT_FALSE(format == pack::Format::One
                         ? pack::WriteArchive(collected, archivePath, record)
                         : pack::WriteBlockArchive(collected, archivePath, options, record));
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_FALSE(fs::exists(out.path() / "p.dat.partial"));
        const Bytes bytes = ReadFile(archivePath);

        if (format == pack::Format::Two) {
            // Blocks are compressed apart, so the thread count changes nothing in the output.
            options.threads = 3;
            ASSERT_FALSE(pack::WriteBlockArchive(collected, out.path() / "again.dat", options, {}));
            EXPECT_EQ(ReadFile(out.path() / "again.dat"), bytes);
        }

        archive::ArchiveReader reader(bytes.data(), bytes.size());
        ASSERT_TRUE(reader.ReadHeader());
        EXPECT_EQ(reader.GetHeader().format, int(format));
        std::vector<std::u16string> names;
        std::map<std::u16string, uint32_t> contentOf;
        std::string manifest;
        uint64_t total = 0;
        for (int32_t i = 0; i < reader.GetHeader().entryCount; ++i) {
            archive::ReadEntry entry;
            ASSERT_EQ(reader.Next(entry), archive::EntryError::None) << i;
            names.push_back(entry.name);
            contentOf[entry.name] = entry.content;
            const std::string data(reinterpret_cast<const char*>(entry.data), size_t(entry.size));
            total += data.size();
            if (entry.name == u"uninstall.lst") {
                manifest = data;
                continue;
            }
            const auto source = std::find_if(tree.files.begin(), tree.files.end(), [&](auto& f) {
                return ArchiveNameOf(f.first) == entry.name;
            });
            ASSERT_NE(source, tree.files.end()) << Utf16ToUtf8(entry.name);
            EXPECT_EQ(data, source->second) << Utf16ToUtf8(entry.name);
        }
        ASSERT_EQ(reader.Finish(), archive::EntryError::None);
        EXPECT_EQ(reader.TrailingBytes(), 0u);
        EXPECT_EQ(uint64_t(reader.GetHeader().totalSize), total);
        ASSERT_EQ(names.size(), tree.files.size() + 1);
        EXPECT_EQ(names.back(), u"vivevadiz.exe");
        std::string expectedManifest;
        for (const auto& name : names) expectedManifest += Utf16ToUtf8(name) + "\r\n";
        EXPECT_EQ(manifest, expectedManifest);

        if (format == pack::Format::Two) {
            const std::vector<std::u16string> order = {u"README",
                                                       u"big.bin",
                                                       u"empty.cfg",
                                                       u"sub\\empty.cfg",
                                                       u"exact.dat",
                                                       u"a.dll",
                                                       u"copy\\a.dll",
                                                       u"中文\\数据.dll",
                                                       u"uninstall.lst",
                                                       u"noise.raw",
                                                       u"中文\\子目录\\数据.txt",
                                                       u"uninstall.exe",
                                                       u"vivevadiz.exe"};
            EXPECT_EQ(names, order);
            EXPECT_EQ(contentOf[u"copy\\a.dll"], contentOf[u"a.dll"]);
            EXPECT_EQ(contentOf[u"sub\\empty.cfg"], contentOf[u"empty.cfg"]);
            EXPECT_EQ(contentOf[u"vivevadiz.exe"], contentOf[u"uninstall.exe"]);
            EXPECT_EQ(reader.GetHeader().contentCount, 9u);

            // The random file's blocks come out stored; the text is compressed.
            archive::BlockDirectory directory;
            ASSERT_EQ(directory.Open(reader.GetHeader(), bytes.data() + 28, bytes.size() - 28),
                      archive::EntryError::None);
            auto codecsOf = [&](const std::u16string& name) {
                const archive::ContentRecord c = directory.RawContent(contentOf[name]);
                std::vector<archive::Codec> codecs;
                for (uint32_t b = c.firstBlock; b < c.firstBlock + c.blockCount; ++b) {
                    archive::BlockRecord block;
                    EXPECT_EQ(directory.Block(b, block), archive::EntryError::None);
                    codecs.push_back(block.codec);
                }
                return codecs;
            };
            using archive::Codec;
            EXPECT_EQ(codecsOf(u"noise.raw"), std::vector<Codec>(2, Codec::Stored));
            EXPECT_EQ(codecsOf(u"big.bin").size(), 3u);
            EXPECT_EQ(codecsOf(u"exact.dat").size(), 1u);
            for (const auto& name : {u"big.bin", u"exact.dat"})
                for (const Codec codec : codecsOf(name)) EXPECT_NE(codec, Codec::Stored);
        }

        std::ostringstream listing;
        ASSERT_FALSE(pack::ListArchive(archivePath, listing));
        EXPECT_NE(listing.str().find("format " + std::to_string(int(format)) + ": 13 entries"),
                  std::string::npos)
            << listing.str();
        EXPECT_EQ(listing.str().find("warning"), std::string::npos) << listing.str();
        if (format == pack::Format::Two) {
            EXPECT_NE(listing.str().find("copy\\a.dll = a.dll\n"), std::string::npos);
            EXPECT_NE(listing.str().find("vivevadiz.exe = uninstall.exe\n"), std::string::npos);
            EXPECT_NE(listing.str().find("9 distinct contents"), std::string::npos);
        }

        // Every file read back out, named with forward slashes as on disk.
        for (const auto& [name, data] : tree.files) {
            const fs::path extracted = out.path() / "extracted";
            ASSERT_FALSE(pack::ExtractEntry(archivePath, name, extracted)) << name;
            const Bytes back = ReadFile(extracted);
            EXPECT_EQ(std::string(back.begin(), back.end()), data) << name;
        }
    }
}

}  // namespace

namespace {

TEST(Pack, AFileThatChangedAfterItWasCollectedLeavesNoArchive) {
    struct Case {
        const char* what;
        std::string replacement;
    };
    const std::vector<Case> cases = {
        {"same size, other bytes", std::string(3000, 'y')},
        {"grown", std::string(3001, 'x')},
        {"shrunk", std::string(2999, 'x')},
    };
    for (const auto& c : cases) {
        TempFolder in, out;
        in.Write("a.txt", std::string(3000, 'x'));
        in.Write("b.txt", "bravo");
        std::vector<pack::SourceFile> collected;
        ASSERT_FALSE(pack::CollectFiles(in.path(), "", collected));
        in.Write("a.txt", c.replacement);
        const fs::path archivePath = out.path() / "p.dat";
        const auto failure = pack::WriteBlockArchive(collected, archivePath, {}, {});
        ASSERT_TRUE(failure) << c.what;
        EXPECT_NE(failure.message.find("changed while packing"), std::string::npos)
            << c.what << ": " << failure.message;
        EXPECT_FALSE(fs::exists(archivePath)) << c.what;
        EXPECT_FALSE(fs::exists(out.path() / "p.dat.partial")) << c.what;
    }
}

}  // namespace
