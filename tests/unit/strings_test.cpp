#include "res/strings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>

#include "res/product_identity.h"

#include "tests/unit/expected_strings.h"
#include "tests/support/run_environment.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A block of 16 entries as the resource compiler lays it out.
Bytes MakeBlock(const std::vector<std::u16string>& entries) {
    Bytes out;
    for (size_t i = 0; i < 16; ++i) {
        const std::u16string text = i < entries.size() ? entries[i] : u"";
        out.push_back(static_cast<unsigned char>(text.size() & 0xFF));
        out.push_back(static_cast<unsigned char>(text.size() >> 8));
        for (char16_t c : text) {
            out.push_back(static_cast<unsigned char>(c & 0xFF));
            out.push_back(static_cast<unsigned char>(c >> 8));
        }
    }
    return out;
}

std::u16string Text(const StringEntry& e) {
    std::u16string s(e.length, u'\0');
    memcpy(&s[0], e.text, e.length * 2);
    return s;
}

TEST(StringTable, IdsMapToBlockAndIndex) {
    struct Case {
        unsigned id, block, index;
    };
    for (auto c : {Case{103, 7, 7}, Case{112, 8, 0}, Case{136, 9, 8}, Case{96, 7, 0},
                   Case{143, 9, 15}, Case{200, 13, 8}}) {
        EXPECT_EQ(StringBlock(c.id), c.block) << c.id;
        EXPECT_EQ(StringIndex(c.id), c.index) << c.id;
    }
}

TEST(StringTable, WalksSyntheticBlocks) {
    const Bytes block = MakeBlock({u"", u"one", u"", u"three", u"四"});
    EXPECT_EQ(Text(FindStringEntry(block.data(), block.size(), 1)), u"one");
    EXPECT_EQ(Text(FindStringEntry(block.data(), block.size(), 3)), u"three");
    EXPECT_EQ(Text(FindStringEntry(block.data(), block.size(), 4)), u"四");
    EXPECT_EQ(FindStringEntry(block.data(), block.size(), 0).text, nullptr) << "empty entry";
    EXPECT_EQ(FindStringEntry(block.data(), block.size(), 15).text, nullptr) << "empty entry";
}

TEST(StringTable, TruncatedBlocksNeverReadPastTheirData) {
    const Bytes block = MakeBlock({u"zero", u"one", u"two"});
    // Entry 2's length word sits at byte 18 and its text ends at byte 26.
    struct Case {
        size_t size;
        unsigned index;
        bool found;
    };
    for (auto c :
         {Case{block.size(), 2, true}, Case{26, 2, true}, Case{25, 2, false}, Case{24, 2, false},
          Case{20, 2, false}, Case{19, 2, false}, Case{18, 2, false}, Case{0, 0, false},
          Case{1, 0, false}, Case{9, 0, false}, Case{10, 0, true}, Case{26, 3, false}}) {
        // A copy of exactly `size` bytes, so a read beyond it would be outside the allocation.
        std::unique_ptr<unsigned char[]> copy(new unsigned char[c.size ? c.size : 1]);
        memcpy(copy.get(), block.data(), c.size);
        const auto entry = FindStringEntry(copy.get(), c.size, c.index);
        EXPECT_EQ(entry.text != nullptr, c.found) << "size " << c.size << " index " << c.index;
    }
    // A length word that claims more than the block holds.
    Bytes lying = {0xFF, 0x7F, 'a', 0};
    EXPECT_EQ(FindStringEntry(lying.data(), lying.size(), 0).text, nullptr);
    // Stepping over a huge length must stop at the end, not wrap around.
    EXPECT_EQ(FindStringEntry(lying.data(), lying.size(), 5).text, nullptr);
}

TEST(StringTable, LoadsEveryTextInTheThreadsUiLanguage) {
    const bool chinese = testing_support::ExpectChineseUi();
    if (const char* expected = std::getenv("EXPECTED_UI_LANGUAGE"); expected && *expected) {
        ASSERT_EQ(PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_CHINESE, chinese)
            << "the test environment did not set the UI language";
    }
    for (const auto& e : ExpectedStrings()) {
        EXPECT_EQ(LoadLocalizedString(StringId(e.id)), chinese ? e.chinese : e.english) << e.id;
        std::wstring target;
        EXPECT_TRUE(LoadLocalizedString(target, StringId(e.id))) << e.id;
    }
    EXPECT_EQ(LoadLocalizedString(IDS_INSTALL), chinese ? L"安装" : L"INSTALL");
}

TEST(StringTable, ProductIdentityTakesEachValueFromItsOwnEntry) {
    const bool chinese = testing_support::ExpectChineseUi();
    std::map<unsigned, std::wstring> text;
    for (const auto& e : ExpectedStrings()) text[e.id] = chinese ? e.chinese : e.english;
    const ProductIdentity product = ReadProductIdentity();
    EXPECT_EQ(product.uninstallKey, text[109]);
    EXPECT_EQ(product.defaultFolder, text[119]);
    EXPECT_EQ(product.shortcutName, text[121]);
    EXPECT_EQ(product.startMenuFolder, text[122]);
    EXPECT_EQ(product.displayName, text[123]);
    EXPECT_EQ(product.version, text[124]);
    EXPECT_EQ(product.publisher, text[125]);
    EXPECT_EQ(product.processName, text[126]);
    EXPECT_EQ(product.exeName, text[127]);
    EXPECT_EQ(product.licenceUrl, text[128]);
    // "#FFD521" and friends as COLORREF: red in the low byte.
    EXPECT_EQ(product.colors.progress, RGB(0xFF, 0xD5, 0x21));
    EXPECT_EQ(product.colors.button, RGB(0xFF, 0xD5, 0x21));
    EXPECT_EQ(product.colors.buttonHover, RGB(0xFF, 0xE2, 0x65));
    EXPECT_EQ(product.colors.buttonPressed, RGB(0xF7, 0xC9, 0x00));
    EXPECT_EQ(product.colors.buttonText, RGB(0, 0, 0));
    EXPECT_EQ(product.colors.titleDone, RGB(0x2B, 0x34, 0x40));
}

TEST(StringTable, EmptyAndMissingEntriesLeaveTheTargetAlone) {
    EXPECT_EQ(LoadLocalizedString(IDS_UNUSED_130), L"D5");
    EXPECT_EQ(LoadLocalizedString(IDS_UNUSED_131), L"21");
    for (unsigned id : {96u, 102u, 137u, 140u, 143u, 200u, 0u, 65535u}) {
        std::wstring target = L"unchanged";
        EXPECT_FALSE(LoadLocalizedString(target, StringId(id))) << id;
        EXPECT_EQ(target, L"unchanged") << id;
        EXPECT_EQ(LoadLocalizedString(StringId(id)), L"") << id;
    }
}

}  // namespace
