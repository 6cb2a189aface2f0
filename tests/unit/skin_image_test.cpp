// LoadPngBitmap on real resources of this executable: the installer's skin
// images and small test images with every alpha case, against what GDI+
// decodes from the same data; the PNG decoder on damaged data; images
// decoded ahead on their own thread.
#include <gtest/gtest.h>
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include "skin/SkinImage.h"
#include "skin/SkinArt.h"
#include "skin/SkinPreload.h"
#include "res/resource.h"
#include "test_resource.h"
#include <vector>

namespace {

HINSTANCE Self() { return ::GetModuleHandleW(nullptr); }

// The DIB section behind a loaded bitmap, with its pixel words in memory order.
struct Dib {
    DIBSECTION ds = {};
    std::vector<DWORD> words;
    explicit Dib(HBITMAP h) {
        if (::GetObjectW(h, sizeof(ds), &ds) != sizeof(ds) || !ds.dsBm.bmBits) return;
        const DWORD* p = static_cast<const DWORD*>(ds.dsBm.bmBits);
        words.assign(p, p + ds.dsBm.bmWidth * ds.dsBm.bmHeight);
    }
    // Pixel (x, y) of the picture, y counted from its top.
    DWORD At(int x, int y) const { return words[(ds.dsBm.bmHeight - 1 - y) * ds.dsBm.bmWidth + x]; }
};

// Decodes the PNG resource with GDI+ directly: the source pixels as ARGB.
std::vector<DWORD> DecodeResource(UINT id, int* w, int* h) {
    HRSRC r = ::FindResourceW(Self(), MAKEINTRESOURCEW(id), L"PNG");
    const void* data = ::LockResource(::LoadResource(Self(), r));
    IStream* stream = nullptr;
    ::CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    stream->Write(data, ::SizeofResource(Self(), r), nullptr);
    LARGE_INTEGER zero = {};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    std::vector<DWORD> out;
    {
        Gdiplus::Bitmap bmp(stream);
        *w = static_cast<int>(bmp.GetWidth());
        *h = static_cast<int>(bmp.GetHeight());
        for (int y = 0; y < *h; ++y)
            for (int x = 0; x < *w; ++x) {
                Gdiplus::Color c;
                bmp.GetPixel(x, y, &c);
                out.push_back(c.GetValue());
            }
    }
    stream->Release();
    return out;
}

class SkinImages : public ::testing::Test {
protected:
    ULONG_PTR m_token = 0;
    void SetUp() override {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&m_token, &input, nullptr);
    }
    void TearDown() override { Gdiplus::GdiplusShutdown(m_token); }
};

}  // namespace

TEST_F(SkinImages, BackgroundLoadsAsABottomUp32BitDibWithoutAlpha) {
    HBITMAP h = LoadPngBitmap(Self(), IDB_SKIN_BACKGROUND);
    ASSERT_NE(nullptr, h);
    Dib dib(h);
    ASSERT_FALSE(dib.words.empty()) << "a DIB section";
    EXPECT_EQ(622, dib.ds.dsBm.bmWidth);
    EXPECT_EQ(422, dib.ds.dsBm.bmHeight);
    EXPECT_EQ(32, dib.ds.dsBm.bmBitsPixel);
    EXPECT_EQ(622 * 4, dib.ds.dsBm.bmWidthBytes);
    EXPECT_EQ(40u, dib.ds.dsBmih.biSize);
    EXPECT_EQ(422, dib.ds.dsBmih.biHeight) << "positive height: rows bottom-up";
    EXPECT_EQ(static_cast<DWORD>(BI_RGB), dib.ds.dsBmih.biCompression);

    int w = 0, hh = 0;
    const std::vector<DWORD> src = DecodeResource(IDB_SKIN_BACKGROUND, &w, &hh);
    ASSERT_EQ(622 * 422, w * hh);
    int mismatches = 0;
    for (int y = 0; y < 422; ++y)
        for (int x = 0; x < 622; ++x)
            mismatches += dib.At(x, y) != (src[y * 622 + x] & 0x00FFFFFF);
    EXPECT_EQ(0, mismatches) << "an opaque image comes back unchanged, upright, fourth byte 0";
    ::DeleteObject(h);
}

TEST_F(SkinImages, EverySkinKeepsOpaquePixelsAndKeysTransparentOnes) {
    struct { UINT id; int w, h; } skins[] = {
        {130, 68, 15}, {131, 68, 15}, {132, 344, 30}, {133, 98, 14}, {134, 560, 40},
        {135, 600, 4}, {136, 580, 4}, {137, 560, 40}, {138, 117, 12},
    };
    for (const auto& s : skins) {
        HBITMAP h = LoadPngBitmap(Self(), s.id);
        ASSERT_NE(nullptr, h) << s.id;
        Dib dib(h);
        ASSERT_EQ(s.w, dib.ds.dsBm.bmWidth) << s.id;
        ASSERT_EQ(s.h, dib.ds.dsBm.bmHeight) << s.id;
        int w = 0, hh = 0;
        const std::vector<DWORD> src = DecodeResource(s.id, &w, &hh);
        int bad = 0;
        for (int y = 0; y < s.h; ++y)
            for (int x = 0; x < s.w; ++x) {
                const DWORD argb = src[y * s.w + x], got = dib.At(x, y);
                if ((argb >> 24) == 0) bad += got != 0x00FF00FF;
                else if ((argb >> 24) == 255) bad += got != (argb & 0x00FFFFFF);
                else bad += got != SkinConvertPixel(argb, SKIN_KEY_COLOR);  // over white, as GDI+ decodes it
            }
        EXPECT_EQ(0, bad) << "resource " << s.id;
        ::DeleteObject(h);
    }
}

TEST_F(SkinImages, EachAlphaCaseFollowsTheConversionRule) {
    HBITMAP h = LoadPngBitmap(Self(), IDB_TEST_PATTERN_RGBA);
    ASSERT_NE(nullptr, h);
    Dib dib(h);
    ASSERT_EQ(6u, dib.words.size());
    EXPECT_EQ(0x00FF0000u, dib.At(0, 0)) << "opaque red copied";
    EXPECT_EQ(0x00FF00FFu, dib.At(1, 0)) << "transparent green becomes the key";
    EXPECT_EQ(0x007F7F7Fu, dib.At(2, 0)) << "alpha 128 over black: 127";
    EXPECT_EQ(0x007F7FB1u, dib.At(0, 1)) << "alpha 128 over white: blue 100 gives 177, zeros 127";
    EXPECT_EQ(0x000A141Eu, dib.At(1, 1));
    EXPECT_EQ(0x00FEFEFEu, dib.At(2, 1)) << "alpha 1 over black: 254";
    EXPECT_EQ(0x007F7FB1u, dib.words[0]) << "the bottom row comes first in memory";
    ::DeleteObject(h);

    h = LoadPngBitmap(Self(), IDB_TEST_PATTERN_RGB);
    ASSERT_NE(nullptr, h);
    Dib rgb(h);
    ASSERT_EQ(4u, rgb.words.size());
    EXPECT_EQ(0x00010203u, rgb.At(0, 0));
    EXPECT_EQ(0x00FAFBFCu, rgb.At(1, 0));
    EXPECT_EQ(0x00FF00FEu, rgb.At(0, 1)) << "a near-key colour stays as it is";
    EXPECT_EQ(0x0028323Cu, rgb.At(1, 1));
    ::DeleteObject(h);
}

TEST_F(SkinImages, ABitmapResourceOfTheSameIdWinsUnconverted) {
    HBITMAP h = LoadPngBitmap(Self(), IDB_TEST_PRECEDENCE);
    ASSERT_NE(nullptr, h);
    BITMAP bm = {};
    ::GetObjectW(h, sizeof(bm), &bm);
    EXPECT_EQ(2, bm.bmWidth) << "the 2x1 BITMAP, not the 4x4 PNG";
    EXPECT_EQ(1, bm.bmHeight);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, h);
    EXPECT_EQ(RGB(12, 34, 56), ::GetPixel(dc, 0, 0));
    EXPECT_EQ(RGB(78, 90, 12), ::GetPixel(dc, 1, 0));
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(h);
}

TEST_F(SkinImages, NothingLoadableGivesNullAndLoadingStillWorks) {
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(nullptr, LoadPngBitmap(Self(), IDB_TEST_NOT_IMAGE));
        EXPECT_EQ(nullptr, LoadPngBitmap(Self(), 4999)) << "no such resource";
        EXPECT_EQ(nullptr, LoadPngBitmap(nullptr, IDB_SKIN_CLOSE));
    }
    HBITMAP h = LoadPngBitmap(Self(), IDB_SKIN_CLOSE);
    EXPECT_NE(nullptr, h) << "loading still works after failures";
    ::DeleteObject(h);
}

TEST_F(SkinImages, PreloadedImagesAreTheDecodedOnesEachGivenOnce) {
    // The same ID twice: one bitmap each (a check box changes its copy).
    const UINT ids[] = {IDB_SKIN_CLOSE, IDB_SKIN_BACKGROUND, IDB_SKIN_CHECKBOX, IDB_SKIN_CHECKBOX, IDB_TEST_NOT_IMAGE};
    CSkinPreload preload;
    ASSERT_TRUE(preload.Start(Self(), ids, ARRAYSIZE(ids)));
    struct { UINT id; const char* what; } takes[] = {
        {IDB_SKIN_BACKGROUND, "preloaded"}, {IDB_SKIN_CHECKBOX, "first copy"}, {IDB_SKIN_CHECKBOX, "second copy"},
        {IDB_SKIN_CHECKBOX, "a third, decoded then"}, {IDB_SKIN_INSTALL, "not preloaded: decoded then"},
        {IDB_SKIN_BACKGROUND, "taken again: decoded then"},
    };
    std::vector<HBITMAP> taken;
    for (const auto& t : takes) {
        HBITMAP h = preload.Take(Self(), t.id), expected = LoadPngBitmap(Self(), t.id);
        ASSERT_NE(nullptr, h) << t.what;
        for (HBITMAP other : taken) EXPECT_NE(other, h) << t.what << ": a bitmap of its own";
        Dib got(h), want(expected);
        EXPECT_EQ(want.words, got.words) << t.what;
        EXPECT_EQ(want.ds.dsBm.bmWidth, got.ds.dsBm.bmWidth) << t.what;
        taken.push_back(h);
        ::DeleteObject(expected);
    }
    EXPECT_EQ(nullptr, preload.Take(Self(), IDB_TEST_NOT_IMAGE)) << "what does not decode stays null";
    preload.End();  // deletes the close button's image, never taken
    HBITMAP h = preload.Take(Self(), IDB_SKIN_CLOSE);
    EXPECT_NE(nullptr, h) << "after the end, images are decoded when asked for";
    taken.push_back(h);
    for (HBITMAP b : taken) ::DeleteObject(b);
}

TEST_F(SkinImages, PreloadScalesTheBackgroundAheadForOneDpiOnly) {
    const UINT ids[] = {IDB_SKIN_BACKGROUND};
    CSkinPreload preload;
    ASSERT_TRUE(preload.Start(Self(), ids, ARRAYSIZE(ids), 144, 1));
    EXPECT_EQ(nullptr, preload.TakeScaled(120)) << "scaled for another DPI";
    HBITMAP h = preload.TakeScaled(144);
    ASSERT_NE(nullptr, h);
    HBITMAP design = LoadPngBitmap(Self(), IDB_SKIN_BACKGROUND), expected = ScaleSkinBackground(design, 1, 144);
    Dib got(h), want(expected);
    EXPECT_EQ(933, got.ds.dsBm.bmWidth);
    EXPECT_EQ(want.words, got.words);
    EXPECT_EQ(nullptr, preload.TakeScaled(144)) << "given once";
    HBITMAP kept = preload.Take(Self(), IDB_SKIN_BACKGROUND);
    EXPECT_NE(nullptr, kept) << "the design image stays for the taking";
    ASSERT_TRUE(preload.Start(Self(), ids, ARRAYSIZE(ids)));
    EXPECT_EQ(nullptr, preload.TakeScaled(96)) << "nothing to scale at 96 DPI";
    for (HBITMAP b : {h, design, expected, kept}) ::DeleteObject(b);
}
