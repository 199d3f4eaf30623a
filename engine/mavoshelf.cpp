// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/mavoshelf.h"

#include <cmath>

void mavoshelf::init(float sampleRateHz, float cutoffHz, float gLow, float gHigh) {
    const float w = cutoffHz * 6.2831855f / sampleRateHz;
    const float sw = std::sin(w);
    const float cw = std::cos(w);
    const float r = gLow / gHigh;
    const float k = (r - 1.0f) / (r + 1.0f);
    // The root and the product in double, rounded once.
    const float q = static_cast<float>(std::sqrt(static_cast<double>(1.0f - k * k)) * sw - 1.0);
    // The two guards only keep the near-singular cases finite.
    b = std::fabs(cw - k) < 0.001 ? 0.0f : (cw * k + q) / (cw - k);
    a = std::fabs(cw + k) < 0.001 ? 0.0f : (q - cw * k) / (cw + k);
    gain = gLow * (a + 1.0f) / (b + 1.0f);
}

void mavoshelf::flushNonFinite() {
    if (!std::isfinite(z)) z = 0.0f;
}
