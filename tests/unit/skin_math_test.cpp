// The skin's arithmetic without windows: pixel conversion, control states,
// check-box fit, progress fill and label layout (the window's geometry is in
// skin_geometry_test.cpp).
#include <gtest/gtest.h>
#include "skin/SkinImage.h"
#include "controls/SkinCtrl.h"
#include "controls/Chk2Btn.h"
#include "controls/ImgProgress.h"
#include "controls/StaticEx.h"
#include <string>

TEST(SkinPixels, BlendOverWhiteMatchesTheWorkedValues) {
    struct { BYTE c, a, expected; } cases[] = {
        {0, 128, 127}, {0, 1, 254}, {0, 254, 1}, {100, 128, 177}, {0, 255, 0}, {77, 255, 77},
    };
    for (const auto& t : cases) EXPECT_EQ(t.expected, SkinBlendOverWhite(t.c, t.a)) << int(t.c) << "/" << int(t.a);
    for (int a = 0; a <= 255; ++a) EXPECT_EQ(255, SkinBlendOverWhite(255, static_cast<BYTE>(a))) << a;
}

TEST(SkinPixels, ConvertsEachAlphaCaseToADibWordWithoutAlpha) {
    struct { DWORD argb; DWORD expected; } cases[] = {
        {0xFF102030, 0x00102030},  // opaque: copied
        {0x00123456, 0x00FF00FF},  // transparent: the key, whatever the colour
        {0x80000000, 0x007F7F7F},  // half over black
        {0x80640064, 0x00B17FB1},  // half of (100, 0, 100)
        {0xFEFF00FE, 0x00FF01FE},  // nearly opaque near-key: not the key
    };
    for (const auto& t : cases) EXPECT_EQ(t.expected, SkinConvertPixel(t.argb, SKIN_KEY_COLOR)) << std::hex << t.argb;
}

TEST(SkinStates, ButtonAndCheckBoxImagesWithThePressedLatch) {
    struct { UINT itemState; BOOL hover; BOOL pressedBefore; int nCheck; int button; int check; BOOL pressedAfter; } cases[] = {
        {0, FALSE, FALSE, 0, 0, 0, FALSE},
        {0, TRUE, FALSE, 0, 1, 1, FALSE},
        {ODS_SELECTED, FALSE, FALSE, 0, 2, 2, TRUE},
        {0, FALSE, TRUE, 0, 2, 2, TRUE},   // dragged off while held: still pressed
        {ODS_FOCUS, TRUE, FALSE, 0, 1, 1, FALSE},
        {ODS_DISABLED, TRUE, TRUE, 0, 3, 6, TRUE},
        {ODS_GRAYED, FALSE, FALSE, 1, 3, 6, FALSE},
        {0, FALSE, FALSE, 1, 0, 3, FALSE},
        {0, TRUE, FALSE, 1, 1, 4, FALSE},
        {ODS_SELECTED, TRUE, FALSE, 1, 2, 5, TRUE},
        {0, TRUE, FALSE, 2, 1, 1, FALSE},  // anything but 1 is unchecked
    };
    for (const auto& t : cases) {
        BOOL pressed = t.pressedBefore;
        EXPECT_EQ(t.button, SkinSelectState(t.itemState, t.hover, &pressed)) << t.itemState << t.hover << t.pressedBefore;
        EXPECT_EQ(t.pressedAfter, pressed);
        pressed = t.pressedBefore;
        EXPECT_EQ(t.check, CheckBoxImageIndex(t.itemState, t.nCheck, t.hover, &pressed)) << t.itemState << t.nCheck;
        EXPECT_EQ(t.pressedAfter, pressed);
    }
}

TEST(SkinCheckBox, FitsBoxAndLabelAtFirstPaint) {
    struct { SIZE cur, text; BOOL fit; SIZE result; } cases[] = {
        {{50, 30}, {60, 16}, TRUE, {79, 16}},  // grows in width, shrinks in height
        {{2, 2}, {0, 0}, TRUE, {19, 14}},      // empty label
        {{79, 16}, {60, 16}, FALSE, {}},       // already fits
        {{200, 40}, {60, 16}, FALSE, {}},      // larger than needed: kept
        {{200, 12}, {60, 16}, TRUE, {79, 16}}, // too low
    };
    for (const auto& t : cases) {
        SIZE got = {-1, -1};
        EXPECT_EQ(t.fit, CheckBoxFitSize(t.cur, {14, 14}, t.text, &got)) << t.cur.cx << "x" << t.cur.cy;
        if (t.fit) {
            EXPECT_EQ(t.result.cx, got.cx);
            EXPECT_EQ(t.result.cy, got.cy);
        }
    }
}

TEST(SkinProgress, FillPiecesComeFromBothEndsOfTheStrip) {
    const RECT fill = ProgressFillRect(580, 4, 600, 4);
    EXPECT_EQ(-10, fill.left);
    EXPECT_EQ(590, fill.right);
    EXPECT_EQ(0, fill.top);
    struct { int pos, lower, upper; ProgressFill f; } cases[] = {
        {0, 0, 100, {0, 0, 0, 0, 0, 0, 0}},
        {1, 0, 100, {6, 0, -10, 3, 597, -7, 3}},
        {7, 0, 100, {42, 0, -10, 21, 579, 11, 21}},
        {50, 0, 100, {300, 0, -10, 150, 450, 140, 150}},
        {100, 0, 100, {600, 0, -10, 300, 300, 290, 300}},
        {100, 50, 150, {600, 0, -10, 300, 300, 290, 300}},  // the position, not pos - lower
        {30, 30, 30, {0, 0, 0, 0, 0, 0, 0}},                 // empty range: nothing
        {-5, 0, 100, {0, 0, 0, 0, 0, 0, 0}},
    };
    for (const auto& t : cases) {
        const ProgressFill f = ProgressFillPieces(t.pos, t.lower, t.upper, fill);
        EXPECT_EQ(t.f.w, f.w) << t.pos;
        if (!t.f.w) continue;
        EXPECT_EQ(t.f.leftSrc, f.leftSrc) << t.pos;
        EXPECT_EQ(t.f.leftDst, f.leftDst) << t.pos;
        EXPECT_EQ(t.f.leftW, f.leftW) << t.pos;
        EXPECT_EQ(t.f.rightSrc, f.rightSrc) << t.pos;
        EXPECT_EQ(t.f.rightDst, f.rightDst) << t.pos;
        EXPECT_EQ(t.f.rightW, f.rightW) << t.pos;
    }
    const ProgressFill odd = ProgressFillPieces(1, 0, 1, {0, 0, 7, 4});
    EXPECT_EQ(7, odd.w);
    EXPECT_EQ(3, odd.leftW);
    EXPECT_EQ(4, odd.rightW) << "the extra pixel goes to the right piece";
}

TEST(SkinProgress, PercentOfTheRangeAndNoneForAnEmptyRange) {
    int pct = -1;
    EXPECT_TRUE(ProgressPercent(45, 0, 100, &pct));
    EXPECT_EQ(45, pct);
    EXPECT_TRUE(ProgressPercent(100, 50, 150, &pct));
    EXPECT_EQ(100, pct);
    EXPECT_FALSE(ProgressPercent(7, 7, 7, &pct));
}

namespace {
// Every character 8 pixels wide except W, which is 100.
int Measure(const CString& s) {
    int w = 0;
    for (int i = 0; i < s.GetLength(); ++i) w += s[i] == L'W' ? 100 : 8;
    return w;
}
std::vector<std::wstring> Wrap(const wchar_t* text, int width) {
    std::vector<std::wstring> out;
    for (const CString& line : WrapLabelText(text, width, [](const CString& line) { return Measure(line); })) out.push_back(line.GetString());
    return out;
}
}  // namespace

TEST(SkinLabel, WrapsBetweenAnyCharactersAtTheWidth) {
    const std::wstring thirty(30, L'x');
    EXPECT_EQ((std::vector<std::wstring>{std::wstring(10, L'x'), std::wstring(10, L'x'), std::wstring(10, L'x')}),
              Wrap(thirty.c_str(), 80)) << "a line exactly as wide as the area fits";
    EXPECT_EQ((std::vector<std::wstring>{L"ab cd", L"e"}), Wrap(L"ab cde", 40)) << "spaces do not matter";
    EXPECT_EQ((std::vector<std::wstring>{L"one", L"two"}), Wrap(L"one\r\ntwo", 200));
    EXPECT_EQ((std::vector<std::wstring>{L"end", L""}), Wrap(L"end\n", 200)) << "a final LF counts an empty line";
    EXPECT_EQ((std::vector<std::wstring>{L""}), Wrap(L"", 200));
}

TEST(SkinLabel, ACharacterWiderThanTheLineStandsAloneAndLayoutEnds) {
    EXPECT_EQ((std::vector<std::wstring>{L"ab", L"W", L"cd"}), Wrap(L"abWcd", 20));
    EXPECT_EQ((std::vector<std::wstring>{L"W", L"W"}), Wrap(L"WW", 20));
    EXPECT_EQ((std::vector<std::wstring>{L"W"}), Wrap(L"W", 20));
}

TEST(SkinLabel, HeightOfTheLines) {
    EXPECT_EQ(54, LabelTextHeight(3, 16, 3));
    EXPECT_EQ(16, LabelTextHeight(1, 16, 3));
    EXPECT_EQ(16 + 16 + 16, LabelTextHeight(3, 16, 0));
}
