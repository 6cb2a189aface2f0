#include "skin/SkinPaint.h"
#include <cmath>
#include <memory>
#include <new>

namespace {

float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
float Max0(float v) { return v > 0 ? v : 0; }
float Min(float a, float b) { return a < b ? a : b; }
float Max(float a, float b) { return a > b ? a : b; }

}  // namespace

float SkinCoverage(float d) { return Clamp01(0.5f - d); }

float SkinRoundRectDistance(float x, float y, float l, float t, float r, float b, float rad) {
    const float hx = (r - l) / 2, hy = (b - t) / 2;
    rad = Min(Max0(rad), Min(hx, hy));
    // Distance to the rectangle shrunk by the radius, less the radius.
    const float qx = std::fabs(x - (l + r) / 2) - (hx - rad), qy = std::fabs(y - (t + b) / 2) - (hy - rad);
    return std::sqrt(Max0(qx) * Max0(qx) + Max0(qy) * Max0(qy)) + Min(Max(qx, qy), 0) - rad;
}

float SkinSegmentDistance(float x, float y, float x0, float y0, float x1, float y1) {
    const float dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    const float t = len2 > 0 ? Clamp01(((x - x0) * dx + (y - y0) * dy) / len2) : 0;
    const float ex = x - (x0 + t * dx), ey = y - (y0 + t * dy);
    return std::sqrt(ex * ex + ey * ey);
}

float SkinRectCoverage(int px, int py, float l, float t, float r, float b) {
    const float w = Min(static_cast<float>(px + 1), r) - Max(static_cast<float>(px), l);
    const float h = Min(static_cast<float>(py + 1), b) - Max(static_cast<float>(py), t);
    return Max0(w) * Max0(h);
}

SkinColor SkinRgba(COLORREF c, float alpha) {
    return {GetRValue(c) / 255.0f * alpha, GetGValue(c) / 255.0f * alpha, GetBValue(c) / 255.0f * alpha, alpha};
}

SkinColor SkinOver(SkinColor src, SkinColor dst) {
    const float k = 1 - src.a;
    return {src.r + dst.r * k, src.g + dst.g * k, src.b + dst.b * k, src.a + dst.a * k};
}

SkinColor SkinGradient(SkinColor top, SkinColor bottom, int y, int h) {
    const float t = h > 1 ? static_cast<float>(y) / (h - 1) : 0;
    return {top.r + (bottom.r - top.r) * t, top.g + (bottom.g - top.g) * t, top.b + (bottom.b - top.b) * t,
            top.a + (bottom.a - top.a) * t};
}

DWORD SkinArgb(SkinColor c) {
    const float a = Clamp01(c.a);
    if (a <= 0) return 0;
    auto channel = [a](float v) { return static_cast<DWORD>(Clamp01(v / a) * 255 + 0.5f); };
    return (static_cast<DWORD>(a * 255 + 0.5f) << 24) | (channel(c.r) << 16) | (channel(c.g) << 8) | channel(c.b);
}

float SkinShapeCoverage(const CSkinShape& s, int x, int y) {
    const float* v = s.v;
    const float cx = x + 0.5f, cy = y + 0.5f;
    switch (s.kind) {
    case CSkinShape::ROUND_RECT:
        return SkinCoverage(SkinRoundRectDistance(cx, cy, v[0], v[1], v[2], v[3], v[4]));
    case CSkinShape::RING: {
        const float inner = SkinCoverage(SkinRoundRectDistance(cx, cy, v[0] + v[4], v[1] + v[5], v[2] - v[4], v[3] - v[5],
                                                               v[6] - (v[4] + v[5]) / 2));
        return Max0(SkinCoverage(SkinRoundRectDistance(cx, cy, v[0], v[1], v[2], v[3], v[6])) - inner);
    }
    case CSkinShape::SEGMENTS:
        return SkinCoverage(Min(SkinSegmentDistance(cx, cy, v[0], v[1], v[2], v[3]),
                                SkinSegmentDistance(cx, cy, v[4], v[5], v[6], v[7])) - v[8] / 2);
    case CSkinShape::RECT:
        return SkinRectCoverage(x, y, v[0], v[1], v[2], v[3]);
    case CSkinShape::CIRCLE:
        return SkinCoverage(std::sqrt((cx - v[0]) * (cx - v[0]) + (cy - v[1]) * (cy - v[1])) - v[2]);
    }
    return 0;
}

CSkinShape SkinScaleShape(const CSkinShape& shape, float fx, float fy) {
    static const BYTE kValues[] = {5, 7, 9, 4, 3};  // per kind
    CSkinShape scaled = shape;
    const int n = kValues[shape.kind];
    for (int i = 0; i < n; ++i) scaled.v[i] *= (n % 2 && i == n - 1) ? (fx + fy) / 2 : (i % 2 ? fy : fx);
    return scaled;
}

BOOL CSkinCanvas::Create(int w, int h) {
    delete[] m_pixels;
    m_pixels = nullptr;
    m_w = m_h = 0;
    if (w < 1 || h < 1 || w > 8192 || h > 8192) return FALSE;
    m_pixels = new (std::nothrow) SkinColor[static_cast<size_t>(w) * h];
    if (!m_pixels) return FALSE;
    m_w = w;
    m_h = h;
    Clear();
    return TRUE;
}

void CSkinCanvas::Clear() {
    for (int i = 0; i < m_w * m_h; ++i) m_pixels[i] = {0, 0, 0, 0};
}

namespace {

SkinColor Scaled(SkinColor c, float k) { return {c.r * k, c.g * k, c.b * k, c.a * k}; }

}  // namespace

void CSkinCanvas::Paint(const CSkinShape& shape, SkinColor top, SkinColor bottom) {
    for (int y = 0; y < m_h; ++y) {
        const SkinColor c = SkinGradient(top, bottom, y, m_h);
        for (int x = 0; x < m_w; ++x) {
            const float k = SkinShapeCoverage(shape, x, y);
            if (k > 0) At(x, y) = SkinOver(Scaled(c, k), At(x, y));
        }
    }
}

void CSkinCanvas::PaintMask(const BYTE* mask, int dy, SkinColor colour) {
    for (int y = dy > 0 ? dy : 0; y < m_h && y - dy < m_h; ++y)
        for (int x = 0; x < m_w; ++x)
            if (const BYTE k = mask[(y - dy) * m_w + x]) At(x, y) = SkinOver(Scaled(colour, k / 255.0f), At(x, y));
}

namespace {

float CatmullRom(float x) {
    x = std::fabs(x);
    if (x < 1) return (1.5f * x - 2.5f) * x * x + 1;
    if (x < 2) return ((-0.5f * x + 2.5f) * x - 4) * x + 2;
    return 0;
}

// The source pixels one output pixel is made of: from first on, count of
// them, with weights in units of 1/16384 that add up to 16384. Shrinking to
// half (48 DPI) needs 9.
const int kMaxTaps = 10;
const int kOne = 1 << 14;
struct CTaps {
    int first;
    int count;
    int weight[kMaxTaps];
};

// Output pixel i of dstN made from srcN source pixels.
CTaps MakeTaps(int i, int srcN, int dstN) {
    const float scale = static_cast<float>(dstN) / srcN;
    const float squeeze = scale < 1 ? scale : 1;  // a wider filter when shrinking
    const float centre = (i + 0.5f) / scale - 0.5f;
    CTaps taps = {};
    taps.first = static_cast<int>(std::floor(centre - 2 / squeeze)) + 1;
    float w[kMaxTaps] = {}, sum = 0;
    for (int k = 0; k < kMaxTaps; ++k) {
        const float d = (taps.first + k - centre) * squeeze;
        if (d >= 2) break;
        w[k] = CatmullRom(d);
        sum += w[k];
        taps.count = k + 1;
    }
    int total = 0;
    for (int k = 0; k < taps.count; ++k) total += taps.weight[k] = static_cast<int>(std::floor(w[k] / sum * kOne + 0.5f));
    taps.weight[0] += kOne - total;  // exactly one in sum: a flat area stays as it is
    return taps;
}

int ClampIndex(int i, int n) { return i < 0 ? 0 : (i >= n ? n - 1 : i); }

BYTE ClampByte(int v) { return static_cast<BYTE>(v < 0 ? 0 : (v > 255 ? 255 : v)); }

BOOL Inside(const RECT& rc, int w, int h) {
    return rc.left >= 0 && rc.top >= 0 && rc.right <= w && rc.bottom <= h && rc.left < rc.right && rc.top < rc.bottom;
}

}  // namespace

BOOL SkinResample(const CSkinPixels& src, const RECT& rcSrc, const CSkinPixels& dst, const RECT& rcDst) {
    if (!Inside(rcSrc, src.width, src.height) || !Inside(rcDst, dst.width, dst.height)) return FALSE;
    const int sw = rcSrc.right - rcSrc.left, sh = rcSrc.bottom - rcSrc.top;
    const int dw = rcDst.right - rcDst.left, dh = rcDst.bottom - rcDst.top;
    if (2 * dw < sw || 2 * dh < sh) return FALSE;  // below half the taps do not reach
    // Each output row: the source rows filtered into one row of sums (value
    // x 256), then that row filtered across into the output.
    std::unique_ptr<CTaps[]> across(new (std::nothrow) CTaps[dw]);
    std::unique_ptr<int[]> sums(new (std::nothrow) int[static_cast<size_t>(sw) * 3]);
    if (!across || !sums) return FALSE;
    for (int x = 0; x < dw; ++x) across[x] = MakeTaps(x, sw, dw);
    for (int y = 0; y < dh; ++y) {
        const CTaps down = MakeTaps(y, sh, dh);
        for (int x = 0; x < sw; ++x) {
            int r = 0, g = 0, b = 0;
            for (int k = 0; k < down.count; ++k) {
                const DWORD p = src.At(rcSrc.left + x, rcSrc.top + ClampIndex(down.first + k, sh));
                r += down.weight[k] * static_cast<int>((p >> 16) & 0xFF);
                g += down.weight[k] * static_cast<int>((p >> 8) & 0xFF);
                b += down.weight[k] * static_cast<int>(p & 0xFF);
            }
            sums[3 * x] = r >> 6;
            sums[3 * x + 1] = g >> 6;
            sums[3 * x + 2] = b >> 6;
        }
        for (int x = 0; x < dw; ++x) {
            const CTaps& t = across[x];
            int r = 0, g = 0, b = 0;
            for (int k = 0; k < t.count; ++k) {
                const int* s = &sums[3 * ClampIndex(t.first + k, sw)];
                r += t.weight[k] * s[0];
                g += t.weight[k] * s[1];
                b += t.weight[k] * s[2];
            }
            const int half = 1 << 21;  // sums x 16384 is the value x 2^22
            dst.At(rcDst.left + x, rcDst.top + y) = (static_cast<DWORD>(ClampByte((r + half) >> 22)) << 16) |
                                                    (static_cast<DWORD>(ClampByte((g + half) >> 22)) << 8) |
                                                    ClampByte((b + half) >> 22);
        }
    }
    return TRUE;
}
