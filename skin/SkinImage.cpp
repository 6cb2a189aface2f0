#include "skin/SkinImage.h"
#include "skin/SkinPng.h"

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

HBITMAP LoadPngBitmap(HINSTANCE hInstance, UINT nResID) {
    if (!hInstance) return nullptr;

    // A BITMAP resource of the same ID takes precedence, unconverted.
    if (HBITMAP hBmp = ::LoadBitmapW(hInstance, MAKEINTRESOURCEW(nResID))) return hBmp;

    HRSRC hRes = ::FindResourceW(hInstance, MAKEINTRESOURCEW(nResID), L"PNG");
    HGLOBAL hData = hRes ? ::LoadResource(hInstance, hRes) : nullptr;
    const BYTE* data = hData ? static_cast<const BYTE*>(::LockResource(hData)) : nullptr;
    const DWORD cb = hRes ? ::SizeofResource(hInstance, hRes) : 0;
    CPngInfo info;
    if (!data || !ReadPngHeader(data, cb, &info)) return nullptr;

    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = info.width;
    bi.bmiHeader.biHeight = info.height;  // positive: rows stored bottom-up
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;  // with DIB_RGB_COLORS no DC is needed
    HBITMAP hDib = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (!hDib) return nullptr;
    // Decoded straight into the bitmap, its top row last in memory, then
    // flattened in place.
    DWORD* pixels = static_cast<DWORD*>(pBits);
    const size_t nPixels = static_cast<size_t>(info.width) * info.height;
    if (!DecodePng(data, cb, info, pixels + nPixels - info.width, -static_cast<ptrdiff_t>(info.width))) {
        ::DeleteObject(hDib);
        return nullptr;
    }
    for (size_t i = 0; i < nPixels; ++i) pixels[i] = SkinConvertPixel(pixels[i], SKIN_KEY_COLOR);
    return hDib;
}
