// SPDX-License-Identifier: GPL-3.0-or-later
// The figures that `ambidec plot` computes, measured through the real plug-ins' audio path,
// against the textbook values of regular layouts. With speaker gains a + b cos(angle),
// b/a = p / (2 - p) for a pattern p: the basic decoder (b/a = 2 in 2D, 3 in 3D) has rV = 1,
// max-rE (b/a = sqrt 2 in 2D, sqrt 3 in 3D) has rE = cos 45 deg in 2D and 1/sqrt 3 in 3D.
#include "ToolRun.h"

#include "tools/ambidec/DecoderAnalysis.h"
#include "tools/ambidec/DecoderPlot.h"
#include "tools/ambidec/PluginSession.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kiv::ambidec;
using namespace kiv::ambidec::testing;

namespace {

// The pattern value (normalised, p / 2) that gives the directional-to-omni ratio b/a.
float patternFor(double ratio) {
    return static_cast<float>(ratio / (1.0 + ratio));
}

struct Textbook {
    int program;   // RegularDecoder program (its decoder)
    float seq;     // spatial-EQ mode: 0 single band, 0.5 crossover
    double ratio;  // b/a, both bands
    double rV, rE; // expected at 100 Hz and at 5 kHz
    double tolerance;
};

const double kSqrt2 = std::sqrt(2.0), kSqrt3 = std::sqrt(3.0);
const Textbook kCases[] = {
    {0, 0.0f, 2.0, 1.0, 2.0 / 3.0, 1e-4},                    // square, basic
    {0, 0.5f, kSqrt2, kSqrt2 / 2, std::cos(M_PI / 4), 1e-4}, // square, max rE
    {1, 0.0f, 2.0, 1.0, 2.0 / 3.0, 1e-4},                    // hexagon with a speaker ahead
    {2, 0.5f, kSqrt2, kSqrt2 / 2, std::cos(M_PI / 4), 1e-4},
    {3, 0.5f, kSqrt2, kSqrt2 / 2, std::cos(M_PI / 4), 1e-4}, // octagons
    {4, 0.0f, 2.0, 1.0, 2.0 / 3.0, 1e-4},
    {6, 0.0f, 3.0, 1.0, 0.5, 1e-4},                  // octahedron, basic
    {6, 0.5f, kSqrt3, 1 / kSqrt3, 1 / kSqrt3, 1e-4}, // octahedron, max rE
    // The cube's layers sit at 35.2 deg, not quite the 35.26 deg of a true cube.
    {5, 0.0f, 3.0, 1.0, 0.5, 4e-3},
    {5, 0.5f, kSqrt3, 1 / kSqrt3, 1 / kSqrt3, 4e-3},
};

} // namespace

TEST(AmbidecAnalysis, RegularLayoutsMeetTheTextbook) {
    for (const Textbook& c : kCases) {
        SCOPED_TRACE("program " + std::to_string(c.program) + ", ratio " + std::to_string(c.ratio));
        PluginSession plugin(kRegular);
        plugin.selectProgram(std::to_string(c.program));
        plugin.instance().setParameter(0, patternFor(c.ratio));
        plugin.instance().setParameter(1, patternFor(c.ratio));
        plugin.instance().setParameter(6, c.seq);
        const auto layout = speakerLayoutOf(plugin.activeDecoder());
        ASSERT_TRUE(layout);
        const DecoderAnalysis a = analyseDecoder(plugin, *layout, 5.0);
        ASSERT_EQ(a.azimuthsDeg.size(), 72u);
        const SeriesSummary v = summarise(a.velocity), e = summarise(a.energy);
        EXPECT_NEAR(v.minimum, c.rV, c.tolerance);
        EXPECT_NEAR(v.maximum, c.rV, c.tolerance);
        EXPECT_NEAR(e.minimum, c.rE, c.tolerance);
        EXPECT_NEAR(e.maximum, c.rE, c.tolerance);
        EXPECT_LT(v.largestErrorDeg, 0.05);
        EXPECT_LT(e.largestErrorDeg, 0.05);
    }
}

TEST(AmbidecAnalysis, SpeakerGainsAreTheDecoderMatrix) {
    // The factory square at 5 kHz in shelf mode: at 5 kHz the shelf has reached its high
    // gains (W by 2 - 1.15, X and Y by 1.15) to within a fraction of a percent, and the
    // source straight ahead gives 0.5 (2 - p) + 0.35355 p on the front pair.
    PluginSession plugin(kRegular);
    const auto layout = speakerLayoutOf(plugin.activeDecoder());
    ASSERT_TRUE(layout);
    const DecoderAnalysis a = analyseDecoder(plugin, *layout, 90.0);
    ASSERT_EQ(a.highGains.size(), 4u);
    const double p = 1.15;
    const double front = 0.5 * (2 - p) + 0.35355339059327373 * p;
    const double back = 0.5 * (2 - p) - 0.35355339059327373 * p;
    EXPECT_NEAR(std::abs(a.highGains[0][0]), front, 0.01);
    EXPECT_NEAR(std::abs(a.highGains[0][1]), front, 0.01);
    EXPECT_NEAR(std::abs(a.highGains[0][2]), std::fabs(back), 0.01);
    // Speakers 0 (45 deg) and 2 (135 deg) take over from each other as the source turns left.
    EXPECT_NEAR(std::abs(a.highGains[1][0]), std::abs(a.highGains[1][2]), 1e-4);
    EXPECT_NEAR(std::abs(a.highGains[1][1]), std::abs(a.highGains[1][3]), 1e-4);
}
