// Skin images: PNG resources turned into plain 32-bit bitmaps with the
// transparency flattened, so that GDI blits, image lists and pixel reads
// can use them.
#pragma once
#include <windows.h>
#include <cstddef>
// The key colour, the font face and SkinBitmapSize.
#include "controls/SkinBasics.h"

// One colour channel c with alpha a composited over white, rounded down.
BYTE SkinBlendOverWhite(BYTE c, BYTE a);
// A decoded pixel (0xAARRGGBB) as the 32-bit DIB word of the skin bitmap:
// opaque copied, fully transparent the key, partial alpha over white; the
// fourth byte is always 0.
DWORD SkinConvertPixel(DWORD argb, COLORREF crKey);

// Skin image resource nResID ("PNG" type, 8-bit RGB or RGBA: SkinPng.h; a
// BITMAP resource of the same ID wins untouched) as a bottom-up 32-bit DIB
// section the caller owns, or NULL.
HBITMAP LoadPngBitmap(HINSTANCE hInstance, UINT nResID);

// The pixels of a 32-bit image, words 0x00RRGGBB: width x height, from the
// top row at top, each next row stride words further (negative for a
// bottom-up bitmap).
struct CSkinPixels {
    DWORD* top;
    int width;
    int height;
    ptrdiff_t stride;
    DWORD& At(int x, int y) const { return top[y * stride + x]; }
};

// A bottom-up 32-bit DIB section of w x h, as the skin's bitmaps are, that
// the caller owns; *pPixels gets its pixels. NULL without memory.
HBITMAP SkinCreateBitmap(int w, int h, CSkinPixels* pPixels);
// The pixels of hBitmap, a bottom-up 32-bit DIB section as the skin makes
// them; FALSE for a bitmap of another kind. (A top-down one cannot always
// be told: Wine reports its height as positive.)
BOOL SkinBitmapPixels(HBITMAP hBitmap, CSkinPixels* pPixels);
