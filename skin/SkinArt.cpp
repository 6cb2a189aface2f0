// Each image as scripts/draw-skin.sh draws it, in design pixels: pixel
// (x, y) covers [x, x + 1) x [y, y + 1), and the shapes are scaled to the
// frame's actual size, axis by axis. Colours with an opacity are written
// 0xAARRGGBB.
#include "skin/SkinArt.h"
#include "skin/SkinGeometry.h"
#include "skin/SkinPaint.h"
#include "res/resource.h"
#include <memory>
#include <new>

namespace {

SkinColor Argb(DWORD argb) { return SkinRgba(RGB(argb >> 16, argb >> 8, argb), (argb >> 24) / 255.0f); }

int Round(float v) { return static_cast<int>(v + 0.5f); }  // v >= 0

// ---- Text -------------------------------------------------------------------

// Coverage (0 to 255) of text in the skin's face, nHeight pixels high, of
// weight nWeight, drawn with DrawText's nFormat into rc of a w x h box: w * h
// bytes, top row first; none without memory or GDI objects. Antialiased in
// grey whatever the system's font smoothing, as the drawn images are.
std::unique_ptr<BYTE[]> TextMask(const wchar_t* text, int nHeight, int nWeight, int w, int h, RECT rc, UINT nFormat) {
    std::unique_ptr<BYTE[]> mask(new (std::nothrow) BYTE[static_cast<size_t>(w) * h]);
    if (!mask) return mask;
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* pBits = nullptr;
    const HBITMAP hDib = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    const HDC hdc = ::CreateCompatibleDC(nullptr);
    const HFONT hFont = ::CreateFontW(-nHeight, 0, 0, 0, nWeight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                      CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH, SKIN_FONT_FACE);
    if (hDib && hdc && hFont) {
        const HGDIOBJ oldBitmap = ::SelectObject(hdc, hDib);
        const HGDIOBJ oldFont = ::SelectObject(hdc, hFont);
        ::SetBkMode(hdc, TRANSPARENT);
        ::SetTextColor(hdc, RGB(255, 255, 255));
        ::DrawTextW(hdc, text, -1, &rc, nFormat | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        ::GdiFlush();
        // White on black: any channel is the coverage.
        const DWORD* p = static_cast<const DWORD*>(pBits);
        for (int i = 0; i < w * h; ++i) mask[i] = static_cast<BYTE>(p[i]);
        ::SelectObject(hdc, oldFont);
        ::SelectObject(hdc, oldBitmap);
    } else {
        mask.reset();
    }
    if (hFont) ::DeleteObject(hFont);
    if (hdc) ::DeleteDC(hdc);
    if (hDib) ::DeleteObject(hDib);
    return mask;
}

// ---- The images ---------------------------------------------------------------

// One layer of an image: a shape (its values in hundredths of a design
// pixel) in the state's colour top, running to its colour bottom in the
// frame's last row (a gradient). A colour of alpha 0 draws nothing.
struct CLayer {
    CSkinShape::Kind kind;
    BYTE top, bottom;
    WORD v[9];
};

// An image: its design frame, the number of its states, its layers, and
// the colours of each state, nColours of them (0xAARRGGBB). A label, if
// any, in the colour ink of its state, with a shadow one pixel lower in
// the colour shadow, nHeight pixels high, bolder where bBold (except in
// the fourth, disabled state), centred, or from x = nLeft.
struct CArt {
    int w, h, nStates;
    const CLayer* layers;
    int nLayers;
    const DWORD* colours;
    int nColours;
    const wchar_t* label;
    int nHeight, nLeft;
    BOOL bBold;
    BYTE ink, shadow;
};
const BYTE kNone = 0xFF;  // no shadow

// Push buttons: the face's gradient, the one-pixel outline, the label and
// its shadow; normal, hover, pressed (the label a pixel lower), disabled.
const CLayer kPushLayers[2][2] = {
    {{CSkinShape::ROUND_RECT, 0, 1, {0, 0, 14000, 4000, 400}},
     {CSkinShape::RING, 2, 2, {0, 0, 14000, 4000, 100, 100, 400}}},
    {{CSkinShape::ROUND_RECT, 0, 1, {0, 0, 8600, 3000, 400}},
     {CSkinShape::RING, 2, 2, {0, 0, 8600, 3000, 100, 100, 400}}},
};
const DWORD kOrange[4 * 5] = {
    0xFFFFA446, 0xFFFF8B1E, 0xFFF58A22, 0xFFFFFFFF, 0x59AA4600,
    0xFFFFB25E, 0xFFFF9A32, 0xFFFF9A32, 0xFFFFFFFF, 0x4DAA4600,
    0xFFEE8019, 0xFFE27614, 0xFFD86F12, 0xF0FFFFFF, 0x59823200,
    0xFFE6E8EC, 0xFFDCDFE4, 0xFFD3D7DD, 0xFFA5ABB4, 0,
};
const DWORD kGrey[4 * 5] = {
    0xFFFCFCFD, 0xFFEDEFF2, 0xFFB6BCC6, 0xFF3A3F47, 0,
    0xFFFFFFFF, 0xFFF4F5F7, 0xFFFF9228, 0xFF3A3F47, 0,
    0xFFE4E7EC, 0xFFECEEF1, 0xFFA4ACB8, 0xFF3A3F47, 0,
    0xFFF5F6F7, 0xFFF5F6F7, 0xFFD3D7DD, 0xFFA5ABB4, 0,
};
const CArt kInstall = {140, 40, 4, kPushLayers[0], 2, kOrange, 5, L"快速安装", 16, -1, TRUE, 3, 4};
const CArt kFinish = {140, 40, 4, kPushLayers[0], 2, kOrange, 5, L"完成", 16, -1, TRUE, 3, 4};
const CArt kBrowse = {86, 30, 4, kPushLayers[1], 2, kGrey, 5, L"浏览..", 13, -1, FALSE, 3, kNone};

// Check box: a 12 x 12 box in the middle of its 14 x 14 frame, filled, with
// a one-pixel outline whose centre runs on the pixels one in from its edge,
// and the tick; unchecked normal, hover, pressed, checked the same,
// disabled.
const CLayer kCheckLayers[] = {
    {CSkinShape::ROUND_RECT, 0, 0, {150, 150, 1250, 1250, 220}},
    {CSkinShape::RING, 1, 1, {100, 100, 1300, 1300, 100, 100, 270}},
    {CSkinShape::SEGMENTS, 2, 2, {396, 716, 616, 946, 616, 946, 1026, 466, 180}},
};
const DWORD kCheckColours[7 * 3] = {
    0xFFFFFFFF, 0xFFB6BCC6, 0, 0xFFFFFFFF, 0xFFFF9228, 0, 0xFFFFF1E2, 0xFFE97F17, 0,
    0xFFFFFFFF, 0xFFB6BCC6, 0xFFFF9228, 0xFFFFFFFF, 0xFFFF9228, 0xFFFF9228, 0xFFFFF1E2, 0xFFE97F17, 0xFFE97F17,
    0xFFEEF0F3, 0xFFD3D7DD, 0,
};
const CArt kCheck = {14, 14, 7, kCheckLayers, 3, kCheckColours, 3, nullptr, 0, 0, FALSE, 0, kNone};

// Caption buttons: a plate, and the glyph over it: a cross of two
// diagonals of single pixels, (4, 3) to (12, 11) and (12, 3) to (4, 11),
// each pixel with a faint neighbour at each side (a line about 0.7 pixels
// wide in one about 2.1 wide), or a bar; normal, hover, pressed, disabled.
const CLayer kCloseLayers[] = {
    {CSkinShape::ROUND_RECT, 0, 0, {0, 0, 1700, 1500, 300}},
    {CSkinShape::SEGMENTS, 2, 2, {450, 350, 1250, 1150, 1250, 350, 450, 1150, 210}},
    {CSkinShape::SEGMENTS, 1, 1, {450, 350, 1250, 1150, 1250, 350, 450, 1150, 70}},
};
const DWORD kCloseColours[4 * 3] = {
    0, 0xEBECF2FA, 0x38ECF2FA, 0xFFE5484D, 0xFFFFFFFF, 0x4DFFFFFF,
    0xFFBF3A3F, 0xD9FFFFFF, 0x38FFFFFF, 0, 0x52ECF2FA, 0x12ECF2FA,
};
const CLayer kMinimizeLayers[] = {
    {CSkinShape::ROUND_RECT, 0, 0, {0, 0, 1700, 1500, 300}},
    {CSkinShape::RECT, 1, 1, {400, 700, 1300, 800}},
};
const DWORD kMinimizeColours[4 * 2] = {0, 0xEBECF2FA, 0x2EFFFFFF, 0xFFFFFFFF, 0x4D000000, 0xD9FFFFFF, 0, 0x52ECF2FA};
const CArt kClose = {17, 15, 4, kCloseLayers, 3, kCloseColours, 3, nullptr, 0, 0, FALSE, 0, kNone};
const CArt kMinimize = {17, 15, 4, kMinimizeLayers, 2, kMinimizeColours, 2, nullptr, 0, 0, FALSE, 0, kNone};

// The path error: a red round sign with a white exclamation mark, 12
// pixels high, and the message 16 pixels from the left.
const CLayer kPathErrorLayers[] = {
    {CSkinShape::CIRCLE, 0, 0, {600, 600, 590}},
    {CSkinShape::ROUND_RECT, 1, 1, {510, 240, 690, 740, 90}},
    {CSkinShape::CIRCLE, 1, 1, {600, 920, 95}},
};
const DWORD kPathErrorColours[2] = {0xFFE5484D, 0xFFFFFFFF};
const CArt kPathError = {117, 12, 1, kPathErrorLayers, 3, kPathErrorColours, 2, L"当前选择路径错误", 12, 16, FALSE, 0, kNone};

// The progress track, light grey with its ends softened, and the fill,
// blue with a lighter top row and a darker bottom row and its ends
// rounded, overhanging the track by 10 transparent columns at each end.
const CLayer kTrackLayers[] = {{CSkinShape::ROUND_RECT, 0, 0, {0, 0, 58000, 400, 180}}};
const DWORD kTrackColours[1] = {0xFFE3E7ED};
const CLayer kFillLayers[] = {
    {CSkinShape::ROUND_RECT, 0, 0, {1000, 0, 59000, 400, 150}},
    {CSkinShape::RECT, 1, 1, {1100, 0, 58900, 100}},
    {CSkinShape::RECT, 2, 2, {1100, 300, 58900, 400}},
};
const DWORD kFillColours[3] = {0xFF2B8CF7, 0xFF4EA2FF, 0xFF2480EA};
const CArt kTrack = {580, 4, 1, kTrackLayers, 1, kTrackColours, 1, nullptr, 0, 0, FALSE, 0, kNone};
const CArt kFill = {600, 4, 1, kFillLayers, 3, kFillColours, 3, nullptr, 0, 0, FALSE, 0, kNone};

const CArt* ArtOf(UINT nResID) {
    switch (nResID) {
    case IDB_SKIN_INSTALL: return &kInstall;
    case IDB_SKIN_FINISH: return &kFinish;
    case IDB_SKIN_BROWSE: return &kBrowse;
    case IDB_SKIN_CHECKBOX: return &kCheck;
    case IDB_SKIN_CLOSE: return &kClose;
    case IDB_SKIN_MINIMIZE: return &kMinimize;
    case IDB_SKIN_PATH_ERROR: return &kPathError;
    case IDB_SKIN_PROGRESS_TRACK: return &kTrack;
    case IDB_SKIN_PROGRESS_FILL: return &kFill;
    default: return nullptr;  // the background, resampled instead
    }
}

}  // namespace

HBITMAP DrawSkinArt(UINT nResID, SIZE frame, UINT nDpi, const CSkinGround* pGround) {
    const CArt* art = ArtOf(nResID);
    if (!art) return nullptr;
    int W = frame.cx;
    const int H = frame.cy;
    if (nResID == IDB_SKIN_PROGRESS_FILL) W += 2 * SkinScale(10, nDpi);
    // The caption buttons are flattened onto the artwork under them.
    const CSkinPixels* back = nullptr;
    POINT at = {};
    if (nResID == IDB_SKIN_CLOSE || nResID == IDB_SKIN_MINIMIZE) {
        back = pGround ? pGround->pGround : nullptr;
        at = pGround ? pGround->ptGround : POINT{-1, -1};
        if (!back || at.x < 0 || at.y < 0 || at.x + W > back->width || at.y + H > back->height) return nullptr;
    }
    CSkinCanvas canvas;
    if (frame.cx < 1 || !canvas.Create(W, H)) return nullptr;
    const float fx = static_cast<float>(W) / art->w, fy = static_cast<float>(H) / art->h;

    std::unique_ptr<BYTE[]> bold, plain;
    if (art->label) {
        const RECT rc = {art->nLeft < 0 ? 0 : Round(art->nLeft * fx), 0, W, H};
        const UINT nFormat = art->nLeft < 0 ? DT_CENTER : DT_LEFT;
        const int h = Round(art->nHeight * fy);
        plain = TextMask(art->label, h, FW_NORMAL, W, H, rc, nFormat);
        bold = art->bBold ? TextMask(art->label, h, FW_BOLD, W, H, rc, nFormat) : nullptr;
        if (!plain || (art->bBold && !bold)) return nullptr;
    }

    // The states side by side, each flattened as the PNG loader flattens:
    // opaque copied, transparent the key colour, the rest over white.
    CSkinPixels px;
    const HBITMAP hStrip = SkinCreateBitmap(W * art->nStates, H, &px);
    if (!hStrip) return nullptr;
    const int one = Round(fy);  // one design pixel lower
    for (int i = 0; i < art->nStates; ++i) {
        const DWORD* colours = art->colours + i * art->nColours;
        canvas.Clear();
        for (int k = 0; k < art->nLayers; ++k) {
            const CLayer& layer = art->layers[k];
            if (!(colours[layer.top] >> 24)) continue;
            CSkinShape shape = {layer.kind, {}};
            for (int v = 0; v < 9; ++v) shape.v[v] = layer.v[v] / 100.0f;
            canvas.Paint(SkinScaleShape(shape, fx, fy), Argb(colours[layer.top]), Argb(colours[layer.bottom]));
        }
        if (art->label) {
            const BYTE* mask = bold && i != 3 ? bold.get() : plain.get();
            const int dy = i == 2 && art->nStates == 4 ? one : 0;  // pressed
            if (art->shadow != kNone && colours[art->shadow] >> 24) canvas.PaintMask(mask, dy + one, Argb(colours[art->shadow]));
            canvas.PaintMask(mask, dy, Argb(colours[art->ink]));
        }
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                SkinColor p = canvas.At(x, y);
                if (back && p.a > 0) {  // opaque wherever anything was drawn, see-through elsewhere
                    const DWORD g = back->At(at.x + x, at.y + y);
                    p = SkinOver(p, SkinRgba(RGB(g >> 16, g >> 8, g)));
                }
                px.At(i * W + x, y) = SkinConvertPixel(SkinArgb(p), SKIN_KEY_COLOR);
            }
    }
    return hStrip;
}

namespace {

// The pixels of any bitmap, top row first, in a buffer of their own.
std::unique_ptr<DWORD[]> ReadPixels(HBITMAP hBitmap, CSkinPixels* pPixels) {
    std::unique_ptr<DWORD[]> words;
    const SIZE size = SkinBitmapSize(hBitmap);
    if (size.cx < 1 || size.cy < 1) return words;
    words.reset(new (std::nothrow) DWORD[static_cast<size_t>(size.cx) * size.cy]);
    BITMAPINFO bi = {};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), size.cx, -size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    const HDC hdc = ::CreateCompatibleDC(nullptr);
    if (!words || !hdc || ::GetDIBits(hdc, hBitmap, 0, size.cy, words.get(), &bi, DIB_RGB_COLORS) != size.cy) words.reset();
    if (hdc) ::DeleteDC(hdc);
    *pPixels = {words.get(), size.cx, size.cy, size.cx};
    for (int i = 0; words && i < size.cx * size.cy; ++i) words[i] &= 0xFFFFFF;
    return words;
}

}  // namespace

HBITMAP ScaleSkinBackground(HBITMAP hBack, int nBorder, UINT nDpi) {
    CSkinPixels src, dst;
    const auto words = ReadPixels(hBack, &src);
    if (!words || 2 * nBorder >= src.width || 2 * nBorder >= src.height) return nullptr;
    const int W = SkinScale(src.width, nDpi), H = SkinScale(src.height, nDpi), b = SkinScale(nBorder, nDpi);
    const HBITMAP hScaled = SkinCreateBitmap(W, H, &dst);
    if (!hScaled) return nullptr;
    if (!SkinResample(src, {nBorder, nBorder, src.width - nBorder, src.height - nBorder}, dst, {b, b, W - b, H - b})) {
        ::DeleteObject(hScaled);
        return nullptr;
    }
    // The frame: each of its pixels from the design pixel it scales.
    auto design = [nBorder, b](int v, int n, int N) {
        if (v < b) return v * nBorder / b;
        if (v >= N - b) return n - nBorder + (v - (N - b)) * nBorder / b;
        return -1;
    };
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const int sx = design(x, src.width, W), sy = design(y, src.height, H);
            DWORD& p = dst.At(x, y);
            if (sx >= 0 || sy >= 0) p = src.At(sx >= 0 ? sx : x * src.width / W, sy >= 0 ? sy : y * src.height / H);
            if (p == static_cast<DWORD>(RGB(255, 0, 255))) p = 0xFE00FF;  // never a hole in the window
        }
    return hScaled;
}
