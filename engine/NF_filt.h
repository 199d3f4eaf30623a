// SPDX-License-Identifier: GPL-3.0-or-later
// Near-field compensation filters of order 1 to 4: the analogue prototype
// g * P_N(342 / (r1 s)) / P_N(342 / (r2 s)) with Bessel-type polynomials P_N,
// mapped by the bilinear transform, with r1 the encoded distance and r2 the
// loudspeaker distance. The init arguments are the normalised frequencies
// w = 342 / (r * fs), w1 = 0 meaning no encoded distance.
// Orders 1 and 2 smooth their coefficients per sample, so init may be called
// from a parameter thread while audio runs; orders 3 and 4 clear their state on init.
#pragma once

#include "engine/DeZipper.h"

class NF_filt1 {
public:
    void init(float w1, float w2, float gain);
    void init(const NF_filt1& other); // copies the coefficients
    void process(int n, const float* in, float* out, int step);
    void process1(int n, const float* in, float* out, int step); // without the numerator
    void flushNonFinite();

    float g = 0.0f, d1 = 0.0f, c1 = 0.0f;
    float z1 = 0.0f;
    DeZipper gz, d1z, c1z;
};

class NF_filt2 {
public:
    void init(float w1, float w2, float gain);
    void init(const NF_filt2& other);
    void process(int n, const float* in, float* out, int step);
    void process1(int n, const float* in, float* out, int step);
    void flushNonFinite();

    float g = 0.0f, d1 = 0.0f, d2 = 0.0f, c1 = 0.0f, c2 = 0.0f;
    float z1 = 0.0f, z2 = 0.0f;
    DeZipper gz, d1z, d2z, c1z, c2z;
};

class NF_filt3 {
public:
    void init(float w1, float w2, float gain);
    void init(const NF_filt3& other); // copies coefficients and states
    void process(int n, const float* in, float* out, int step);
    void process1(int n, const float* in, float* out, int step);
    void flushNonFinite();

    float g = 0.0f, d1 = 0.0f, d2 = 0.0f, d3 = 0.0f, c1 = 0.0f, c2 = 0.0f, c3 = 0.0f;
    float z1 = 0.0f, z2 = 0.0f, z3 = 0.0f;
};

class NF_filt4 {
public:
    void init(float w1, float w2, float gain);
    void init(const NF_filt4& other); // copies coefficients and states
    void process(int n, const float* in, float* out, int step);
    void process1(int n, const float* in, float* out, int step);
    void flushNonFinite();

    float g = 0.0f, d1 = 0.0f, d2 = 0.0f, d3 = 0.0f, d4 = 0.0f;
    float c1 = 0.0f, c2 = 0.0f, c3 = 0.0f, c4 = 0.0f;
    float z1 = 0.0f, z2 = 0.0f, z3 = 0.0f, z4 = 0.0f;
};
