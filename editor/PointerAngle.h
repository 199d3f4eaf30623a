// SPDX-License-Identifier: GPL-3.0-or-later
// The angle of a point seen from a knob's centre, for the editor's knobs: radians in
// [0, 2 pi), counter-clockwise from pointing right, y up. A point exactly at the centre
// has no angle of its own and keeps lastAlpha, the angle of the last point that was not
// at the centre; every other point becomes the new lastAlpha.
#pragma once

#include "toolkit/CPoint.h"

#include <cmath>

namespace kiv {

inline float pointerAngle(const VSTGUI::CPoint& point, float radius, float& lastAlpha) {
    const float x = float(point.h) - radius;
    const float y = radius - float(point.v);
    if (x == 0 && y == 0) return lastAlpha;
    float alpha = float(std::atan2(double(y), double(x)));
    if (alpha < 0) alpha += 6.2831855f;
    lastAlpha = alpha;
    return alpha;
}

} // namespace kiv
