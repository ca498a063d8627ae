#include "windowing/gdi_handles.h"
#include "windowing/gdiplus_handles.h"

#include <string>

#include <gtest/gtest.h>

#include <memory>
#include <utility>

namespace {

TEST(GdiHandles, SelectGuardRestoresThePreviousObject) {
    CMemoryDC dc(::CreateCompatibleDC(nullptr));
    ASSERT_NE(static_cast<HDC>(dc), nullptr);
    const HGDIOBJ original = ::GetCurrentObject(dc, OBJ_BITMAP);
    CBitmap bitmap(::CreateBitmap(4, 4, 1, 32, nullptr));
    {
        CSelectGuard selected(dc, bitmap);
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), bitmap.Get());
        {
            CSelectGuard nothing(dc, nullptr);
            EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), bitmap.Get());
        }
        EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), bitmap.Get());
    }
    EXPECT_EQ(::GetCurrentObject(dc, OBJ_BITMAP), original);
    // Deselected, so it can really be deleted now.
    const HBITMAP raw = bitmap.Get();
    bitmap.Reset();
    EXPECT_EQ(::GetObjectType(raw), 0u);
}

TEST(GdiHandles, OwningHandleDeletesOnceAndMovesOwnership) {
    HBRUSH raw = nullptr;
    {
        CBrush first(::CreateSolidBrush(0xEBEBEB));
        raw = first;
        ASSERT_NE(raw, nullptr);
        CBrush second(std::move(first));
        EXPECT_EQ(first.Get(), nullptr);
        EXPECT_EQ(second.Get(), raw);
        EXPECT_EQ(::GetObjectType(raw), static_cast<DWORD>(OBJ_BRUSH));
    }
    EXPECT_EQ(::GetObjectType(raw), 0u);

    CBrush replaced(::CreateSolidBrush(0xFFFFFF));
    const HBRUSH old = replaced;
    replaced.Reset(::CreateSolidBrush(0x000000));
    EXPECT_EQ(::GetObjectType(old), 0u);
    EXPECT_EQ(::GetObjectType(replaced), static_cast<DWORD>(OBJ_BRUSH));
}

bool IsOpen(HANDLE handle) {
    DWORD flags = 0;
    return ::GetHandleInformation(handle, &flags) != FALSE;
}

// Files report failure as INVALID_HANDLE_VALUE, processes and events as null: each owner knows its
// own "none" and never closes it.
TEST(KernelHandles, EachKindKnowsItsEmptyValueAndClosesOnce) {
    const CFileHandle failed(::CreateFileW(L"C:\\no\\such\\folder\\file", GENERIC_READ, 0, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    EXPECT_EQ(failed.Get(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(failed);

    wchar_t folder[MAX_PATH];
    ASSERT_GT(::GetTempPathW(MAX_PATH, folder), 0u);
    const std::wstring path = std::wstring(folder) + L"unique-handle-test.txt";
    HANDLE raw = nullptr;
    {
        CFileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_TEMPORARY, nullptr));
        ASSERT_TRUE(file);
        raw = file;
        CFileHandle moved(std::move(file));
        EXPECT_FALSE(file) << "moved from, it owns nothing";
        EXPECT_TRUE(IsOpen(raw));
    }
    EXPECT_FALSE(IsOpen(raw));
    ::DeleteFileW(path.c_str());

    CKernelHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    raw = event.Get();
    event.Reset();
    EXPECT_FALSE(event);
    EXPECT_FALSE(IsOpen(raw));
    EXPECT_FALSE(CKernelHandle()) << "null is a kernel handle's none";
}

class GdiplusHandles : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_session = std::make_unique<CGdiplusSession>(); }
    static void TearDownTestSuite() { s_session.reset(); }
    static std::unique_ptr<CGdiplusSession> s_session;
};
std::unique_ptr<CGdiplusSession> GdiplusHandles::s_session;

TEST_F(GdiplusHandles, SessionStartsAndHandlesDrawThroughTheFlatApi) {
    using namespace Gdiplus::DllExports;
    ASSERT_EQ(s_session->StartupStatus(), Gdiplus::Ok);

    CMemoryDC dc(::CreateCompatibleDC(nullptr));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 20;
    info.bmiHeader.biHeight = 20;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    CBitmap bitmap(::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_NE(bitmap.Get(), nullptr);
    CSelectGuard selected(dc, bitmap);
    {
        CGpGraphics graphics;
        ASSERT_EQ(GdipCreateFromHDC(dc, graphics.Put()), Gdiplus::Ok);
        CGpSolidBrush yellow, dark;
        ASSERT_EQ(GdipCreateSolidFill(0xFFFFD521, yellow.Put()), Gdiplus::Ok);
        ASSERT_EQ(GdipCreateSolidFill(0xFF2B3440, dark.Put()), Gdiplus::Ok);
        EXPECT_EQ(GdipFillRectangleI(graphics, yellow, 0, 0, 20, 20), Gdiplus::Ok);

        CGpPath path;
        ASSERT_EQ(GdipCreatePath(Gdiplus::FillModeAlternate, path.Put()), Gdiplus::Ok);
        EXPECT_EQ(GdipAddPathRectangleI(path, 10, 10, 10, 10), Gdiplus::Ok);
        EXPECT_EQ(GdipFillPath(graphics, dark, path), Gdiplus::Ok);

        CGpPen pen;
        EXPECT_EQ(GdipCreatePen1(0xFF279AFF, 1.0f, Gdiplus::UnitPixel, pen.Put()), Gdiplus::Ok);
        CGpStringFormat format;
        EXPECT_EQ(GdipCreateStringFormat(0, LANG_NEUTRAL, format.Put()), Gdiplus::Ok);
        CGpFont font;
        EXPECT_EQ(GdipCreateFontFromDC(dc, font.Put()), Gdiplus::Ok);
    }
    EXPECT_EQ(::GetPixel(dc, 2, 2), RGB(0xFF, 0xD5, 0x21));
    EXPECT_EQ(::GetPixel(dc, 15, 15), RGB(0x2B, 0x34, 0x40));
}

}  // namespace
