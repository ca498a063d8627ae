#include "res/images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tests/support/run_environment.h"
#include "tests/support/solid_image.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr LANGID kChinese = MAKELANGID(LANG_CHINESE, SUBLANG_NEUTRAL);
constexpr LANGID kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kNeutral = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);

// Images must be gone before GDI+ shuts down, so each test keeps its handles local.
class SkinImages : public testing::Test {
protected:
    static void SetUpTestSuite() {
        Gdiplus::GdiplusStartupInput input;
        ASSERT_EQ(Gdiplus::GdiplusStartup(&s_token, &input, nullptr), Gdiplus::Ok);
    }
    static void TearDownTestSuite() { Gdiplus::GdiplusShutdown(s_token); }

private:
    static ULONG_PTR s_token;
};
ULONG_PTR SkinImages::s_token = 0;

Bytes BytesOf(const ResourceBytes& r) {
    const auto* data = static_cast<const unsigned char*>(r.data);
    return data ? Bytes(data, data + r.size) : Bytes();
}

Bytes VariantBytes(unsigned id, LANGID language) {
    return BytesOf(FindResourceBytes(L"PNG", MAKEINTRESOURCEW(id), language));
}

UINT Width(const ImagePtr& image) {
    UINT width = 0;
    Gdiplus::DllExports::GdipGetImageWidth(NativeImage(image), &width);
    return width;
}
UINT Height(const ImagePtr& image) {
    UINT height = 0;
    Gdiplus::DllExports::GdipGetImageHeight(NativeImage(image), &height);
    return height;
}

// The picture's pixels as 32-bit ARGB, drawn at its own size.
std::vector<uint32_t> Pixels(const ImagePtr& image) {
    using namespace Gdiplus::DllExports;
    const UINT width = Width(image), height = Height(image);
    const ImagePtr canvas = testing_support::BlankImage(INT(width), INT(height));
    {
        CGpGraphics graphics;
        EXPECT_EQ(GdipGetImageGraphicsContext(NativeImage(canvas), graphics.Put()), Gdiplus::Ok);
        GdipSetCompositingMode(graphics, Gdiplus::CompositingModeSourceCopy);
        GdipSetInterpolationMode(graphics, Gdiplus::InterpolationModeNearestNeighbor);
        EXPECT_EQ(GdipDrawImageRectI(graphics, NativeImage(image), 0, 0, INT(width), INT(height)),
                  Gdiplus::Ok);
    }
    std::vector<uint32_t> pixels(size_t(width) * height);
    auto* bitmap = static_cast<Gdiplus::GpBitmap*>(NativeImage(canvas));
    const Gdiplus::Rect all(0, 0, INT(width), INT(height));
    Gdiplus::BitmapData data{};
    if (GdipBitmapLockBits(bitmap, &all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) !=
        Gdiplus::Ok) {
        ADD_FAILURE() << "cannot read the canvas";
        return {};
    }
    for (UINT y = 0; y < height; ++y) {
        memcpy(&pixels[size_t(y) * width], static_cast<const char*>(data.Scan0) + y * data.Stride,
               width * 4);
    }
    GdipBitmapUnlockBits(bitmap, &data);
    return pixels;
}

TEST_F(SkinImages, EveryPictureDecodesToItsPixelSize) {
    struct Case {
        unsigned id, width, height;
    };
    for (auto c :
         {Case{140, 1200, 472}, Case{135, 1200, 564}, Case{136, 1200, 564}, Case{137, 1200, 564},
          Case{164, 1200, 564}, Case{138, 1024, 1024}, Case{139, 40, 40}, Case{130, 60, 60},
          Case{150, 60, 60}, Case{149, 60, 60}, Case{147, 28, 28}, Case{132, 32, 32},
          Case{133, 32, 32}, Case{141, 32, 32}, Case{142, 32, 32}}) {
        const ImagePtr image = LoadPngResource(c.id);
        ASSERT_TRUE(image) << c.id;
        EXPECT_EQ(Width(image), c.width) << c.id;
        EXPECT_EQ(Height(image), c.height) << c.id;
    }
}

TEST_F(SkinImages, MissingResourcesGiveAnEmptyHandle) {
    // 131 is a string, 146 an icon group, 65676 would alias 140 if truncated to 16 bits.
    for (unsigned id : {131u, 146u, 0u, 1u, 65535u, 65536u + 140u}) {
        EXPECT_FALSE(LoadPngResource(id)) << id;
        EXPECT_EQ(FindPngResource(id).data, nullptr) << id;
    }
}

TEST_F(SkinImages, LoaderPicksTheVariantOfTheUiLanguage) {
    const bool chinese = testing_support::ExpectChineseUi();
    for (unsigned id : {IDP_WELCOME_BANNER, IDP_PROGRESS_BANNER_1, IDP_PROGRESS_BANNER_2,
                        IDP_PROGRESS_BANNER_3, IDP_COMMAND_LINE_BANNER}) {
        const Bytes wanted = VariantBytes(id, chinese ? kChinese : kEnglish);
        const Bytes other = VariantBytes(id, chinese ? kEnglish : kChinese);
        ASSERT_FALSE(wanted.empty()) << id;
        ASSERT_NE(wanted, other) << id << ": the two variants must differ for this test";
        EXPECT_EQ(BytesOf(FindPngResource(id)), wanted) << id;
    }
    // The logo is the same picture in Chinese and neutral, so every language finds it.
    const Bytes logo = BytesOf(FindPngResource(138));
    EXPECT_EQ(logo, VariantBytes(138, kChinese));
    EXPECT_EQ(logo, VariantBytes(138, kNeutral));
}

TEST_F(SkinImages, DecodedBannerIsTheUiLanguagesVariant) {
    const bool chinese = testing_support::ExpectChineseUi();
    const Bytes wanted = VariantBytes(140, chinese ? kChinese : kEnglish);
    const Bytes other = VariantBytes(140, chinese ? kEnglish : kChinese);
    const ImagePtr loaded = LoadPngResource(140);
    const ImagePtr expected = DecodePng(wanted.data(), wanted.size());
    const ImagePtr unexpected = DecodePng(other.data(), other.size());
    ASSERT_TRUE(loaded && expected && unexpected);
    const auto pixels = Pixels(loaded);
    EXPECT_TRUE(pixels == Pixels(expected));
    EXPECT_FALSE(pixels == Pixels(unexpected));
}

TEST_F(SkinImages, DecodesFromItsOwnCopyOfTheBytes) {
    const ResourceBytes resource = FindPngResource(133);
    Bytes buffer = BytesOf(resource);
    ASSERT_FALSE(buffer.empty());
    const ImagePtr image = DecodePng(buffer.data(), buffer.size());
    std::fill(buffer.begin(), buffer.end(), 0);
    buffer = Bytes();
    ASSERT_TRUE(image);
    const ImagePtr reference = DecodePng(resource.data, resource.size);
    EXPECT_TRUE(Pixels(image) == Pixels(reference));
}

TEST_F(SkinImages, UndecodableBytesGiveNoPicture) {
    const Bytes png = BytesOf(FindPngResource(133));
    ASSERT_GT(png.size(), 64u);
    const char text[] = "not a picture at all";
    struct Case {
        const void* data;
        size_t size;
        const char* what;
    };
    for (auto c : {Case{text, sizeof text, "text"}, Case{png.data(), 8, "signature only"},
                   Case{png.data() + 1, png.size() - 1, "shifted"}}) {
        EXPECT_FALSE(DecodePng(c.data, c.size)) << c.what;
    }
    EXPECT_FALSE(DecodePng(nullptr, 10));
    EXPECT_FALSE(DecodePng(png.data(), 0));
}

}  // namespace
