#include "skin/SkinImage.h"
#include "framework/afxgdiplus.h"

BYTE SkinBlendOverWhite(BYTE c, BYTE a) {
    // a * (c - 255) + 65025 is never negative, so the division floors.
    return static_cast<BYTE>((a * (c - 255) + 65025) / 255);
}

DWORD SkinConvertPixel(DWORD argb, COLORREF crKey) {
    const BYTE a = static_cast<BYTE>(argb >> 24);
    if (a == 255) return argb & 0x00FFFFFF;
    if (a == 0) return crKey & 0x00FFFFFF;
    const BYTE r = SkinBlendOverWhite(static_cast<BYTE>(argb >> 16), a);
    const BYTE g = SkinBlendOverWhite(static_cast<BYTE>(argb >> 8), a);
    const BYTE b = SkinBlendOverWhite(static_cast<BYTE>(argb), a);
    return (static_cast<DWORD>(r) << 16) | (static_cast<DWORD>(g) << 8) | b;
}

void SkinConvertPixels(const BYTE* pSrc, int srcStride, BYTE* pDst, int w, int h, COLORREF crKey) {
    for (int y = 0; y < h; ++y) {
        const BYTE* src = pSrc + static_cast<ptrdiff_t>(y) * srcStride;
        DWORD* dst = reinterpret_cast<DWORD*>(pDst + static_cast<ptrdiff_t>(h - 1 - y) * w * 4);
        for (int x = 0; x < w; ++x) {
            DWORD argb;
            memcpy(&argb, src + x * 4, 4);
            dst[x] = SkinConvertPixel(argb, crKey);
        }
    }
}

HBITMAP CreateDibFromImage(const CGdiplusApi* api, Gdiplus::GpBitmap* image, COLORREF crKey) {
    UINT w = 0, h = 0;
    if (!api || !image || api->GdipGetImageWidth(image, &w) != Gdiplus::Ok ||
        api->GdipGetImageHeight(image, &h) != Gdiplus::Ok || w == 0)
        return nullptr;

    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = static_cast<LONG>(w);
    bi.bmiHeader.biHeight = static_cast<LONG>(h);  // positive: rows stored bottom-up
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;  // with DIB_RGB_COLORS no DC is needed
    HBITMAP hDib = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (!hDib) return nullptr;

    const Gdiplus::GpRect rc(0, 0, static_cast<INT>(w), static_cast<INT>(h));
    Gdiplus::BitmapData data = {};
    if (api->GdipBitmapLockBits(image, &rc, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok ||
        !data.Scan0) {
        ::DeleteObject(hDib);
        return nullptr;
    }
    SkinConvertPixels(static_cast<const BYTE*>(data.Scan0), data.Stride, static_cast<BYTE*>(pBits),
                      static_cast<int>(w), static_cast<int>(h), crKey);
    api->GdipBitmapUnlockBits(image, &data);
    return hDib;
}

HBITMAP LoadPngBitmap(HINSTANCE hInstance, UINT nResID) {
    if (!hInstance) return nullptr;

    // A BITMAP resource of the same ID takes precedence, unconverted.
    if (HBITMAP hBmp = ::LoadBitmapW(hInstance, MAKEINTRESOURCEW(nResID))) return hBmp;

    CGdiplusSession gdiplus;
    const CGdiplusApi* api = gdiplus.Api();
    HRSRC hRes = ::FindResourceW(hInstance, MAKEINTRESOURCEW(nResID), L"PNG");
    HGLOBAL hData = hRes ? ::LoadResource(hInstance, hRes) : nullptr;
    IStream* pStream = nullptr;
    if (!api || !hData || FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &pStream))) return nullptr;
    pStream->Write(::LockResource(hData), ::SizeofResource(hInstance, hRes), nullptr);
    // Decoders differ in whether they rewind the stream themselves.
    LARGE_INTEGER zero = {};
    pStream->Seek(zero, STREAM_SEEK_SET, nullptr);

    HBITMAP hResult = nullptr;
    Gdiplus::GpBitmap* image = nullptr;
    if (api->GdipCreateBitmapFromStream(pStream, &image) == Gdiplus::Ok && image) {
        hResult = CreateDibFromImage(api, image, SKIN_KEY_COLOR);
        // GDI+'s own conversion composites over the key colour.
        HBITMAP hFallback = nullptr;
        if (!hResult && api->GdipCreateHBITMAPFromBitmap(image, &hFallback, 0xFFFF00FF) == Gdiplus::Ok)
            hResult = hFallback;
        api->GdipDisposeImage(image);
    }
    pStream->Release();
    return hResult;
}
