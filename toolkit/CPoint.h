// SPDX-License-Identifier: GPL-3.0-or-later
// A point in pixels: h grows to the right, v grows downwards.
#pragma once

namespace VSTGUI {

using CCoord = int;

struct CPoint {
    CCoord h = 0;
    CCoord v = 0;

    constexpr CPoint() = default;
    constexpr CPoint(CCoord h, CCoord v) : h(h), v(v) {}

    CPoint& offset(CCoord dh, CCoord dv) {
        h += dh;
        v += dv;
        return *this;
    }
    bool operator==(const CPoint& other) const { return h == other.h && v == other.v; }
    bool operator!=(const CPoint& other) const { return !(*this == other); }
};

} // namespace VSTGUI
