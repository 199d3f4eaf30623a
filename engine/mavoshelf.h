// SPDX-License-Identifier: GPL-3.0-or-later
// First-order shelf: gain gLow at 0 Hz, gHigh at half the sample rate and
// sqrt(gLow * gHigh) with a phase of -90 degrees at the split frequency.
// Transfer function gain * (b + 1/z) / (1 + a/z). With equal gains of 1 it is
// the first-order all-pass of AllPass. All zero (silent) until the first init.
#pragma once

class mavoshelf {
public:
    void init(float sampleRateHz, float cutoffHz, float gLow, float gHigh); // keeps z

    float tick(float x) {
        const float v = x - a * z;
        const float y = (b * v + z) * gain;
        z = v + 1e-20f;
        return y;
    }
    void process(const float* in, float* out, int n) {
        for (int i = 0; i < n; ++i) out[i] = tick(in[i]);
    }
    void flushNonFinite();

    float b = 0.0f;
    float a = 0.0f;
    float gain = 0.0f;
    float z = 0.0f;
};
