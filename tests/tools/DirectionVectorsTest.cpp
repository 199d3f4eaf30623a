// SPDX-License-Identifier: GPL-3.0-or-later
// Velocity and energy vectors against the textbook values of regular layouts, from ideal
// first-order speaker gains g = a + b cos(angle between speaker and source).
#include "tools/ambidec/DirectionVectors.h"
#include "tools/ambidec/SpeakerLayout.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kiv::ambidec;

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<std::complex<double>> idealGains(const SpeakerLayout& layout, double ratio,
                                             double sourceAzimuthDeg,
                                             std::complex<double> phase = 1.0) {
    std::vector<std::complex<double>> gains;
    const double s = sourceAzimuthDeg * kPi / 180.0;
    for (const auto& d : layout.speakers) {
        const double az = d.azimuthDeg * kPi / 180.0, el = d.elevationDeg * kPi / 180.0;
        const double cosine = std::cos(el) * std::cos(az - s);
        gains.push_back(phase * (1.0 + ratio * cosine));
    }
    return gains;
}

struct Textbook {
    int decoder;      // catalogue number
    double ratio;     // directional over omni gain
    double rV, rE;    // expected magnitudes, for any azimuth
    double tolerance; // the cube's 35.2 deg is not quite the ideal 35.26 deg
};

// 2D: basic decoder b/a = 2 gives rV = 1; max-rE b/a = sqrt 2 gives rE = cos 45 deg.
// 3D: basic b/a = 3 gives rV = 1; max-rE b/a = sqrt 3 gives rE = 1/sqrt 3 (cos 54.7 deg).
// rE of the basic decoder, rV of max-rE: rV = (b/a) / D, rE = 2(b/a)/D / (1 + (b/a)^2/D)
// with D = 2 or 3 dimensions.
const Textbook kCases[] = {
    {0, 2.0, 1.0, 2.0 * 2 / 2 / (1 + 4.0 / 2), 1e-9},
    {3, 2.0, 1.0, 2.0 / (1 + 2.0), 1e-9},
    {5, 2.0, 1.0, 2.0 / 3.0, 1e-9},
    {0, std::sqrt(2.0), std::sqrt(2.0) / 2, std::cos(kPi / 4), 1e-9},
    {4, std::sqrt(2.0), std::sqrt(2.0) / 2, std::cos(kPi / 4), 1e-9},
    {6, std::sqrt(2.0), std::sqrt(2.0) / 2, std::cos(kPi / 4), 1e-9},
    {8, 3.0, 1.0, 2.0 * 3 / 3 / (1 + 9.0 / 3), 1e-9},
    {8, std::sqrt(3.0), 1 / std::sqrt(3.0), 1 / std::sqrt(3.0), 1e-9},
    {7, 3.0, 1.0, 0.5, 3e-3},
    {7, std::sqrt(3.0), 1 / std::sqrt(3.0), 1 / std::sqrt(3.0), 3e-3},
};

} // namespace

TEST(DirectionVectors, RegularLayoutsGiveTheTextbookValues) {
    for (const Textbook& c : kCases) {
        const SpeakerLayout layout = *speakerLayoutOf(c.decoder);
        for (double azimuth : {0.0, 17.0, 45.0, 90.0, 163.0, 271.5}) {
            const auto gains = idealGains(layout, c.ratio, azimuth);
            const DirectionFigure v = velocityVector(gains, layout.speakers, azimuth);
            const DirectionFigure e = energyVector(gains, layout.speakers, azimuth);
            SCOPED_TRACE("decoder " + std::to_string(c.decoder) + ", ratio " +
                         std::to_string(c.ratio) + ", azimuth " + std::to_string(azimuth));
            EXPECT_NEAR(v.magnitude, c.rV, c.tolerance);
            EXPECT_NEAR(e.magnitude, c.rE, c.tolerance);
            EXPECT_NEAR(v.azimuthErrorDeg, 0.0, 1e-6);
            EXPECT_NEAR(e.azimuthErrorDeg, 0.0, 1e-6);
            EXPECT_NEAR(v.elevationDeg, 0.0, 1e-6);
        }
    }
}

TEST(DirectionVectors, ACommonPhaseChangesNothing) {
    const SpeakerLayout layout = *speakerLayoutOf(13); // ITU 5.0 with centre
    const auto plain = idealGains(layout, 1.5, 40.0);
    const auto turned = idealGains(layout, 1.5, 40.0, std::polar(1.0, 1.1));
    const DirectionFigure v0 = velocityVector(plain, layout.speakers, 40.0);
    const DirectionFigure v1 = velocityVector(turned, layout.speakers, 40.0);
    const DirectionFigure e0 = energyVector(plain, layout.speakers, 40.0);
    const DirectionFigure e1 = energyVector(turned, layout.speakers, 40.0);
    EXPECT_NEAR(v0.magnitude, v1.magnitude, 1e-12);
    EXPECT_NEAR(v0.azimuthDeg, v1.azimuthDeg, 1e-9);
    EXPECT_NEAR(e0.magnitude, e1.magnitude, 1e-12);
    EXPECT_NEAR(e0.azimuthDeg, e1.azimuthDeg, 1e-9);
}

TEST(DirectionVectors, SingleSpeakersAndOppositePhase) {
    const std::vector<SpeakerDirection> pair{{30, 0}, {-30, 0}};
    // One speaker alone: both vectors point at it with magnitude 1.
    const DirectionFigure alone = velocityVector({1.0, 0.0}, pair, 0.0);
    EXPECT_NEAR(alone.magnitude, 1.0, 1e-12);
    EXPECT_NEAR(alone.azimuthErrorDeg, 30.0, 1e-9);
    // An equal pair: the phantom image between them, shortened to cos 30 deg.
    const DirectionFigure centre = energyVector({0.5, 0.5}, pair, 0.0);
    EXPECT_NEAR(centre.magnitude, std::cos(kPi / 6), 1e-12);
    EXPECT_NEAR(centre.azimuthErrorDeg, 0.0, 1e-9);
    // A speaker in opposite phase pushes the velocity vector away from itself, past the
    // other speaker; the energy vector only weighs energies.
    const DirectionFigure pushed = velocityVector({1.0, -0.5}, pair, 0.0);
    EXPECT_GT(pushed.azimuthDeg, 30.0);
    EXPECT_GT(pushed.magnitude, 1.0);
    EXPECT_NEAR(energyVector({1.0, -0.5}, pair, 0.0).azimuthDeg,
                energyVector({1.0, 0.5}, pair, 0.0).azimuthDeg, 1e-12);
    // No pressure, no velocity vector.
    EXPECT_TRUE(std::isnan(velocityVector({1.0, -1.0}, pair, 0.0).magnitude));
}

TEST(DirectionVectors, AngleDifferenceWraps) {
    const double cases[][3] = {{10, 350, 20},  {350, 10, -20}, {180, 0, 180}, {-180, 0, 180},
                               {90, -90, 180}, {725, 0, 5},    {0, 0, 0}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(angleDifferenceDeg(c[0], c[1]), c[2]);
}
