// The skinned window's geometry without windows: scaling by the DPI,
// background blits, window shape, hit testing, caption and maximise geometry.
#include <gtest/gtest.h>
#include "skin/SkinDpi.h"
#include "skin/SkinGeometry.h"
#include <set>
#include <utility>
#include <vector>

namespace {
template <class T>
std::vector<T> ToVector(const CArray<T>& a) { return std::vector<T>(a.begin(), a.end()); }
SkinBlit B(int x, int y, int dx, int dy, int sx, int sy) { return {x, y, dx, dy, sx, sy, dx, dy, false}; }
SkinBlit S(int x, int y, int dx, int dy, int sx, int sy, int sdx, int sdy) { return {x, y, dx, dy, sx, sy, sdx, sdy, true}; }
std::vector<SkinBlit> BottomRow(int W, int H, int bw, int bh, int b) {
    return {B(0, H - b, b, b, 0, bh - b), S(b, H - b, W - 2 * b, b, b, bh - b, bw - 2 * b, b),
            B(W - b, H - b, b, b, bw - b, bh - b)};
}
std::vector<SkinBlit> Concat(std::vector<SkinBlit> a, const std::vector<SkinBlit>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
}  // namespace

TEST(SkinBackground, PlainModeCopiesOneToOneAndRedrawsTheRightAndBottomBorder) {
    // The installer: 622 x 422, border 1, whole-window caption.
    EXPECT_EQ(Concat({B(0, 0, 622, 422, 0, 0), B(621, 0, 1, 1, 621, 0), S(621, 1, 1, 420, 621, 1, 1, 420)},
                     BottomRow(622, 422, 622, 422, 1)),
              ToVector(SkinBackgroundBlits(622, 422, 622, 422, 1, -1, FALSE)));
    // Wider window with a caption strip: the last columns come from the bitmap's edge.
    EXPECT_EQ(Concat({B(0, 0, 700, 422, 0, 0), B(697, 0, 3, 30, 619, 0), S(697, 30, 3, 389, 619, 30, 3, 389)},
                     BottomRow(700, 422, 622, 422, 3)),
              ToVector(SkinBackgroundBlits(700, 422, 622, 422, 3, 30, FALSE)));
}

TEST(SkinBackground, StretchModeIsANineSliceWithTheCaptionTiled) {
    EXPECT_EQ(Concat({B(0, 0, 3, 3, 0, 0), S(3, 0, 294, 3, 3, 0, 94, 3), B(297, 0, 3, 3, 97, 0),
                      S(0, 3, 3, 194, 0, 3, 3, 74), S(297, 3, 3, 194, 97, 3, 3, 74),
                      S(3, 3, 294, 194, 3, 3, 94, 74)},
                     BottomRow(300, 200, 100, 80, 3)),
              ToVector(SkinBackgroundBlits(300, 200, 100, 80, 3, -1, TRUE)));

    // Caption 30, border 1, bitmap 100 wide, window 300: tiles at 1, 99, 197, 295, 393.
    const auto blits = ToVector(SkinBackgroundBlits(300, 200, 100, 80, 1, 30, TRUE));
    std::vector<SkinBlit> expected = {B(0, 0, 1, 30, 0, 0)};
    for (int x : {1, 99, 197, 295, 393}) expected.push_back(B(x, 0, 98, 30, 1, 0));
    expected = Concat(expected, {B(299, 0, 1, 30, 99, 0), S(0, 30, 1, 169, 0, 30, 1, 49),
                                 S(299, 30, 1, 169, 99, 30, 1, 49), S(1, 30, 298, 169, 1, 30, 98, 49)});
    EXPECT_EQ(Concat(expected, BottomRow(300, 200, 100, 80, 1)), blits);
}

TEST(SkinBackground, StretchModeWithABitmapNoWiderThanTwoBordersDrawsNoTiles) {
    for (int bw : {6, 4, 0}) {
        const auto blits = ToVector(SkinBackgroundBlits(300, 200, bw, 80, 3, 30, TRUE));
        ASSERT_EQ(5u + 3u, blits.size()) << bw;  // caption ends, edges, middle, bottom row
        EXPECT_EQ(B(297, 0, 3, 30, bw - 3, 0), blits[1]) << "the caption's right end follows its left end";
    }
}

namespace {
std::set<std::pair<int, int>> Removed(int W, int H, int bw, int bh, const std::set<std::pair<int, int>>& keys) {
    std::set<std::pair<int, int>> out;
    for (const POINT& p : SkinCornerKeyPixels(W, H, bw, bh, [&](int x, int y) {
             EXPECT_TRUE(x >= 0 && y >= 0 && x < bw && y < bh) << "read outside the bitmap: " << x << "," << y;
             return keys.count({x, y}) > 0;
         }))
        out.insert({p.x, p.y});
    return out;
}
}  // namespace

TEST(SkinShape, CornerKeyPixelsFollowTheWindowCorners) {
    const std::set<std::pair<int, int>> corners = {{0, 0}, {99, 0}, {0, 59}, {99, 59}};
    for (auto size : {std::make_pair(100, 60), std::make_pair(300, 200), std::make_pair(50, 30)}) {
        const int W = size.first, H = size.second;
        EXPECT_EQ((std::set<std::pair<int, int>>{{0, 0}, {W - 1, 0}, {0, H - 1}, {W - 1, H - 1}}),
                  Removed(W, H, 100, 60, corners))
            << W << "x" << H;
    }
    // A quarter-circle-like corner moves as a whole.
    EXPECT_EQ((std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {0, 1}, {199, 0}, {198, 0}}),
              Removed(200, 100, 100, 60, {{0, 0}, {1, 0}, {0, 1}, {99, 0}, {98, 0}}));
}

TEST(SkinShape, KeyPixelsOutsideTheCornerSquaresAndNoKeysLeaveTheRectangle) {
    EXPECT_TRUE(Removed(300, 200, 100, 60, {}).empty());
    EXPECT_TRUE(Removed(300, 200, 100, 60, {{9, 0}, {0, 9}, {50, 30}, {90, 0}, {0, 50}}).empty());
    // A bitmap smaller than the squares: the bands overlap, nothing is read
    // outside it, and its corners still land on the window's corners.
    const auto tiny = Removed(10, 10, 4, 4, {{0, 0}, {3, 3}});
    EXPECT_TRUE(tiny.count({0, 0}));
    EXPECT_TRUE(tiny.count({9, 9}));
}

TEST(SkinHitTest, AnswersCaptionResizeZonesOrDefault) {
    struct { int x, y, c; BOOL resizable; BOOL skin; LRESULT code; } cases[] = {
        // The installer: not resizable, whole-window caption.
        {300, 300, -1, FALSE, TRUE, HTCAPTION},
        {0, 0, -1, FALSE, TRUE, HTCAPTION},
        {100, 20, 30, FALSE, TRUE, HTCAPTION},
        {100, 30, 30, FALSE, FALSE, 0},
        // Resizable, border 3, caption 30, client 400 x 300.
        {1, 1, 30, TRUE, TRUE, HTTOPLEFT},
        {1, 299, 30, TRUE, TRUE, HTBOTTOMLEFT},
        {1, 150, 30, TRUE, TRUE, HTLEFT},
        {398, 0, 30, TRUE, TRUE, HTTOPRIGHT},
        {399, 298, 30, TRUE, TRUE, HTBOTTOMRIGHT},
        {397, 150, 30, TRUE, TRUE, HTRIGHT},
        {100, 2, 30, TRUE, TRUE, HTTOP},
        {100, 20, 30, TRUE, TRUE, HTCAPTION},
        {100, 299, 30, TRUE, TRUE, HTBOTTOM},
        {100, 150, 30, TRUE, FALSE, 0},
        {100, 299, -1, TRUE, TRUE, HTCAPTION},
    };
    for (const auto& t : cases) {
        LRESULT code = -99;
        EXPECT_EQ(t.skin, SkinHitTest({t.x, t.y}, 400, 300, 3, t.c, t.resizable, &code)) << t.x << "," << t.y;
        if (t.skin) {
            EXPECT_EQ(t.code, code) << t.x << "," << t.y << " caption " << t.c;
        }
    }
}

TEST(SkinGeometry, CaptionTextAndIconTops) {
    EXPECT_EQ(12, SkinCaptionTextTop(40));
    EXPECT_EQ(4, SkinCaptionTextTop(-1));
    EXPECT_EQ(6, SkinCaptionIconTop(-1));
    EXPECT_EQ(12, SkinCaptionIconTop(40));
}

TEST(SkinGeometry, MaximisedRectIsCentredAndBoundedRestoreRectIsAnEighthIn) {
    const RECT work = {0, 0, 1921, 1081};
    const RECT max = SkinMaximizedRect(work, 1440, 900);
    EXPECT_EQ(240, max.left);
    EXPECT_EQ(1441, max.right - max.left) << "odd difference: one pixel larger";
    EXPECT_EQ(90, max.top);
    EXPECT_EQ(901, max.bottom - max.top);
    const RECT small = {0, 0, 1280, 800};
    const RECT same = SkinMaximizedRect(small, 1440, 900);
    EXPECT_TRUE(EqualRect(&small, &same));

    const RECT restore = SkinInitialRestoreRect({100, 50, 1380, 1010});
    EXPECT_EQ(160, restore.left) << "W / 8, not offset by the work area's left";
    EXPECT_EQ(120, restore.top);
    EXPECT_EQ(1380 - 160, restore.right);
    EXPECT_EQ(1010 - 120, restore.bottom);
}

TEST(SkinDpi, ScalesEachEdgeSoThatNeighboursStillMeet) {
    struct { int v; UINT dpi; int expected; } cases[] = {
        {622, 96, 622}, {622, 120, 778}, {622, 144, 933}, {622, 192, 1244}, {422, 144, 633},
        {23, 120, 29},   // 28.75
        {10, 120, 13},   // 12.5: half away from zero
        {-12, 144, -18}, {-10, 120, -13}, {0, 192, 0}, {12, 72, 9},
    };
    for (const auto& t : cases) EXPECT_EQ(t.expected, SkinScale(t.v, t.dpi)) << t.v << " at " << t.dpi;
    // The install folder's group box ends where the browse button starts,
    // the check box's box and gap where its label starts: at every DPI.
    for (UINT dpi = 72; dpi <= 480; dpi += 4) {
        const RECT group = SkinScaleRect({23, 270, 515, 308}, dpi), browse = SkinScaleRect({515, 277, 601, 307}, dpi);
        ASSERT_EQ(group.right, browse.left) << dpi;
        ASSERT_EQ(SkinScale(23 + 14, dpi), SkinScale(23, dpi) + (SkinScale(37, dpi) - SkinScale(23, dpi))) << dpi;
        ASSERT_LE(SkinScale(622, dpi) - SkinScale(10, dpi), SkinScale(612, dpi) + 1) << dpi;
    }
    struct { UINT in, out; } sane[] = {{96, 96}, {120, 120}, {48, 48}, {480, 480}, {0, 96}, {47, 96}, {481, 96},
                                       {0xFFFFFFFF, 96}};
    for (const auto& t : sane) EXPECT_EQ(t.out, SkinSaneDpi(t.in)) << t.in;
}
