// The skin's art drawn at the size a DPI other than 96 asks for. At 96 DPI
// the program shows the PNG images scripts/draw-skin.sh drew; elsewhere it
// draws the same shapes anew at the scaled size, with exact coverage at
// their edges and the labels in a font of the scaled height, so that they
// stay as sharp as at 96 DPI. The background, art with text baked in, is
// resampled instead.
#pragma once
#include <windows.h>
#include "skin/SkinImage.h"

// What a skin image needs besides its size: for the caption buttons the
// window's background at the DPI (pGround) and where the button lies on it
// (ptGround), as the drawn ones are flattened onto the artwork under them.
struct CSkinGround {
    const CSkinPixels* pGround;
    POINT ptGround;
};

// Skin image nResID (res/resource.h) drawn for a window at nDpi, each of its
// states frame.cx x frame.cy (the progress fill is the track's size plus its
// overhang at each end), laid out and flattened as LoadPngBitmap gives the
// PNG: a bottom-up 32-bit DIB section the caller owns. NULL for an image
// that is not drawn (the background), a caption button without its ground,
// a size below 1 pixel, or without memory.
HBITMAP DrawSkinArt(UINT nResID, SIZE frame, UINT nDpi, const CSkinGround* pGround = nullptr);

// The background hBack at nDpi, its size scaled: its frame, nBorder design
// pixels wide, taken pixel for pixel so that it stays sharp, and its inside
// resampled without the frame bleeding into it. A bitmap the caller owns in
// which no pixel is exactly the key colour; NULL when hBack cannot be read
// or without memory.
HBITMAP ScaleSkinBackground(HBITMAP hBack, int nBorder, UINT nDpi);
