// The skin at DPIs other than 96, drawn: the coverage of the shapes the art
// is made of, the resampler, the art drawn anew against the PNGs drawn by
// scripts/draw-skin.sh, and the background scaled with a sharp frame.
#include <gtest/gtest.h>
#include "res/resource.h"
#include "skin/SkinArt.h"
#include "skin/SkinDpi.h"
#include "skin/SkinPaint.h"
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

HINSTANCE Self() { return ::GetModuleHandleW(nullptr); }

// The pixels of a skin bitmap, read before it goes.
struct Pixels {
    int width = 0, height = 0;
    std::vector<DWORD> words;  // top row first, 0x00RRGGBB
    explicit Pixels(HBITMAP h) {
        CSkinPixels px;
        if (!h || !SkinBitmapPixels(h, &px)) return;
        width = px.width;
        height = px.height;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) words.push_back(px.At(x, y));
        ::DeleteObject(h);
    }
    DWORD At(int x, int y) const { return words[y * width + x]; }
};

int Channel(DWORD p, int shift) { return static_cast<int>((p >> shift) & 0xFF); }
int Difference(DWORD a, DWORD b) {
    int d = 0;
    for (int shift : {0, 8, 16}) d = std::max(d, std::abs(Channel(a, shift) - Channel(b, shift)));
    return d;
}

const DWORD kKey = 0xFF00FF;

}  // namespace

TEST(SkinPaintShapes, CoverWhatTheyEncloseWithOneSoftPixelAtTheirEdges) {
    // A pixel's centre on an edge is half covered; a pixel away, not at all.
    EXPECT_FLOAT_EQ(0.5f, SkinCoverage(0));
    EXPECT_FLOAT_EQ(1.0f, SkinCoverage(-0.5f));
    EXPECT_FLOAT_EQ(0.0f, SkinCoverage(0.5f));
    EXPECT_FLOAT_EQ(0.25f, SkinCoverage(0.25f));
    EXPECT_FLOAT_EQ(0.25f, SkinRectCoverage(2, 3, 2.5f, 3.5f, 10, 10)) << "a quarter of pixel (2, 3)";
    EXPECT_FLOAT_EQ(0.0f, SkinRectCoverage(0, 0, 1, 1, 5, 5));
    EXPECT_FLOAT_EQ(-3.0f, SkinRoundRectDistance(7, 5, 0, 0, 10, 10, 2)) << "inside, 3 from the nearest side";
    EXPECT_NEAR(std::sqrt(2.0f) - 1, SkinRoundRectDistance(0, 0, 0, 0, 10, 10, 1), 1e-5) << "outside the round corner";
    EXPECT_FLOAT_EQ(0.0f, SkinRoundRectDistance(10, 5, 0, 0, 10, 10, 4)) << "on a straight side";
    EXPECT_FLOAT_EQ(3.0f, SkinSegmentDistance(0, 3, -5, 0, 5, 0));
    EXPECT_FLOAT_EQ(5.0f, SkinSegmentDistance(8, 4, 0, 0, 5, 0)) << "past the end: to the end point";

    struct { CSkinShape shape; int x, y; float expected; } cases[] = {
        {{CSkinShape::ROUND_RECT, {0, 0, 10, 4, 1}}, 5, 2, 1},
        {{CSkinShape::ROUND_RECT, {0, 0, 10, 4, 1}}, 10, 2, 0},
        {{CSkinShape::RING, {0, 0, 10, 10, 1, 1, 2}}, 0, 5, 1},    // the outline
        {{CSkinShape::RING, {0, 0, 10, 10, 1, 1, 2}}, 5, 5, 0},    // inside it
        {{CSkinShape::RING, {0, 0, 10, 10, 1.5f, 1.5f, 2}}, 1, 5, 0.5f},
        {{CSkinShape::SEGMENTS, {0, 0.5f, 10, 0.5f, 0, 20, 10, 20, 1}}, 4, 0, 1},
        {{CSkinShape::SEGMENTS, {0, 0.5f, 10, 0.5f, 0, 20.5f, 10, 20.5f, 1}}, 4, 20, 1},
        {{CSkinShape::SEGMENTS, {0, 0.5f, 10, 0.5f, 0, 20, 10, 20, 1}}, 4, 1, 0},
        {{CSkinShape::RECT, {1, 1, 3.5f, 2}}, 3, 1, 0.5f},
        {{CSkinShape::CIRCLE, {5, 5, 2}}, 4, 4, 1},
        {{CSkinShape::CIRCLE, {5, 5, 2}}, 1, 4, 0},
    };
    for (const auto& t : cases)
        EXPECT_NEAR(t.expected, SkinShapeCoverage(t.shape, t.x, t.y), 1e-5) << "kind " << t.shape.kind << " " << t.x
                                                                          << "," << t.y;

    // Scaled: pairs by x and y, an odd last value (a length) by their mean.
    const CSkinShape ring = SkinScaleShape({CSkinShape::RING, {1, 2, 3, 4, 5, 6, 7}}, 2, 4);
    EXPECT_EQ((std::vector<float>{2, 8, 6, 16, 10, 24, 21}), std::vector<float>(ring.v, ring.v + 7));
    const CSkinShape rect = SkinScaleShape({CSkinShape::RECT, {1, 2, 3, 4, 9}}, 2, 4);
    EXPECT_EQ((std::vector<float>{2, 8, 6, 16, 9}), std::vector<float>(rect.v, rect.v + 5)) << "four values only";
}

TEST(SkinPaintCanvas, LaysColoursOverEachOtherAndFlattensAsThePngLoaderDoes) {
    CSkinCanvas canvas;
    ASSERT_TRUE(canvas.Create(4, 3));
    EXPECT_FALSE(CSkinCanvas().Create(0, 3));
    canvas.Paint({CSkinShape::RECT, {0, 0, 4, 3}}, SkinRgba(RGB(0, 0, 0)), SkinRgba(RGB(200, 100, 0)));
    EXPECT_EQ(0xFF000000u, SkinArgb(canvas.At(0, 0))) << "the gradient's first row";
    EXPECT_EQ(0xFF643200u, SkinArgb(canvas.At(3, 1))) << "its middle row";
    EXPECT_EQ(0xFFC86400u, SkinArgb(canvas.At(2, 2))) << "its last row";
    canvas.Paint({CSkinShape::RECT, {0, 0, 2, 3}}, SkinRgba(RGB(255, 255, 255), 0.5f));
    EXPECT_EQ(0xFF808080u, SkinArgb(canvas.At(0, 0))) << "half white over black";
    const BYTE mask[12] = {255, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    canvas.Clear();
    canvas.PaintMask(mask, 1, SkinRgba(RGB(10, 20, 30)));
    EXPECT_EQ(0x0A141Eu, SkinConvertPixel(SkinArgb(canvas.At(0, 1)), kKey)) << "the mask one row lower";
    EXPECT_EQ(kKey, SkinConvertPixel(SkinArgb(canvas.At(0, 0)), kKey)) << "nothing drawn: the key";
    canvas.PaintMask(mask, 5, SkinRgba(RGB(10, 20, 30)));  // entirely below the canvas: nothing
    canvas.PaintMask(mask, -5, SkinRgba(RGB(10, 20, 30)));
    EXPECT_EQ(kKey, SkinConvertPixel(SkinArgb(canvas.At(0, 0)), kKey));
}

namespace {
struct Image {
    int w, h;
    std::vector<DWORD> px;
    Image(int w_, int h_, DWORD fill = 0) : w(w_), h(h_), px(static_cast<size_t>(w_) * h_, fill) {}
    CSkinPixels View() { return {px.data(), w, h, w}; }
    DWORD& At(int x, int y) { return px[y * w + x]; }
};
}  // namespace

TEST(SkinPaintResample, KeepsFlatAreasExactEdgesShortAndReadsOnlyItsRectangle) {
    // Red outside the rectangle read, a black and white step inside it.
    Image src(20, 10, 0xFF0000);
    for (int y = 2; y < 8; ++y)
        for (int x = 2; x < 18; ++x) src.At(x, y) = x < 10 ? 0x000000 : 0xFFFFFF;
    for (int scale : {1, 2, 3}) {
        Image dst(16 * scale + 2, 6 * scale + 2, 0x123456);
        ASSERT_TRUE(SkinResample(src.View(), {2, 2, 18, 8}, dst.View(), {1, 1, 1 + 16 * scale, 1 + 6 * scale}));
        EXPECT_EQ(0x123456u, dst.At(0, 0)) << "outside rcDst: untouched";
        int between = 0;
        for (int y = 1; y < 1 + 6 * scale; ++y)
            for (int x = 1; x < 1 + 16 * scale; ++x) {
                const DWORD p = dst.At(x, y);
                ASSERT_EQ(Channel(p, 16), Channel(p, 0)) << "grey: no red read from outside, at " << x << "," << y;
                between += y == 1 && Channel(p, 0) > 20 && Channel(p, 0) < 235;
            }
        EXPECT_EQ(0x000000u, dst.At(1, 3 * scale)) << "flat black stays black";
        EXPECT_EQ(0xFFFFFFu, dst.At(16 * scale, 3 * scale)) << "flat white stays white";
        EXPECT_LE(between, scale == 1 ? 0 : 2) << "the step's ramp at " << scale << "x";
    }
    Image dst(8, 8);
    EXPECT_FALSE(SkinResample(src.View(), {2, 2, 2, 8}, dst.View(), {0, 0, 8, 8})) << "empty source";
    EXPECT_FALSE(SkinResample(src.View(), {2, 2, 21, 8}, dst.View(), {0, 0, 8, 8})) << "outside the source";
    EXPECT_FALSE(SkinResample(src.View(), {0, 0, 20, 10}, dst.View(), {0, 0, 9, 8})) << "outside the target";
    EXPECT_FALSE(SkinResample(src.View(), {0, 0, 20, 10}, dst.View(), {0, 0, 8, 4})) << "below half";
    EXPECT_EQ(0u, dst.At(0, 0)) << "a refused resample writes nothing";
}

namespace {

struct ArtCase {
    UINT id;
    int w, h;  // one state at 96 DPI
};
const ArtCase kArts[] = {
    {IDB_SKIN_INSTALL, 140, 40}, {IDB_SKIN_FINISH, 140, 40}, {IDB_SKIN_BROWSE, 86, 30},
    {IDB_SKIN_CHECKBOX, 14, 14}, {IDB_SKIN_PATH_ERROR, 117, 12}, {IDB_SKIN_PROGRESS_TRACK, 580, 4},
    {IDB_SKIN_PROGRESS_FILL, 580, 4}, {IDB_SKIN_CLOSE, 17, 15}, {IDB_SKIN_MINIMIZE, 17, 15},
};

// The caption buttons' ground: the background as the window shows it at
// dpi, and where each button lies on it.
struct Ground {
    HBITMAP hBack;
    CSkinPixels px;
    explicit Ground(UINT dpi) {
        HBITMAP h = LoadPngBitmap(Self(), IDB_SKIN_BACKGROUND);
        hBack = dpi == 96 ? h : ScaleSkinBackground(h, 1, dpi);
        if (hBack != h) ::DeleteObject(h);
        SkinBitmapPixels(hBack, &px);
    }
    ~Ground() { ::DeleteObject(hBack); }
    CSkinGround At(UINT id, UINT dpi) const {
        return {&px, {SkinScale(id == IDB_SKIN_CLOSE ? 595 : 568, dpi), SkinScale(10, dpi)}};
    }
};

// Whether a label of a push button or the path error lies at (x, y) of one
// state w x h: the drawn text and the runtime font's differ in hinting.
bool InLabel(UINT id, int x, int y, int w, int h) {
    if (id == IDB_SKIN_PATH_ERROR) return x >= 14;
    if (id == IDB_SKIN_INSTALL || id == IDB_SKIN_FINISH || id == IDB_SKIN_BROWSE)
        return x >= w / 6 && x < w - w / 6 && y >= h / 5 && y < h - h / 5;
    return false;
}

}  // namespace

TEST(SkinArt, DrawnAt96DpiItIsTheImageDrawSkinDrew) {
    // Shapes, colours and states as scripts/draw-skin.sh draws them: a
    // change to one that misses the other fails here.
    const Ground ground(96);
    for (const ArtCase& art : kArts) {
        const Pixels png(LoadPngBitmap(Self(), art.id));
        const CSkinGround at = ground.At(art.id, 96);
        const Pixels drawn(DrawSkinArt(art.id, {art.w, art.h}, 96, &at));
        ASSERT_EQ(png.width, drawn.width) << art.id;
        ASSERT_EQ(png.height, drawn.height) << art.id;
        // Per state: the mean difference outside the label, the pixels far
        // off, and roughly as much label ink (the label there, and one).
        const int states = png.width / art.w;
        std::vector<int> n(states), total(states), offs(states), ink[2] = {std::vector<int>(states), std::vector<int>(states)};
        for (int y = 0; y < png.height; ++y)
            for (int x = 0; x < png.width; ++x) {
                const int s = std::min(x / art.w, states - 1);  // the fill is wider than its track
                const DWORD a = png.At(x, y), b = drawn.At(x, y);
                if (InLabel(art.id, x - s * art.w, y, art.w, art.h)) {
                    ink[0][s] += Difference(a, png.At(s * art.w + 4, art.h / 2)) > 40;
                    ink[1][s] += Difference(b, drawn.At(s * art.w + 4, art.h / 2)) > 40;
                    continue;
                }
                // Key against a faint edge pixel counts as no difference.
                const int d = (a == kKey) != (b == kKey) ? 0 : Difference(a, b);
                total[s] += d;
                offs[s] += d > 48;
                ++n[s];
            }
        for (int s = 0; s < states; ++s) {
            EXPECT_LT(total[s], 6 * n[s]) << "mean difference of image " << art.id << ", state " << s;
            EXPECT_LE(offs[s] * 100, n[s] * 2) << "pixels far off in image " << art.id << ", state " << s;
            if (!ink[0][s]) continue;  // no label
            EXPECT_GT(ink[1][s] * 10, ink[0][s] * 6) << "label ink of image " << art.id << ", state " << s;
            EXPECT_LT(ink[1][s] * 10, ink[0][s] * 20) << "label ink of image " << art.id << ", state " << s;
        }
    }
}

TEST(SkinArt, DrawnAtOtherDpisItTakesTheSizeAskedAndKeepsEdgesSharp) {
    for (UINT dpi : {120u, 144u, 192u}) {
        const Ground ground(dpi);
        for (const ArtCase& art : kArts) {
            const SIZE frame = {SkinScale(art.w, dpi), SkinScale(art.h, dpi)};
            const CSkinGround at = ground.At(art.id, dpi);
            const Pixels drawn(DrawSkinArt(art.id, frame, dpi, &at));
            const int states = art.id == IDB_SKIN_CHECKBOX ? 7 : (art.w > 150 || art.id == IDB_SKIN_PATH_ERROR) ? 1 : 4;
            const int extra = art.id == IDB_SKIN_PROGRESS_FILL ? 2 * SkinScale(10, dpi) : 0;
            ASSERT_EQ(states * frame.cx + extra, drawn.width) << art.id << " at " << dpi;
            ASSERT_EQ(frame.cy, drawn.height) << art.id << " at " << dpi;
        }
        // Across the middle row of the unchecked box, from the see-through
        // ring to the white fill: the outline, as wide as it is scaled, and
        // at most one part-covered pixel at each of its sides.
        const Pixels box(DrawSkinArt(IDB_SKIN_CHECKBOX, {SkinScale(14, dpi), SkinScale(14, dpi)}, dpi));
        const int y = box.height / 2, line = (static_cast<int>(dpi) + 48) / 96;
        int x = 0, ramp = 0;
        while (box.At(x, y) == kKey) ++x;
        for (; box.At(x, y) != 0xFFFFFF && x < box.width / 7; ++x) ++ramp;
        EXPECT_LE(ramp, line + 1) << "from the ring into the box at " << dpi;
        EXPECT_GE(ramp, line) << "the outline at " << dpi;
        // The push button's outline is the frame's outermost pixels.
        const SIZE button = {SkinScale(140, dpi), SkinScale(40, dpi)};
        const Pixels install(DrawSkinArt(IDB_SKIN_INSTALL, button, dpi));
        EXPECT_EQ(0xF58A22u, install.At(0, button.cy / 2)) << dpi;
        EXPECT_EQ(0xF58A22u, install.At(button.cx - 1, button.cy / 2)) << dpi;
        EXPECT_EQ(0xF58A22u, install.At(button.cx / 8, 0)) << dpi;
    }
}

TEST(SkinArt, WhatItCannotDrawItRefuses) {
    const Ground ground(144);
    const CSkinGround none = {nullptr, {0, 0}};
    const CSkinGround outside = {&ground.px, {ground.px.width - 10, 0}};
    EXPECT_EQ(nullptr, DrawSkinArt(IDB_SKIN_BACKGROUND, {933, 633}, 144)) << "resampled, not drawn";
    EXPECT_EQ(nullptr, DrawSkinArt(IDB_SKIN_CLOSE, {26, 23}, 144)) << "no ground";
    EXPECT_EQ(nullptr, DrawSkinArt(IDB_SKIN_CLOSE, {26, 23}, 144, &none));
    EXPECT_EQ(nullptr, DrawSkinArt(IDB_SKIN_CLOSE, {26, 23}, 144, &outside)) << "the button beyond the ground";
    EXPECT_EQ(nullptr, DrawSkinArt(IDB_SKIN_INSTALL, {0, 60}, 144));
    EXPECT_EQ(nullptr, DrawSkinArt(IDB_SKIN_INSTALL, {210, 0}, 144));
    EXPECT_EQ(nullptr, DrawSkinArt(9999, {10, 10}, 144));
}

TEST(SkinArt, TheBackgroundKeepsASharpFrameAndNoKeyColour) {
    HBITMAP hBack = LoadPngBitmap(Self(), IDB_SKIN_BACKGROUND);
    const Pixels design(LoadPngBitmap(Self(), IDB_SKIN_BACKGROUND));
    for (UINT dpi : {72u, 120u, 144u, 192u}) {
        const Pixels scaled(ScaleSkinBackground(hBack, 1, dpi));
        ASSERT_EQ(SkinScale(622, dpi), scaled.width);
        ASSERT_EQ(SkinScale(422, dpi), scaled.height);
        const int b = SkinScale(1, dpi), W = scaled.width, H = scaled.height;
        int frame = 0, inside = 0, keys = 0;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const DWORD p = scaled.At(x, y);
                keys += p == kKey;
                if (x < b || y < b || x >= W - b || y >= H - b) frame += p != 0;
                // The white page just inside the frame: no black bled in.
                if (y > H * 3 / 4 && y < H - b && (x == b || x == W - b - 1)) inside += p != 0xFFFFFF;
            }
        EXPECT_EQ(0, frame) << "the black frame, pixel for pixel, at " << dpi;
        EXPECT_EQ(0, inside) << "the page inside it at " << dpi;
        EXPECT_EQ(0, keys) << dpi;
        // The art itself: a dark pixel of the caption text stays dark.
        EXPECT_LT(Difference(scaled.At(SkinScale(300, dpi), SkinScale(128, dpi)), design.At(300, 128)), 40) << dpi;
    }
    HBITMAP hSmall = ::CreateBitmap(2, 2, 1, 32, nullptr);
    EXPECT_EQ(nullptr, ScaleSkinBackground(hSmall, 1, 144)) << "nothing inside its frame";
    EXPECT_EQ(nullptr, ScaleSkinBackground(nullptr, 1, 144));
    ::DeleteObject(hSmall);
    ::DeleteObject(hBack);
}
