// Geometry value types in the manner of the classic dialog framework.
#pragma once

#include <windows.h>

class CPoint : public POINT {
public:
    CPoint() {
        x = 0;
        y = 0;
    }
    CPoint(int nX, int nY) {
        x = nX;
        y = nY;
    }
    bool operator==(const CPoint& other) const { return x == other.x && y == other.y; }
    bool operator!=(const CPoint& other) const { return !(*this == other); }
};

class CSize : public SIZE {
public:
    CSize() {
        cx = 0;
        cy = 0;
    }
    CSize(int nCX, int nCY) {
        cx = nCX;
        cy = nCY;
    }
};

class CRect : public RECT {
public:
    CRect() { left = top = right = bottom = 0; }
    CRect(int l, int t, int r, int b) {
        left = l;
        top = t;
        right = r;
        bottom = b;
    }
    CRect(const RECT& rc) {
        left = rc.left;
        top = rc.top;
        right = rc.right;
        bottom = rc.bottom;
    }

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    operator LPRECT() { return this; }
    operator LPCRECT() const { return this; }
};
