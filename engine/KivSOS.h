// SPDX-License-Identifier: GPL-3.0-or-later
// Second-order section (biquad), direct form I, with public coefficients.
// A new section is the identity (b0 = a0 = 1); a0 is not used by the recurrence.
#pragma once

class KivSOS {
public:
    void processaudio(const float* in, float* out, int n);
    void processaudio(float* io, int n);
    // Same filter one sample later: the output at k uses the inputs k-1 to k-3.
    void processaudio(float* io, int n, bool);

    float x0 = 0.0f, x1 = 0.0f, x2 = 0.0f;
    float y1 = 0.0f, y2 = 0.0f;
    float b0 = 1.0f, b1 = 0.0f, b2 = 0.0f;
    float a0 = 1.0f, a1 = 0.0f, a2 = 0.0f;

private:
    float output() const { return b0 * x0 + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2; }
    void push(float x) {
        x2 = x1;
        x1 = x0;
        x0 = x + 1e-20f;
    }
};
