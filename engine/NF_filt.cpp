// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/NF_filt.h"

#include <cmath>

namespace {

// Bilinear mapping of one factor of the prototype: 342 / (r s) becomes
// b (1 + 1/z) / (1 - 1/z) with b = w / 2.
struct FirstOrderFactor {
    float coef, gain;
};
struct SecondOrderFactor {
    float coef1, coef2, gain;
};

FirstOrderFactor firstOrder(float w, float k) {
    const float b = 0.5f * w;
    const float B = k * b;
    return {2.0f * B / (1.0f + B), 1.0f + B};
}

SecondOrderFactor secondOrder(float w, float k1, float k2) {
    const float b = 0.5f * w;
    const float B1 = k1 * b;
    const float B2 = k2 * b * b;
    const float G = 1.0f + B1 + B2;
    return {(2.0f * B1 + 4.0f * B2) / G, 4.0f * B2 / G, G};
}

// One first-order section; returns the output, advances z.
inline float firstSection(float u, float d, float c, float& z) {
    const float x = u - c * z + 1e-30f;
    const float y = x + d * z;
    z = z + x;
    return y;
}
inline float firstSectionPole(float u, float c, float& z) {
    const float x = u - c * z + 1e-30f;
    z = z + x;
    return x;
}
inline float secondSection(float u, float da, float db, float ca, float cb, float& za, float& zb) {
    const float x = u - ca * za - cb * zb + 1e-30f;
    const float y = x + da * za + db * zb;
    zb = zb + za;
    za = za + x;
    return y;
}
inline float secondSectionPole(float u, float ca, float cb, float& za, float& zb) {
    const float x = u - ca * za - cb * zb + 1e-30f;
    zb = zb + za;
    za = za + x;
    return x;
}

inline void flush(float& v) {
    if (!std::isfinite(v)) v = 0.0f;
}

} // namespace

// ---- order 1 ----

void NF_filt1::init(float w1, float w2, float gain) {
    const FirstOrderFactor num = firstOrder(w1, 1.0f);
    const FirstOrderFactor den = firstOrder(w2, 1.0f);
    d1 = num.coef;
    c1 = den.coef;
    g = gain * num.gain / den.gain;
}

void NF_filt1::init(const NF_filt1& other) {
    g = other.g;
    d1 = other.d1;
    c1 = other.c1;
}

void NF_filt1::process(int n, const float* in, float* out, int step) {
    for (int k = 0; k < n; ++k) {
        const float gs = gz.smooth(g);
        const float ds = d1z.smooth(d1);
        const float cs = c1z.smooth(c1);
        out[k * step] = firstSection(in[k * step] * gs, ds, cs, z1);
    }
}

void NF_filt1::process1(int n, const float* in, float* out, int step) {
    for (int k = 0; k < n; ++k) {
        const float gs = gz.smooth(g);
        const float cs = c1z.smooth(c1);
        out[k * step] = firstSectionPole(in[k * step] * gs, cs, z1);
    }
}

void NF_filt1::flushNonFinite() {
    flush(z1);
}

// ---- order 2 ----

void NF_filt2::init(float w1, float w2, float gain) {
    const SecondOrderFactor num = secondOrder(w1, 3.0f, 3.0f);
    const SecondOrderFactor den = secondOrder(w2, 3.0f, 3.0f);
    d1 = num.coef1;
    d2 = num.coef2;
    c1 = den.coef1;
    c2 = den.coef2;
    g = gain * num.gain / den.gain;
}

void NF_filt2::init(const NF_filt2& other) {
    g = other.g;
    d1 = other.d1;
    d2 = other.d2;
    c1 = other.c1;
    c2 = other.c2;
}

void NF_filt2::process(int n, const float* in, float* out, int step) {
    for (int k = 0; k < n; ++k) {
        const float gs = gz.smooth(g);
        const float d1s = d1z.smooth(d1);
        const float d2s = d2z.smooth(d2);
        const float c1s = c1z.smooth(c1);
        const float c2s = c2z.smooth(c2);
        out[k * step] = secondSection(in[k * step] * gs, d1s, d2s, c1s, c2s, z1, z2);
    }
}

void NF_filt2::process1(int n, const float* in, float* out, int step) {
    for (int k = 0; k < n; ++k) {
        const float gs = gz.smooth(g);
        const float c1s = c1z.smooth(c1);
        const float c2s = c2z.smooth(c2);
        out[k * step] = secondSectionPole(in[k * step] * gs, c1s, c2s, z1, z2);
    }
}

void NF_filt2::flushNonFinite() {
    flush(z1);
    flush(z2);
}

// ---- order 3: a second-order factor, then a first-order one ----

void NF_filt3::init(float w1, float w2, float gain) {
    const SecondOrderFactor numA = secondOrder(w1, 3.6778f, 6.4595f);
    const FirstOrderFactor numB = firstOrder(w1, 2.3222f);
    const SecondOrderFactor denA = secondOrder(w2, 3.6778f, 6.4595f);
    const FirstOrderFactor denB = firstOrder(w2, 2.3222f);
    d1 = numA.coef1;
    d2 = numA.coef2;
    d3 = numB.coef;
    c1 = denA.coef1;
    c2 = denA.coef2;
    c3 = denB.coef;
    g = gain * (numA.gain * numB.gain) / (denA.gain * denB.gain);
    z1 = z2 = z3 = 0.0f;
}

void NF_filt3::init(const NF_filt3& other) {
    *this = other;
}

void NF_filt3::process(int n, const float* in, float* out, int step) {
    for (int k = 0; k < n; ++k) {
        const float u = secondSection(in[k * step] * g, d1, d2, c1, c2, z1, z2);
        out[k * step] = firstSection(u, d3, c3, z3);
    }
}

void NF_filt3::process1(int n, const float* in, float* out, int step) {
    for (int k = 0; k < n; ++k) {
        const float u = secondSectionPole(in[k * step] * g, c1, c2, z1, z2);
        out[k * step] = firstSectionPole(u, c3, z3);
    }
}

void NF_filt3::flushNonFinite() {
    flush(z1);
    flush(z2);
    flush(z3);
}

// ---- order 4: two second-order factors ----

void NF_filt4::init(float w1, float w2, float gain) {
    const SecondOrderFactor numA = secondOrder(w1, 4.2076f, 11.4877f);
    const SecondOrderFactor numB = secondOrder(w1, 5.7924f, 9.1401f);
    const SecondOrderFactor denA = secondOrder(w2, 4.2076f, 11.4877f);
    const SecondOrderFactor denB = secondOrder(w2, 5.7924f, 9.1401f);
    d1 = numA.coef1;
    d2 = numA.coef2;
    d3 = numB.coef1;
    d4 = numB.coef2;
    c1 = denA.coef1;
    c2 = denA.coef2;
    c3 = denB.coef1;
    c4 = denB.coef2;
    g = gain * (numA.gain * numB.gain) / (denA.gain * denB.gain);
    z1 = z2 = z3 = z4 = 0.0f;
}

void NF_filt4::init(const NF_filt4& other) {
    *this = other;
}

void NF_filt4::process(int n, const float* in, float* out, int step) {
    for (int k = 0; k < n; ++k) {
        const float u = secondSection(in[k * step] * g, d1, d2, c1, c2, z1, z2);
        out[k * step] = secondSection(u, d3, d4, c3, c4, z3, z4);
    }
}

void NF_filt4::process1(int n, const float* in, float* out, int step) {
    for (int k = 0; k < n; ++k) {
        const float u = secondSectionPole(in[k * step] * g, c1, c2, z1, z2);
        out[k * step] = secondSectionPole(u, c3, c4, z3, z4);
    }
}

void NF_filt4::flushNonFinite() {
    flush(z1);
    flush(z2);
    flush(z3);
    flush(z4);
}
