// SPDX-License-Identifier: GPL-3.0-or-later
// The demo's test signal: a noise source that circles once per revolution and, with
// height, rises and falls.
#include "tools/ambidec/TestSignal.h"
#include "tools/ambidec/DirectionVectors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

using namespace kiv::ambidec;

namespace {

// The source direction that a window of B-format frames shows, from the correlations of
// the directional channels with W (W carries the pressure at -3 dB).
void directionOf(const std::vector<float>& s, int channels, long first, long count,
                 double& azimuthDeg, double& elevationDeg) {
    double ww = 0, wx = 0, wy = 0, wz = 0;
    for (long i = first; i < first + count; ++i) {
        const float* f = &s[i * channels];
        ww += f[0] * f[0];
        wx += f[0] * f[1];
        wy += f[0] * f[2];
        if (channels > 3) wz += f[0] * f[3];
    }
    azimuthDeg = std::atan2(wy, wx) * 180 / M_PI;
    elevationDeg = std::asin(std::clamp(wz / (std::sqrt(2.0) * ww), -1.0, 1.0)) * 180 / M_PI;
}

std::vector<float> renderAll(const TestSignalSettings& settings) {
    TestSignal signal(settings);
    std::vector<float> samples(static_cast<std::size_t>(signal.frames()) * settings.channels);
    long done = 0;
    while (const long n = signal.render(samples.data() + done * settings.channels, 1000)) done += n;
    EXPECT_EQ(done, signal.frames());
    return samples;
}

} // namespace

TEST(TestSignal, CirclesOnceAndRisesAndFalls) {
    TestSignalSettings settings;
    settings.elevationDeg = 40;
    const std::vector<float> s = renderAll(settings);
    ASSERT_EQ(s.size(), 8u * 48000 * 4);
    TestSignal reference(settings);
    const long window = 960; // 20 ms: the source moves 0.9 deg
    for (double t : {0.1, 1.0, 2.0, 3.3, 4.0, 5.5, 6.0, 7.5}) {
        const long first = std::lround(t * 48000) - window / 2;
        double azimuth = 0, elevation = 0;
        directionOf(s, 4, first, window, azimuth, elevation);
        EXPECT_NEAR(angleDifferenceDeg(azimuth, 45.0 * t), 0.0, 0.5) << t;
        EXPECT_NEAR(elevation, 40.0 * std::sin(2 * M_PI * t / 8.0), 0.5) << t;
        EXPECT_NEAR(reference.azimuthDegAt(first + window / 2), std::fmod(45.0 * t, 360.0), 1e-9);
    }
}

TEST(TestSignal, ThreeChannelsStayAtEarHeight) {
    TestSignalSettings settings;
    settings.channels = 3;
    settings.seconds = 2.0;
    const std::vector<float> s = renderAll(settings);
    ASSERT_EQ(s.size(), 2u * 48000 * 3);
    double azimuth = 0, elevation = 0;
    directionOf(s, 3, 48000 - 480, 960, azimuth, elevation); // at 1 s: 45 deg
    EXPECT_NEAR(azimuth, 45.0, 0.5);
    // Level and fades: the peak stays below the level, the first and last frames are silent.
    float peak = 0;
    for (std::size_t i = 0; i < s.size(); i += 3) peak = std::max(peak, std::fabs(s[i]));
    EXPECT_LE(peak, 0.25f * std::sqrt(0.5f) + 1e-6f);
    EXPECT_GT(peak, 0.2f * std::sqrt(0.5f));
    EXPECT_EQ(s[0], 0.0f);
    EXPECT_EQ(s[s.size() - 3], 0.0f);
}
