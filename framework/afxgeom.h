// CPoint and CRect: thin value types over POINT and RECT.
#pragma once
#include <windows.h>

class CPoint : public POINT {
public:
    CPoint() { x = 0; y = 0; }
    CPoint(int ix, int iy) { x = ix; y = iy; }
    CPoint(POINT pt) { x = pt.x; y = pt.y; }
    bool operator==(const POINT& o) const { return x == o.x && y == o.y; }
};

class CRect : public RECT {
public:
    CRect() { left = top = right = bottom = 0; }
    CRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    CRect(const RECT& rc) { left = rc.left; top = rc.top; right = rc.right; bottom = rc.bottom; }
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    void SetRect(int l, int t, int r, int b) { left = l; top = t; right = r; bottom = b; }
    void OffsetRect(int dx, int dy) { left += dx; right += dx; top += dy; bottom += dy; }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
    bool operator==(const RECT& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};
