// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/lv2ttl/PresetValue.h"

#include <cmath>

namespace kiv::lv2ttl {

float physicalFor(const ParameterRow& row, float normalised, bool& exact) {
    const float first = physicalFromNormalised(row, normalised);
    exact = true;
    if (normalisedFromPhysical(row, first) == normalised) return first;
    // Search outwards, one float at a time on either side.
    float below = first;
    float above = first;
    for (int step = 0; step < 64; ++step) {
        below = std::nextafter(below, -INFINITY);
        above = std::nextafter(above, INFINITY);
        if (normalisedFromPhysical(row, below) == normalised) return below;
        if (normalisedFromPhysical(row, above) == normalised) return above;
    }
    exact = false;
    return first;
}

} // namespace kiv::lv2ttl
