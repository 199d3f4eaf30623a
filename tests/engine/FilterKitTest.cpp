// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "engine/AllPass.h"
#include "engine/DeZipper.h"
#include "engine/KivSOS.h"
#include "engine/NF_filt.h"
#include "engine/mavoshelf.h"

namespace {

// Steady-state gain of a linear filter at a frequency, measured from its output.
template <typename Run> double measuredGain(Run run, double freq, double fs) {
    const int n = 48000;
    std::vector<float> in(n), out(n);
    for (int i = 0; i < n; ++i) in[i] = static_cast<float>(std::cos(2 * M_PI * freq / fs * i));
    run(in.data(), out.data(), n);
    double peak = 0;
    for (int i = n / 2; i < n; ++i) peak = std::max(peak, std::fabs(static_cast<double>(out[i])));
    return peak;
}

std::complex<double> shelfResponse(const mavoshelf& s, double freq, double fs) {
    const std::complex<double> zi = std::polar(1.0, -2 * M_PI * freq / fs);
    return static_cast<double>(s.gain) * (static_cast<double>(s.b) + zi) /
           (1.0 + static_cast<double>(s.a) * zi);
}

} // namespace

TEST(AllPass, CoefficientFromSplitFrequency) {
    AllPass fresh(16);
    EXPECT_FLOAT_EQ(fresh.a, -0.9049287f);
    EXPECT_EQ(fresh.z, 0.0f);
    const struct {
        float fc, fs, a;
    } cases[] = {{700, 44100, -0.9049287f}, {380, 48000, -0.9514560f}, {380, 44100, -0.9472736f}};
    for (auto c : cases) {
        AllPass ap(16);
        ap.SetCutOff(c.fc, c.fs);
        EXPECT_NEAR(ap.a, c.a, 2e-7) << c.fc << " Hz at " << c.fs;
        EXPECT_EQ(ap.fc, c.fc);
        EXPECT_EQ(ap.fs, c.fs);
        // (sin w - 1) / cos w in the range the engine uses
        const double w = 2 * M_PI * c.fc / c.fs;
        EXPECT_NEAR(ap.a, (std::sin(w) - 1) / std::cos(w), 1e-6);
    }
}

TEST(AllPass, CrossoverBands) {
    for (float fs : {44100.0f, 48000.0f, 96000.0f}) {
        AllPass ap(4096);
        ap.SetCutOff(380, fs);
        // Equal gains give the input times that gain.
        std::vector<float> x(4096), y(4096);
        for (int i = 0; i < 4096; ++i) x[i] = std::sin(0.01f * i * i) * 0.8f;
        ap.ProcessAudio(x.data(), y.data(), 1.7f, 1.7f, 4096);
        for (int i = 0; i < 4096; ++i) ASSERT_NEAR(y[i], 1.7f * x[i], 2e-6f) << i;

        // Low band alone: DC passes, half the sample rate is removed, -3 dB at the cut-off.
        auto low = [&](const float* in, float* out, int n) {
            AllPass f(n);
            f.SetCutOff(380, fs);
            f.ProcessAudio(in, out, 1.0f, 0.0f, n);
        };
        EXPECT_NEAR(measuredGain(low, 0, fs), 1.0, 1e-4);
        EXPECT_NEAR(measuredGain(low, fs / 2, fs), 0.0, 1e-4);
        EXPECT_NEAR(measuredGain(low, 380, fs), std::sqrt(0.5), 2e-3);
    }
}

TEST(AllPass, OverloadsAndState) {
    AllPass ap(8);
    float io[4] = {1, 0, 0, 0};
    float copy[4] = {1, 0, 0, 0}, out[4];
    AllPass twin(8);
    ap.ProcessAudio(io, 0.7f, 0.5f, 4); // in place
    twin.ProcessAudio(copy, out, 0.7f, 0.5f, 4);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(io[i], out[i]);

    // dB forms take the high band as (ap - x): equal gains give g times the all-pass output.
    AllPass a1(8), a2(8);
    float x[4] = {1, 0.5f, -0.25f, 0}, dB[4], apOut[4];
    a1.ProcessAudio(x, dB, 6.0f, 6.0f, 4, true);
    a2.DoAllPass(x, apOut, 4, a2.a);
    const float g = static_cast<float>(std::pow(10.0, 6.0 / 20.0));
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(dB[i], g * apOut[i], 1e-6f);

    float inPlace[4] = {1, 0.5f, -0.25f, 0};
    AllPass a3(8);
    a3.ProcessAudio(inPlace, 6.0f, 6.0f, 4, false);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(inPlace[i], dB[i]);

    EXPECT_NE(ap.z, 0.0f);
    ap.Reset();
    EXPECT_EQ(ap.z, 0.0f);
    const float before = ap.z;
    ap.ProcessAudio(io, 1, 1, 0); // n <= 0 does nothing
    EXPECT_EQ(ap.z, before);
}

TEST(DeZipper, Smoothing) {
    DeZipper d;
    EXPECT_EQ(d.b, 0.0019999743f);
    EXPECT_EQ(d.a + d.b, 1.0f);
    EXPECT_FLOAT_EQ(d.smooth(1), 0.0019999743f);
    d.init(1);
    EXPECT_FLOAT_EQ(d.smooth(1), 1.0f);
    DeZipper glide;
    int n = 0;
    while (glide.smooth(1) < 0.632f) ++n;
    EXPECT_NEAR(n, 500, 10);
    while (glide.smooth(1) < 0.99f) ++n;
    EXPECT_NEAR(n, 2300, 30);
}

TEST(NearField, FirstOrderCoefficientsAndResponse) {
    NF_filt1 off;
    off.init(0, 0.0035625f, 1);
    EXPECT_EQ(off.d1, 0.0f);
    EXPECT_FLOAT_EQ(off.g, 1.0f / (1.0f + 0.5f * 0.0035625f));
    EXPECT_NEAR(off.g, 0.9982219f, 1e-7);
    EXPECT_NEAR(off.c1, 0.0035562f, 1e-7);

    NF_filt1 enc;
    enc.init(0.007125f, 0.0035625f, 1);
    EXPECT_NEAR(enc.g, 1.0017780f, 1e-7);
    EXPECT_NEAR(enc.d1, 0.0070997f, 1e-7);

    NF_filt1 same;
    same.init(0.01f, 0.01f, 1);
    EXPECT_EQ(same.g, 1.0f);
    EXPECT_EQ(same.d1, same.c1);

    // Settled smoothers: DC gain w1 / w2 and unity at half the sample rate.
    auto run = [&](float w1, bool full) {
        return [=](const float* in, float* out, int n) {
            NF_filt1 f;
            f.init(w1, 0.0035625f, 1);
            f.gz.init(f.g);
            f.d1z.init(f.d1);
            f.c1z.init(f.c1);
            if (full)
                f.process(n, in, out, 1);
            else
                f.process1(n, in, out, 1);
        };
    };
    EXPECT_NEAR(measuredGain(run(0.007125f, true), 0, 48000), 2.0, 2e-3); // w1 / w2
    EXPECT_NEAR(measuredGain(run(0.007125f, true), 24000, 48000), 1.0, 1e-4);
    EXPECT_NEAR(measuredGain(run(0, false), 0, 48000), 0.0, 1e-3);
    EXPECT_NEAR(measuredGain(run(0, false), 24000, 48000), 1.0, 1e-4);
}

TEST(NearField, ProcessVariantsStepAndState) {
    NF_filt1 a, b;
    a.init(0, 0.01f, 1);
    b.init(0, 0.01f, 1);
    for (NF_filt1* f : {&a, &b}) {
        f->gz.init(f->g);
        f->d1z.init(f->d1);
        f->c1z.init(f->c1);
    }
    float x[8] = {1, -1, 0.5f, 0, 0, 0.25f, 0, 0}, ya[8], yb[8];
    a.process(8, x, ya, 1);
    b.process1(8, x, yb, 1);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(ya[i], yb[i]);
    EXPECT_EQ(b.d1z.z, 0.0f); // process1 leaves the numerator smoother alone

    // step 2 reads and writes every other sample, in place
    NF_filt1 c;
    c.init(0, 0.01f, 1);
    c.gz.init(c.g);
    c.c1z.init(c.c1);
    float interleaved[16] = {};
    for (int i = 0; i < 8; ++i) interleaved[2 * i] = x[i], interleaved[2 * i + 1] = 99;
    c.process1(8, interleaved, interleaved, 2);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(interleaved[2 * i], yb[i]);
        EXPECT_EQ(interleaved[2 * i + 1], 99);
    }

    const float z = a.z1;
    a.init(0.002f, 0.01f, 1); // keeps the state and glides
    EXPECT_EQ(a.z1, z);
    const float zBefore = a.z1;
    a.process(0, x, ya, 1);
    EXPECT_EQ(a.z1, zBefore);
}

TEST(NearField, HigherOrders) {
    NF_filt2 f2;
    f2.init(0.01f, 0.01f, 1);
    EXPECT_FLOAT_EQ(f2.g, 1.0f);
    EXPECT_EQ(f2.d1, f2.c1);
    EXPECT_EQ(f2.d2, f2.c2);

    NF_filt3 f3;
    f3.z1 = f3.z2 = f3.z3 = 5;
    f3.init(0, 0.004f, 1);
    EXPECT_EQ(f3.z1, 0.0f);
    EXPECT_EQ(f3.z2, 0.0f);
    EXPECT_EQ(f3.z3, 0.0f);
    EXPECT_EQ(f3.d1, 0.0f);
    NF_filt4 f4;
    f4.z4 = 3;
    f4.init(0.004f, 0.004f, 2);
    EXPECT_EQ(f4.z4, 0.0f);
    EXPECT_FLOAT_EQ(f4.g, 2.0f);

    // Equal distances pass the signal (order 3 and 4, no smoothing involved).
    for (int order : {3, 4}) {
        float x[64], y[64];
        for (int i = 0; i < 64; ++i) x[i] = std::sin(0.3f * i);
        if (order == 3) {
            NF_filt3 f;
            f.init(0.02f, 0.02f, 1);
            f.process(64, x, y, 1);
        } else {
            NF_filt4 f;
            f.init(0.02f, 0.02f, 1);
            f.process(64, x, y, 1);
        }
        for (int i = 0; i < 64; ++i) EXPECT_NEAR(y[i], x[i], 1e-5f) << order;
    }
    // High-pass without encoded distance: a constant dies away.
    NF_filt4 hp;
    hp.init(0, 0.01f, 1);
    std::vector<float> ones(20000, 1.0f), out(20000);
    hp.process1(20000, ones.data(), out.data(), 1);
    EXPECT_NEAR(out.back(), 0.0f, 1e-4f);

    NF_filt3 copy;
    f3.z2 = 0.5f;
    copy.init(f3);
    EXPECT_EQ(copy.z2, 0.5f);
    EXPECT_EQ(copy.c3, f3.c3);
    NF_filt1 src, dst;
    src.init(0.001f, 0.002f, 1);
    dst.z1 = 7;
    dst.init(src);
    EXPECT_EQ(dst.c1, src.c1);
    EXPECT_EQ(dst.z1, 7.0f);
}

TEST(Shelf, CoefficientsAndResponse) {
    mavoshelf s;
    s.init(48000, 380, 0.7f, 0.5f);
    EXPECT_NEAR(s.b, -0.9428156f, 2e-7);
    EXPECT_NEAR(s.a, -0.9588175f, 2e-7);
    EXPECT_NEAR(s.gain, 0.5041193f, 2e-7);
    EXPECT_NEAR(std::abs(shelfResponse(s, 0, 48000)), 0.7, 1e-5);
    EXPECT_NEAR(std::abs(shelfResponse(s, 24000, 48000)), 0.5, 1e-5);
    EXPECT_NEAR(std::abs(shelfResponse(s, 380, 48000)), std::sqrt(0.35), 1e-4);
    EXPECT_NEAR(std::arg(shelfResponse(s, 380, 48000)), -M_PI / 2, 1e-3);

    for (float fs : {44100.0f, 48000.0f, 96000.0f}) {
        mavoshelf flat;
        flat.init(fs, 380, 1, 1);
        EXPECT_EQ(flat.b, flat.a);
        EXPECT_EQ(flat.gain, 1.0f);
        AllPass ap(4);
        ap.SetCutOff(380, fs);
        EXPECT_NEAR(flat.a, ap.a, 2e-6);
    }

    mavoshelf silent;
    EXPECT_EQ(silent.tick(1.0f), 0.0f); // all zero until the first init
    s.z = 0.25f;
    s.init(44100, 500, 0.7f, 0.5f);
    EXPECT_EQ(s.z, 0.25f); // init keeps the state
}

TEST(SecondOrderSection, IdentityAndDelayedVariant) {
    KivSOS s;
    float x[5] = {1, 2, 3, 4, 5}, y[5];
    s.processaudio(x, y, 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(y[i], x[i] + 1e-20f);
    KivSOS inPlace;
    float io[5] = {1, 2, 3, 4, 5};
    inPlace.processaudio(io, 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(io[i], y[i]);

    KivSOS delayed;
    float d[5] = {1, 2, 3, 4, 5};
    delayed.processaudio(d, 5, true);
    EXPECT_EQ(d[0], 0.0f);
    for (int i = 1; i < 5; ++i) EXPECT_EQ(d[i], static_cast<float>(i) + 1e-20f);

    KivSOS lowpass; // a real biquad: y = 0.5 x + 0.5 x[-1]
    lowpass.b0 = 0.5f;
    lowpass.b1 = 0.5f;
    float step[4] = {1, 1, 1, 1}, out[4];
    lowpass.processaudio(step, out, 4);
    EXPECT_FLOAT_EQ(out[0], 0.5f);
    EXPECT_FLOAT_EQ(out[1], 1.0f);
}
