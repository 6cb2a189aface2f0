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

    CSkinPixels px;
    HBITMAP hDib = SkinCreateBitmap(info.width, info.height, &px);
    if (!hDib) return nullptr;
    // Decoded straight into the bitmap, its top row last in memory, then
    // flattened in place.
    if (!DecodePng(data, cb, info, px.top, px.stride)) {
        ::DeleteObject(hDib);
        return nullptr;
    }
    for (int y = 0; y < px.height; ++y)
        for (int x = 0; x < px.width; ++x) px.At(x, y) = SkinConvertPixel(px.At(x, y), SKIN_KEY_COLOR);
    return hDib;
}

HBITMAP SkinCreateBitmap(int w, int h, CSkinPixels* pPixels) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;  // positive: rows stored bottom-up
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;  // with DIB_RGB_COLORS no DC is needed
    HBITMAP hDib = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    if (!hDib) return nullptr;
    *pPixels = {static_cast<DWORD*>(pBits) + static_cast<size_t>(w) * (h - 1), w, h, -static_cast<ptrdiff_t>(w)};
    return hDib;
}

BOOL SkinBitmapPixels(HBITMAP hBitmap, CSkinPixels* pPixels) {
    DIBSECTION ds = {};
    if (!hBitmap || ::GetObjectW(hBitmap, sizeof(ds), &ds) != sizeof(ds) || !ds.dsBm.bmBits ||
        ds.dsBm.bmBitsPixel != 32 || ds.dsBmih.biHeight <= 0)
        return FALSE;
    const int w = ds.dsBm.bmWidth, h = ds.dsBm.bmHeight;
    *pPixels = {static_cast<DWORD*>(ds.dsBm.bmBits) + static_cast<size_t>(w) * (h - 1), w, h, -static_cast<ptrdiff_t>(w)};
    return TRUE;
}
