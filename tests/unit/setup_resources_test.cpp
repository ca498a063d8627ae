// Checks the resources of the built setup.exe itself, opened as a data file. The program's path
// comes as --setup=PATH (a path of the build machine, reached through Wine's Z: drive).
#include <windows.h>

#include <gtest/gtest.h>

#include "archive/archive_format.h"
#include "archive/archive_reader.h"
#include "res/strings.h"
#include "tests/support/archive_builder.h"
#include "tests/support/run_environment.h"
#include "tests/unit/expected_strings.h"

namespace {

class SetupResources : public ::testing::Test {
protected:
    void SetUp() override {
        const std::wstring path = testing_support::ArgumentValue(L"--setup=");
        ASSERT_FALSE(path.empty()) << "run with --setup=PATH";
        m_module = LoadLibraryExW(path.c_str(), nullptr,
                                  LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(m_module, nullptr) << "cannot open setup.exe";
    }
    void TearDown() override {
        if (m_module) FreeLibrary(m_module);
    }
    // The bytes of one resource in one language; empty when it is missing.
    std::vector<unsigned char> Resource(LPCWSTR type, LPCWSTR name, WORD language) const {
        HRSRC r = FindResourceExW(m_module, type, name, language);
        if (!r) return {};
        const auto* p = static_cast<const unsigned char*>(LockResource(LoadResource(m_module, r)));
        return std::vector<unsigned char>(p, p + SizeofResource(m_module, r));
    }
    HMODULE m_module = nullptr;
};

TEST_F(SetupResources, StringTableHoldsTheExactTextsInBothLanguages) {
    for (WORD language : {WORD(4), WORD(1033)}) {
        for (unsigned id = 96; id < 160; ++id) {
            const auto block =
                Resource(MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(StringBlock(id)), language);
            ASSERT_FALSE(block.empty()) << "block " << StringBlock(id) << " language " << language;
            const StringEntry entry = FindStringEntry(block.data(), block.size(), StringIndex(id));
            std::wstring text(entry.length, L'\0');
            if (entry.text) memcpy(&text[0], entry.text, entry.length * 2);
            const wchar_t* expected = L"";
            for (const auto& e : ExpectedStrings())
                if (e.id == id) expected = language == 4 ? e.chinese : e.english;
            EXPECT_EQ(text, expected) << "id " << id << " language " << language;
        }
    }
    EXPECT_TRUE(Resource(MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(11), 4).empty());
    EXPECT_TRUE(Resource(MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(6), 1033).empty());
}

TEST_F(SetupResources, PayloadIsACompleteArchiveEndingWithTheProduct) {
    const auto bytes = Resource(L"DAT", MAKEINTRESOURCEW(148), 2052);
    ASSERT_GT(bytes.size(), 8u);
    ASSERT_NE(FindResourceW(m_module, MAKEINTRESOURCEW(148), L"DAT"), nullptr);

    archive::ArchiveReader reader(bytes.data(), bytes.size());
    ASSERT_TRUE(reader.ReadHeader());
    const archive::Header& header = reader.GetHeader();
    EXPECT_EQ(header.format, 2) << "the shipped payload is packed in format 2";
    ASSERT_GT(header.entryCount, 0);
    std::vector<std::u16string> names;
    int64_t sum = 0;
    for (int32_t i = 0; i < header.entryCount; ++i) {
        archive::ReadEntry entry;
        ASSERT_EQ(reader.Next(entry), archive::EntryError::None) << i;
        sum += entry.size;
        names.push_back(entry.name);
    }
    EXPECT_EQ(reader.Finish(), archive::EntryError::None);
    EXPECT_EQ(sum, header.totalSize);
    EXPECT_EQ(names.back(), u"vivevadiz.exe");
    EXPECT_NE(std::find(names.begin(), names.end(), u"uninstall.exe"), names.end());
}

TEST_F(SetupResources, AcceleratorsAreAltCharacterEntriesToCommand104) {
    // Each entry: flags, key, command, padding (16-bit words); the last flags carry 0x80.
    const auto bytes = Resource(RT_ACCELERATOR, MAKEINTRESOURCEW(109), 2052);
    ASSERT_EQ(bytes.size(), 16u);
    auto word = [&](size_t i) { return unsigned(bytes[2 * i] | bytes[2 * i + 1] << 8); };
    const unsigned keys[] = {'?', '/'};
    for (size_t e = 0; e < 2; ++e) {
        const unsigned flags = word(4 * e);
        EXPECT_EQ(flags & FVIRTKEY, 0u) << "entry " << e << " must be a character entry";
        EXPECT_NE(flags & FALT, 0u) << e;
        EXPECT_EQ(flags & (FSHIFT | FCONTROL), 0u) << e;
        EXPECT_EQ(word(4 * e + 1), keys[e]);
        EXPECT_EQ(word(4 * e + 2), 104u);
    }
    EXPECT_NE(word(4) & 0x80, 0u);
}

TEST_F(SetupResources, ManifestAsksForAdministratorAndPerMonitorDpi) {
    const auto bytes = Resource(RT_MANIFEST, MAKEINTRESOURCEW(1), 0);
    const std::string manifest(bytes.begin(), bytes.end());
    EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
    EXPECT_NE(manifest.find(">True/PM</dpiAware>"), std::string::npos);
}

TEST_F(SetupResources, SkinPicturesInTheirLanguagesAndTheIcon) {
    struct Picture {
        unsigned id;
        std::vector<WORD> languages;
    };
    const std::vector<Picture> pictures = {
        {140, {4, 1033}}, {135, {4, 1033}}, {136, {4, 1033}}, {137, {4, 1033}}, {164, {4, 1033}},
        {138, {4, 1024}}, {139, {1024}},    {130, {1024}},    {150, {1024}},    {149, {1024}},
        {147, {1024}},    {132, {1024}},    {133, {1024}},    {141, {1024}},    {142, {1024}},
    };
    static const unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const auto& picture : pictures) {
        for (WORD language : picture.languages) {
            const auto bytes = Resource(L"PNG", MAKEINTRESOURCEW(picture.id), language);
            ASSERT_GT(bytes.size(), sizeof kPngSignature) << picture.id << "/" << language;
            EXPECT_EQ(memcmp(bytes.data(), kPngSignature, sizeof kPngSignature), 0) << picture.id;
        }
    }
    EXPECT_EQ(Resource(L"PNG", MAKEINTRESOURCEW(138), 4),
              Resource(L"PNG", MAKEINTRESOURCEW(138), 1024));

    // Icon group: three words of header, then 14-byte entries whose first byte is the width
    // (0 meaning 256).
    HRSRC group = FindResourceW(m_module, MAKEINTRESOURCEW(146), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const auto* p = static_cast<const unsigned char*>(LockResource(LoadResource(m_module, group)));
    const unsigned count = p[4] | p[5] << 8;
    ASSERT_EQ(count, 7u);
    std::vector<unsigned> sizes;
    for (unsigned i = 0; i < count; ++i) sizes.push_back(p[6 + 14 * i] ? p[6 + 14 * i] : 256);
    std::sort(sizes.begin(), sizes.end());
    EXPECT_EQ(sizes, (std::vector<unsigned>{16, 24, 32, 48, 64, 128, 256}));
}

}  // namespace
