// Skin images: PNG resources turned into plain 32-bit bitmaps with the
// transparency flattened, so that GDI blits, image lists and pixel reads
// can use them.
#pragma once
#include <windows.h>

// The see-through colour of every skin image, control mask and window shape.
#define SKIN_KEY_COLOR RGB(255, 0, 255)

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
