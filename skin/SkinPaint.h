// The arithmetic of drawing the skin at any size, apart from any device
// context: how much of a pixel a shape covers, found from the signed
// distance to its edge (rounded rectangles, lines, circles) or exactly (a
// rectangle); colours laid over each other on a small canvas; and pictures
// resampled through a Catmull-Rom filter.
#pragma once
#include <windows.h>
#include <cstddef>
#include "skin/SkinImage.h"

// The share of a pixel a shape covers when the pixel's centre lies d pixels
// outside the shape's edge (negative d: inside): 0 to 1, exact for a
// straight edge.
float SkinCoverage(float d);
// Signed distance from (x, y) to the rectangle [l, r] x [t, b] whose corners
// are rounded with radius rad: negative inside.
float SkinRoundRectDistance(float x, float y, float l, float t, float r, float b, float rad);
// Distance from (x, y) to the segment from (x0, y0) to (x1, y1).
float SkinSegmentDistance(float x, float y, float x0, float y0, float x1, float y1);
// The share of pixel (px, py) that the rectangle [l, r) x [t, b) covers.
float SkinRectCoverage(int px, int py, float l, float t, float r, float b);

// A colour with its opacity, each 0 to 1, the colour premultiplied.
struct SkinColor {
    float r, g, b, a;
};
// COLORREF c at opacity alpha.
SkinColor SkinRgba(COLORREF c, float alpha = 1.0f);
// src laid over dst.
SkinColor SkinOver(SkinColor src, SkinColor dst);
// The colour of row y of h from top to bottom, as a vertical gradient
// through the rows' centres has it (top at row 0, bottom at row h - 1).
SkinColor SkinGradient(SkinColor top, SkinColor bottom, int y, int h);
// As a decoded PNG pixel, 0xAARRGGBB with the colour not premultiplied.
DWORD SkinArgb(SkinColor c);

// A shape in the pixels of a frame: how much of each pixel it covers. Its
// values are pairs of x and y, then, for an odd count, a length.
struct CSkinShape {
    enum Kind : BYTE {
        ROUND_RECT,  // l, t, r, b, corner radius
        RING,        // the outline between the rounded rectangle l, t, r, b, radius (v[6])
                     // and the one v[4], v[5] inside it, with a radius (v[4] + v[5]) / 2 smaller
        SEGMENTS,    // two segments (x0, y0)-(x1, y1), (x2, y2)-(x3, y3), v[8] wide, round ends
        RECT,        // l, t, r, b, covered exactly
        CIRCLE,      // centre x, y, radius
    } kind;
    float v[9];
};
float SkinShapeCoverage(const CSkinShape& shape, int x, int y);
// shape drawn fx times as wide and fy times as high; its lengths scaled by
// the mean of the two.
CSkinShape SkinScaleShape(const CSkinShape& shape, float fx, float fy);

// One frame of art being drawn: w x h pixels, all transparent at first.
class CSkinCanvas {
public:
    CSkinCanvas() = default;
    ~CSkinCanvas() { delete[] m_pixels; }
    CSkinCanvas(const CSkinCanvas&) = delete;
    CSkinCanvas& operator=(const CSkinCanvas&) = delete;

    // FALSE without memory (or for a size below 1 x 1 or above 8192).
    BOOL Create(int w, int h);
    // All transparent again.
    void Clear();
    int Width() const { return m_w; }
    int Height() const { return m_h; }
    SkinColor& At(int x, int y) { return m_pixels[y * m_w + x]; }
    // Lays shape over the canvas in a colour that runs from top in the first
    // row to bottom in the last (the same colour twice: one colour).
    void Paint(const CSkinShape& shape, SkinColor top, SkinColor bottom);
    void Paint(const CSkinShape& shape, SkinColor colour) { Paint(shape, colour, colour); }
    // Lays colour over the canvas through mask (a coverage byte per pixel of
    // the canvas, top row first) moved dy rows down.
    void PaintMask(const BYTE* mask, int dy, SkinColor colour);

private:
    SkinColor* m_pixels = nullptr;
    int m_w = 0;
    int m_h = 0;
};

// Resamples the part rcSrc of src into the part rcDst of dst through a
// Catmull-Rom filter, widened when the picture shrinks; the filter reads
// only inside rcSrc, whose edge pixels it repeats beyond it. FALSE, with dst
// unchanged, without memory or for an empty or outlying rectangle.
BOOL SkinResample(const CSkinPixels& src, const RECT& rcSrc, const CSkinPixels& dst, const RECT& rcDst);
