// SPDX-License-Identifier: GPL-3.0-or-later
// A rectangle in pixels. left and top are inside it, right and bottom just outside,
// so two rectangles that share an edge do not overlap.
#pragma once

#include "toolkit/CPoint.h"

#include <algorithm>

namespace VSTGUI {

struct CRect {
    CCoord left = 0;
    CCoord top = 0;
    CCoord right = 0;
    CCoord bottom = 0;

    constexpr CRect() = default;
    constexpr CRect(CCoord left, CCoord top, CCoord right, CCoord bottom)
        : left(left), top(top), right(right), bottom(bottom) {}

    CCoord width() const { return right - left; }
    CCoord height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    CPoint topLeft() const { return CPoint(left, top); }

    CRect& offset(CCoord dh, CCoord dv) {
        left += dh;
        right += dh;
        top += dv;
        bottom += dv;
        return *this;
    }
    bool pointInside(const CPoint& where) const {
        return where.h >= left && where.h < right && where.v >= top && where.v < bottom;
    }
    bool rectOverlap(const CRect& other) const {
        return !isEmpty() && !other.isEmpty() && left < other.right && other.left < right &&
               top < other.bottom && other.top < bottom;
    }
    // The part of this rectangle that lies inside other (empty when they do not overlap).
    CRect& bound(const CRect& other) {
        left = std::max(left, other.left);
        top = std::max(top, other.top);
        right = std::max(left, std::min(right, other.right));
        bottom = std::max(top, std::min(bottom, other.bottom));
        return *this;
    }
    // The smallest rectangle holding both; an empty rectangle adds nothing.
    CRect& unite(const CRect& other) {
        if (other.isEmpty()) return *this;
        if (isEmpty()) return *this = other;
        left = std::min(left, other.left);
        top = std::min(top, other.top);
        right = std::max(right, other.right);
        bottom = std::max(bottom, other.bottom);
        return *this;
    }
    // Puts left <= right and top <= bottom.
    CRect& normalize() {
        if (left > right) std::swap(left, right);
        if (top > bottom) std::swap(top, bottom);
        return *this;
    }
    bool operator==(const CRect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const CRect& o) const { return !(*this == o); }
};

} // namespace VSTGUI
