// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/AllPass.h"

#include <cmath>

float allPassCoefficient(float cutoffHz, float sampleRateHz) {
    const float w = (cutoffHz / sampleRateHz) * 6.2831855f;
    const float cw = std::cos(w);
    const double t = -4.0f * cw * cw;
    // (2 - sqrt(4 - 4 cos^2 w)) / (-2 cos w) = (sin w - 1) / cos w for 0 < w < pi/2
    return static_cast<float>((2.0 - std::sqrt(t + 4.0)) / static_cast<double>(cw * -2.0f));
}

AllPass::AllPass(int cap) : buf(new float[cap > 0 ? cap : 1]), capacity(cap) {}

AllPass::~AllPass() {
    delete[] buf;
}

void AllPass::SetCutOff(float cutoffHz, float sampleRateHz) {
    fc = cutoffHz;
    fs = sampleRateHz;
    a = allPassCoefficient(cutoffHz, sampleRateHz);
}

void AllPass::DoAllPass(const float* src, float* dst, long n, float coef) {
    float state = z;
    for (long i = 0; i < n; ++i) {
        const float d = src[i] - coef * state;
        dst[i] = d * coef + state;
        state = d + 1e-30f;
    }
    z = state;
}

void AllPass::combine(const float* src, float* dst, float gLow, float gHigh, long n, bool dBForm) {
    if (n <= 0) return;
    DoAllPass(src, buf, n, a);
    if (dBForm) {
        for (long i = 0; i < n; ++i) {
            const float x = src[i], ap = buf[i];
            dst[i] = (ap + x) * 0.5f * gLow + (ap - x) * 0.5f * gHigh;
        }
    } else {
        for (long i = 0; i < n; ++i) {
            const float x = src[i], ap = buf[i];
            dst[i] = (x + ap) * 0.5f * gLow + (x - ap) * 0.5f * gHigh;
        }
    }
}

void AllPass::ProcessAudio(float* io, float gLow, float gHigh, long n) {
    combine(io, io, gLow, gHigh, n, false);
}

void AllPass::ProcessAudio(const float* src, float* dst, float gLow, float gHigh, long n) {
    combine(src, dst, gLow, gHigh, n, false);
}

static float dBToGain(float dB) {
    return static_cast<float>(std::pow(10.0, static_cast<double>(dB) / 20.0));
}

void AllPass::ProcessAudio(const float* src, float* dst, float dBLow, float dBHigh, long n, bool) {
    combine(src, dst, dBToGain(dBLow), dBToGain(dBHigh), n, true);
}

void AllPass::ProcessAudio(float* io, float dBLow, float dBHigh, long n, bool) {
    combine(io, io, dBToGain(dBLow), dBToGain(dBHigh), n, true);
}

void AllPass::flushNonFinite() {
    if (!std::isfinite(z)) z = 0.0f;
}
