#include "skin/SkinGeometry.h"

namespace {

SkinBlit Copy(int x, int y, int dx, int dy, int sx, int sy) { return {x, y, dx, dy, sx, sy, dx, dy, false}; }
SkinBlit Stretch(int x, int y, int dx, int dy, int sx, int sy, int sdx, int sdy) {
    return {x, y, dx, dy, sx, sy, sdx, sdy, true};
}

}  // namespace

int SkinScale(int v, UINT nDpi) {
    // MulDiv's rounding (half away from zero) without a call into Windows;
    // a design size times a sane DPI stays far inside 64 bits.
    const long long p = static_cast<long long>(v) * nDpi, half = SKIN_DESIGN_DPI / 2;
    return static_cast<int>(p < 0 ? -((-p + half) / SKIN_DESIGN_DPI) : (p + half) / SKIN_DESIGN_DPI);
}

RECT SkinScaleRect(const RECT& rc, UINT nDpi) {
    return {SkinScale(rc.left, nDpi), SkinScale(rc.top, nDpi), SkinScale(rc.right, nDpi), SkinScale(rc.bottom, nDpi)};
}

UINT SkinSaneDpi(UINT nDpi) {
    if (nDpi < SKIN_DESIGN_DPI / 2 || nDpi > SKIN_DESIGN_DPI * 5) return SKIN_DESIGN_DPI;
    return nDpi;
}

CArray<SkinBlit> SkinBackgroundBlits(int W, int H, int bw, int bh, int b, int c, BOOL bStretch) {
    CArray<SkinBlit> v;
    if (!bStretch) {
        v.Add(Copy(0, 0, W, H, 0, 0));
        if (c == -1) {
            v.Add(Copy(W - b, 0, b, b, bw - b, 0));
            v.Add(Stretch(W - b, b, b, H - 2 * b, bw - b, b, b, bh - 2 * b));
        } else {
            v.Add(Copy(W - b, 0, b, c, bw - b, 0));
            v.Add(Stretch(W - b, c, b, H - c - b, bw - b, c, b, bh - c - b));
        }
    } else if (c == -1) {
        v.Add(Copy(0, 0, b, b, 0, 0));
        v.Add(Stretch(b, 0, W - 2 * b, b, b, 0, bw - 2 * b, b));
        v.Add(Copy(W - b, 0, b, b, bw - b, 0));
        v.Add(Stretch(0, b, b, H - 2 * b, 0, b, b, bh - 2 * b));
        v.Add(Stretch(W - b, b, b, H - 2 * b, bw - b, b, b, bh - 2 * b));
        v.Add(Stretch(b, b, W - 2 * b, H - 2 * b, b, b, bw - 2 * b, bh - 2 * b));
    } else {
        v.Add(Copy(0, 0, b, c, 0, 0));
        // The caption's middle is tiled, never stretched. A bitmap with no
        // middle (bw <= 2b) has nothing to tile.
        const int m = bw - 2 * b;
        if (m > 0) {
            for (int x = b;; x += m) {
                v.Add(Copy(x, 0, m, c, b, 0));
                if (x >= W - b) break;
            }
        }
        v.Add(Copy(W - b, 0, b, c, bw - b, 0));
        v.Add(Stretch(0, c, b, H - c - b, 0, c, b, bh - c - b));
        v.Add(Stretch(W - b, c, b, H - c - b, bw - b, c, b, bh - c - b));
        v.Add(Stretch(b, c, W - 2 * b, H - c - b, b, c, bw - 2 * b, bh - c - b));
    }
    v.Add(Copy(0, H - b, b, b, 0, bh - b));
    v.Add(Stretch(b, H - b, W - 2 * b, b, b, bh - b, bw - 2 * b, b));
    v.Add(Copy(W - b, H - b, b, b, bw - b, bh - b));
    return v;
}

CArray<RECT> SkinCornerKeyRects(int W, int H, int bw, int bh, UINT nDpi, CFunctionRef<bool(int x, int y)> isKey) {
    // Design pixel v counted from the near edge, or from the far edge of a
    // window N pixels long.
    auto nearEdge = [nDpi](int v, LONG* lo, LONG* hi) {
        *lo = SkinScale(v, nDpi);
        *hi = SkinScale(v + 1, nDpi);
    };
    auto farEdge = [nDpi](int d, int N, LONG* lo, LONG* hi) {
        *lo = N - SkinScale(d + 1, nDpi);
        *hi = N - SkinScale(d, nDpi);
    };
    CArray<RECT> removed;
    auto band = [&](int yFirst, int yEnd, bool bottom) {
        for (int y = yFirst; y < yEnd; ++y) {
            if (y < 0) continue;  // above a bitmap lower than the band: nothing there
            RECT rc;
            if (bottom)
                farEdge(bh - 1 - y, H, &rc.top, &rc.bottom);
            else
                nearEdge(y, &rc.top, &rc.bottom);
            for (int x = 0; x < 9 && x < bw; ++x) {
                if (isKey(x, y)) {
                    nearEdge(x, &rc.left, &rc.right);
                    removed.Add(rc);
                }
                if (isKey(bw - 1 - x, y)) {
                    farEdge(x, W, &rc.left, &rc.right);
                    removed.Add(rc);
                }
            }
        }
    };
    band(0, bh < 9 ? bh : 9, false);  // top corners stay at the window's top
    band(bh - 9, bh, true);           // bottom corners follow the window's bottom
    return removed;
}

CArray<POINT> SkinCornerKeyPixels(int W, int H, int bw, int bh, CFunctionRef<bool(int x, int y)> isKey) {
    const CArray<RECT> rects = SkinCornerKeyRects(W, H, bw, bh, SKIN_DESIGN_DPI, isKey);
    CArray<POINT> removed;
    if (!rects.IsComplete()) removed.MarkIncomplete();
    for (const RECT& rc : rects) removed.Add({rc.left, rc.top});
    return removed;
}

BOOL SkinHitTest(POINT pt, int cx, int cy, int nBorder, int nCaptionHeight, BOOL bResizable, LRESULT* pCode) {
    const int x = pt.x, y = pt.y, b = nBorder, c = nCaptionHeight;
    const bool inCaption = (y >= 0 && y < c) || c == -1;
    LRESULT code = 0;
    if (!bResizable) {
        if (!inCaption) return FALSE;
        code = HTCAPTION;
    } else if (x >= 0 && x < b) {
        code = (y >= 0 && y < b) ? HTTOPLEFT : (y >= cy - b && y < cy) ? HTBOTTOMLEFT : HTLEFT;
    } else if (x >= cx - b && x < cx) {
        code = (y >= 0 && y < b) ? HTTOPRIGHT : (y >= cy - b && y < cy) ? HTBOTTOMRIGHT : HTRIGHT;
    } else if (y >= 0 && y < 3) {
        code = HTTOP;  // the top zone is 3 pixels whatever the border
    } else if ((y >= 3 && y < c) || c == -1) {
        code = HTCAPTION;
    } else if (y >= cy - b && y < cy) {
        code = HTBOTTOM;
    } else {
        return FALSE;
    }
    *pCode = code;
    return TRUE;
}

int SkinCaptionTextTop(int c) {
    int t = (c - 11) / 2;
    if (t < 0) t = 6;
    return t - 2;
}

int SkinCaptionIconTop(int c) { return c == -1 ? 6 : (c - 15) / 2; }

RECT SkinMaximizedRect(const RECT& rcWork, int nMaxWidth, int nMaxHeight) {
    RECT rc = rcWork;
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    if (w > nMaxWidth) {
        const int d = (w - nMaxWidth) / 2;
        rc.left += d;
        rc.right -= d;
    }
    if (h > nMaxHeight) {
        const int d = (h - nMaxHeight) / 2;
        rc.top += d;
        rc.bottom -= d;
    }
    return rc;
}

RECT SkinInitialRestoreRect(const RECT& rcWork) {
    const int w = rcWork.right - rcWork.left, h = rcWork.bottom - rcWork.top;
    return {w / 8, h / 8, rcWork.right - w / 8, rcWork.bottom - h / 8};
}
