// SPDX-License-Identifier: GPL-3.0-or-later
// The guard on every parameter value that arrives from the host: a NaN is refused, and
// anything outside 0 to 1 is clamped, so that no engine mapping ever sees a value it
// cannot map (a layout value outside the table would select a decoder that does not exist).
// Any thread.
#pragma once

#include <cmath>

// False for NaN; otherwise writes value clamped to [0, 1] into normalised.
inline bool normalisedValue(float value, float& normalised) {
    if (std::isnan(value)) return false;
    normalised = value < 0.0f ? 0.0f : (value > 1.0f ? 1.0f : value);
    return true;
}
