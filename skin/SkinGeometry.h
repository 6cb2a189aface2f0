// The geometry of the skinned window, apart from any window or device
// context: design pixels at a DPI, background blits, window shape, hit
// testing, caption placement and the maximised rectangle.
#pragma once
#include <windows.h>
#include "framework/afxcoll.h"

// Dots per inch: the skin is designed in pixels at 96 DPI (100 %) and laid
// out at the DPI of the monitor its window is on. Sizes are scaled by their
// edges, so that two things that meet at 96 DPI meet at every DPI.
const UINT SKIN_DESIGN_DPI = 96;

// v design pixels at nDpi, rounded to the nearest pixel (half away from 0).
int SkinScale(int v, UINT nDpi);
// A design rectangle at nDpi: each edge scaled on its own.
RECT SkinScaleRect(const RECT& rc, UINT nDpi);
// A DPI the system reported, within what the skin is drawn for: 48 to 480
// (50 % to 500 %); 0 or anything absurd is taken as 96.
UINT SkinSaneDpi(UINT nDpi);

// One copy from the background bitmap to the back buffer: BitBlt of
// (x, y, dx, dy) from (sx, sy), or, when bStretch, StretchBlt from the
// source rectangle (sx, sy, sdx, sdy).
struct SkinBlit {
    int x, y, dx, dy;
    int sx, sy, sdx, sdy;
    bool bStretch;
    bool operator==(const SkinBlit& o) const {
        return x == o.x && y == o.y && dx == o.dx && dy == o.dy && sx == o.sx && sy == o.sy &&
               sdx == o.sdx && sdy == o.sdy && bStretch == o.bStretch;
    }
};

// The ordered blits that fit a bw x bh background with border b and
// caption height c (-1: no caption strip) to a W x H window, plain or as a
// stretched nine-slice, ending with the bottom row. Without memory for all
// of them the result is incomplete (IsComplete).
CArray<SkinBlit> SkinBackgroundBlits(int W, int H, int bw, int bh, int b, int c, BOOL bStretch);

// The window pixels a W x H window loses because the bw x bh background has
// the key colour at that place of one of its 9 x 9 corner squares; isKey
// tells whether bitmap pixel (x, y) is the key. A pixel may appear twice.
// Without memory for all of them the result is incomplete (IsComplete).
CArray<POINT> SkinCornerKeyPixels(int W, int H, int bw, int bh, CFunctionRef<bool(int x, int y)> isKey);
// The same for a window laid out at nDpi from the bw x bh design background:
// each lost design pixel as the window rectangle it scales to, its edges
// counted from the window's left and top or, in the right and bottom
// corners, from its right and bottom.
CArray<RECT> SkinCornerKeyRects(int W, int H, int bw, int bh, UINT nDpi, CFunctionRef<bool(int x, int y)> isKey);

// Hit test of client point pt in a cx x cy client area. TRUE with *pCode
// when the skin answers; FALSE when the default processing does.
BOOL SkinHitTest(POINT pt, int cx, int cy, int nBorder, int nCaptionHeight, BOOL bResizable, LRESULT* pCode);

// Top of the caption text and of the caption icon for caption height c.
int SkinCaptionTextTop(int c);
int SkinCaptionIconTop(int c);

// The own maximised rectangle: the work area, centred down to at most
// nMaxWidth x nMaxHeight.
RECT SkinMaximizedRect(const RECT& rcWork, int nMaxWidth, int nMaxHeight);
// The first restore rectangle: the work area less an eighth on each side.
RECT SkinInitialRestoreRect(const RECT& rcWork);
