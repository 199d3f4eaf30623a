// SPDX-License-Identifier: GPL-3.0-or-later
// One-pole smoother for a filter coefficient: about 0.2 % of the way to the
// target per sample (63 % after ~500 samples, 99 % after ~2300).
#pragma once

class DeZipper {
public:
    float smooth(float target) {
        const float y = z * a + b * target;
        z = y + 1e-30f;
        return y;
    }
    void init(float v) { z = v; } // snap, no glide

    float z = 0.0f;
    float a = 0.998f;
    float b = 1.0f - 0.998f; // computed in float so that a + b is exactly 1
};
