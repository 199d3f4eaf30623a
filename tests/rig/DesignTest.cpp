// SPDX-License-Identifier: GPL-3.0-or-later
// Decoders designed from positions, judged by plane waves through the plan's matrices:
// on the catalogue's regular rigs they are the catalogue's decoders at the patterns for
// rV = 1 (LF) and max rE (HF); on irregular rigs their rE points truer than a naive sampling
// decoder's; gaps are named; distances and gains reach the plan.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "RigMeasure.h"
#include "engine/KivAmbisonicDecoder.h"
#include "rig/DecoderDesign.h"
#include "rig/FactoryLayouts.h"
#include "rig/LayoutHull.h"
#include "rig/RigPlan.h"

namespace {

constexpr double kPi = 3.141592653589793;

struct CatalogueRig {
    DecShape shape;
    bool horizontal;
};

// The catalogue decoder of a shape at pattern p: W weighted by 2 - p, X, Y, Z by p, as the
// engine's single band does. matrix[s] = FuMa W, X, Y, Z.
std::vector<std::array<double, 4>> catalogueAt(const KivDecoderCoefs& set, double p) {
    std::vector<std::array<double, 4>> m(set.numOut);
    for (int s = 0; s < set.numOut; ++s) {
        m[s][0] = set.coefs[0][s] * (2.0 - p);
        for (int c = 1; c < 4; ++c) m[s][c] = c < set.numIn ? set.coefs[c][s] * p : 0.0;
    }
    return m;
} // namespace

// The rig of a catalogue set, read back from its rows: azimuth from X and Y, elevation from Z.
Layout layoutOf(const KivDecoderCoefs& set) {
    Layout l;
    for (int s = 0; s < set.numOut; ++s) {
        Speaker sp;
        const double x = set.coefs[1][s], y = set.coefs[2][s],
                     z = set.numIn > 3 ? set.coefs[3][s] : 0.0;
        sp.azimuthDegrees = std::atan2(y, x) * 180.0 / kPi;
        sp.elevationDegrees = std::atan2(z, std::hypot(x, y)) * 180.0 / kPi;
        sp.outputChannel = s + 1;
        l.speakers.push_back(sp);
    }
    validateLayout(l, "catalogue");
    return l;
} // namespace

double frobenius(const double (*m)[4], int n) {
    double e = 0.0;
    for (int s = 0; s < n; ++s)
        for (int c = 0; c < 4; ++c) e += m[s][c] * m[s][c];
    return std::sqrt(e);
} // namespace

// Rows of a against rows of b after scaling both to unit norm: the largest row difference
// relative to that row's norm in b.
double worstRowDifference(const double (*a)[4], const double (*b)[4], int n) {
    const double na = frobenius(a, n), nb = frobenius(b, n);
    double worst = 0.0;
    for (int s = 0; s < n; ++s) {
        double d = 0.0, r = 0.0;
        for (int c = 0; c < 4; ++c) {
            d += std::pow(a[s][c] / na - b[s][c] / nb, 2);
            r += std::pow(b[s][c] / nb, 2);
        }
        worst = std::max(worst, std::sqrt(d / r));
    }
    return worst;
} // namespace

TEST(RigDesign, RegularRigsAgreeWithTheCatalogueAtTheSamePatterns) {
    const CatalogueRig rigs[] = {{QuadSquare, true},       {HexagonWithCF, true},
                                 {HexagonWithoutCF, true}, {OctagonWithCF, true},
                                 {OctagonWithoutCF, true}, {Cube8, false},
                                 {Octahedron, false}};
    for (const CatalogueRig& rig : rigs) {
        DecShape shapes[2] = {rig.shape, rig.shape};
        KivAmbisonicDecoder engine(2, shapes, 4, 8, 64);
        const KivDecoderCoefs& set = *engine.decoders[0];
        SCOPED_TRACE(set.name);
        const Layout layout = layoutOf(set);
        const DesignedDecoder d = designDecoder(layout);
        EXPECT_EQ(d.horizontal, rig.horizontal);
        EXPECT_TRUE(d.modeMatchedLf);
        EXPECT_EQ(d.uncovered, "");
        // rV = 1: x = p / (2 - p) = 3 in 3D, 2 on a ring; max rE: sqrt 3 and sqrt 2.
        const double pLf = rig.horizontal ? 4.0 / 3.0 : 1.5;
        const double k = std::sqrt(rig.horizontal ? 2.0 : 3.0);
        const double pHf = 2.0 * k / (1.0 + k);
        const auto lf = catalogueAt(set, pLf), hf = catalogueAt(set, pHf);
        const int n = set.numOut;
        double lfRows[32][4] = {}, hfRows[32][4] = {};
        for (int s = 0; s < n; ++s)
            for (int c = 0; c < 4; ++c) lfRows[s][c] = lf[s][c], hfRows[s][c] = hf[s][c];
        EXPECT_LT(worstRowDifference(d.plan.lf, lfRows, n), 0.03);
        EXPECT_LT(worstRowDifference(d.plan.hf, hfRows, n), 0.03);

        const std::vector<Vec3> speakers = speakerDirections(layout);
        double worstRv = 0.0, worstRe = 0.0, meanRe = 0.0;
        const std::vector<Vec3> waves =
            sampleDirections(rig.horizontal ? 360 : 2000, rig.horizontal);
        for (const Vec3& u : waves) {
            const double rvD = lengthOf(planeWaveResponse(d.plan.lf, speakers, u).rV);
            const double rvC = lengthOf(planeWaveResponse(lfRows, speakers, u).rV);
            const double reD = lengthOf(planeWaveResponse(d.plan.hf, speakers, u).rE);
            const double reC = lengthOf(planeWaveResponse(hfRows, speakers, u).rE);
            worstRv = std::max(worstRv, std::fabs(rvD - rvC));
            worstRe = std::max(worstRe, std::fabs(reD - reC));
            meanRe += reD / waves.size();
        }
        EXPECT_LT(worstRv, 0.02);
        EXPECT_LT(worstRe, 0.02);
        // Max rE of a regular rig: 1/sqrt 3 in 3D, 1/sqrt 2 on a ring (to within the rig's
        // own ripple).
        EXPECT_NEAR(meanRe, 1.0 / k, 0.03);
    }
} // namespace

Layout rigOf(const char* name, std::initializer_list<std::array<double, 2>> places) {
    Layout l;
    l.name = name;
    int channel = 0;
    for (const auto& p : places) {
        Speaker s;
        s.azimuthDegrees = p[0];
        s.elevationDegrees = p[1];
        s.outputChannel = ++channel;
        l.speakers.push_back(s);
    }
    validateLayout(l, name);
    return l;
} // namespace

// A sampling decoder: each speaker a max-rE virtual microphone pointing at itself.
void naiveSampling(const std::vector<Vec3>& speakers, bool horizontal, double (*out)[4]) {
    const double k = horizontal ? 2.0 : 3.0;
    const double w = 1.0 / std::sqrt(k);
    for (size_t s = 0; s < speakers.size(); ++s) {
        out[s][0] = std::sqrt(2.0);
        for (int c = 0; c < 3; ++c) out[s][c + 1] = k * w * speakers[s][c];
    }
} // namespace

TEST(RigDesign, IrregularRigsPointTruerThanNaiveSampling) {
    std::vector<Layout> rigs = {
        *factoryLayout("ITU 5.0"),
        rigOf("5.1 at +-120", {{30, 0}, {-30, 0}, {0, 0}, {120, 0}, {-120, 0}}),
        *factoryLayout("7.0 (BS.2051 0+7+0)"),
        *factoryLayout("5.0.4 (BS.2051 4+5+0)"),
        *factoryLayout("7.0.4 (BS.2051 4+7+0)"),
        *factoryLayout("8+8 dome"),
        rigOf("6+4+1 dome", {{0, 0},
                             {60, 0},
                             {120, 0},
                             {180, 0},
                             {-120, 0},
                             {-60, 0},
                             {45, 40},
                             {135, 40},
                             {-135, 40},
                             {-45, 40},
                             {0, 90}})};
    for (const Layout& layout : rigs) {
        SCOPED_TRACE(layout.name);
        const DesignedDecoder d = designDecoder(layout);
        const std::vector<Vec3> speakers = speakerDirections(layout);
        double naive[32][4] = {};
        naiveSampling(speakers, d.horizontal, naive);
        const std::vector<Vec3> waves = spannedDirections(layout);
        const double designed = worstReErrorDegrees(d.plan.hf, speakers, waves);
        const double sampled = worstReErrorDegrees(naive, speakers, waves);
        std::printf("%-24s worst rE direction error: designed %5.1f, naive sampling %5.1f degrees "
                    "(%s HF%s, %s LF)\n",
                    layout.name.c_str(), designed, sampled,
                    d.allradHf ? "AllRAD" : "energy-preserving", d.sharedImaginary ? " shared" : "",
                    d.modeMatchedLf ? "mode-matched" : "unweighted");
        EXPECT_LT(designed, sampled);
        // Mode matching, where used, gives rV = 1 in every direction.
        if (d.modeMatchedLf)
            for (const Vec3& u : waves) {
                const PlaneWaveResponse r = planeWaveResponse(d.plan.lf, speakers, u);
                ASSERT_NEAR(lengthOf(r.rV), 1.0, 1e-9);
                ASSERT_LT(angleDegrees(r.rV, u), 1e-4);
            }
    }
}

TEST(RigDesign, GapsAreFilledAndNamedInOneLine) {
    struct Case {
        Layout layout;
        const char* uncovered;
    };
    const Case cases[] = {
        {rigOf("stereo", {{30, 0}, {-30, 0}}), "azimuth 68 to -68 degrees"},
        {rigOf("L/C/R", {{30, 0}, {0, 0}, {-30, 0}}), "azimuth 68 to -68 degrees"},
        {rigOf("raised ring", {{0, 30}, {60, 30}, {120, 30}, {180, 30}, {-120, 30}, {-60, 30}}),
         "below -16 degrees elevation; above 58 degrees elevation"},
        {*factoryLayout("8+8 dome"), "below -38 degrees elevation"},
        {*factoryLayout("7.0.4 (BS.2051 4+7+0)"), "below -37 degrees elevation"},
        {*factoryLayout("ITU 5.0"), ""},
        {rigOf("cube", {{45, 35.26},
                        {135, 35.26},
                        {-135, 35.26},
                        {-45, 35.26},
                        {45, -35.26},
                        {135, -35.26},
                        {-135, -35.26},
                        {-45, -35.26}}),
         ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout.name);
        const DesignedDecoder d = designDecoder(c.layout);
        EXPECT_EQ(d.uncovered, c.uncovered);
        const RigPlan rig = planForLayout(c.layout);
        EXPECT_EQ(rig.uncovered,
                  c.uncovered[0] ? "Uncovered: " + std::string(c.uncovered) + "." : "");
        // Straight ahead is covered and sounds from its own side.
        const Vec3 ahead = c.layout.name == "raised ring" ? unitVector(0, 30) : unitVector(0, 0);
        const PlaneWaveResponse r =
            planeWaveResponse(d.plan.hf, speakerDirections(c.layout), ahead);
        EXPECT_LT(angleDegrees(r.rE, ahead), 15.0);
        EXPECT_GT(r.energy, 0.5);
    }
}

// A plane wave from any covered direction carries about the same energy at HF.
TEST(RigDesign, HfEnergyIsNearlyEvenOverCoveredDirections) {
    for (const Layout& layout : factoryLayouts()) {
        SCOPED_TRACE(layout.name);
        const DesignedDecoder d = designDecoder(layout);
        const std::vector<Vec3> speakers = speakerDirections(layout);
        double lo = 1e9, hi = 0.0, mean = 0.0;
        const std::vector<Vec3> waves = spannedDirections(layout);
        for (const Vec3& u : waves) {
            const double e = planeWaveResponse(d.plan.hf, speakers, u).energy;
            lo = std::min(lo, e);
            hi = std::max(hi, e);
            mean += e / waves.size();
        }
        const double loDb = 10 * std::log10(lo / mean), hiDb = 10 * std::log10(hi / mean);
        std::printf("%-24s HF energy %+.2f to %+.2f dB about its mean\n", layout.name.c_str(), loDb,
                    hiDb);
        EXPECT_NEAR(10 * std::log10(mean), 0.0,
                    1.5); // normalised over the design's own covered set
        EXPECT_GT(loDb, -3.0);
        EXPECT_LT(hiDb, 3.0);
    }
}

// A square whose rear pair stands 1.2 m closer: the same decoder, compensated.
TEST(RigDesign, UnequalDistancesReachThePlanAndLeaveTheMatricesAlone) {
    Layout square = rigOf("square", {{45, 0}, {-45, 0}, {135, 0}, {-135, 0}});
    const DesignedDecoder even = designDecoder(square);
    EXPECT_FALSE(even.plan.delayCompensation);
    square.speakers[2].distanceMetres = square.speakers[3].distanceMetres = 0.8;
    const DesignedDecoder near = designDecoder(square);
    EXPECT_TRUE(near.plan.delayCompensation);
    EXPECT_TRUE(near.plan.levelCompensation);
    EXPECT_EQ(near.plan.distanceMetres[0], 2.0);
    EXPECT_EQ(near.plan.distanceMetres[2], 0.8);
    for (int s = 0; s < 4; ++s)
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(near.plan.lf[s][c], even.plan.lf[s][c]);
            EXPECT_EQ(near.plan.hf[s][c], even.plan.hf[s][c]);
        }
}

// VBAP over a cube's hull has the cube's symmetry: the square faces are not split along one
// diagonal. Mirroring a wave in the plane x = y maps the speakers onto each other.
TEST(RigDesign, HullPanningKeepsTheSymmetryOfSquareFaces) {
    std::vector<Vec3> cube;
    const double az[4] = {45, 135, -135, -45};
    for (double e : {35.264389682754654, -35.264389682754654})
        for (double a : az) cube.push_back(unitVector(a, e));
    const LayoutHull hull(cube, std::vector<bool>(8, false), false);
    EXPECT_EQ(hull.size(), 8); // closed: nothing added
    // x <-> y maps azimuth a to 90 - a: 45 stays, 135 <-> -45, -135 stays.
    const int mirror[8] = {0, 3, 2, 1, 4, 7, 6, 5};
    const Vec3 waves[] = {unitVector(10, 5), unitVector(80, 60), unitVector(30, -20),
                          unitVector(0, 0), unitVector(100, 10)};
    double worstAsymmetry = 0.0;
    for (const Vec3& u : waves) {
        const Vec3 m = {u[1], u[0], u[2]};
        const std::vector<double> g = hull.gains(u), gm = hull.gains(m);
        double energy = 0.0;
        for (int s = 0; s < 8; ++s) {
            worstAsymmetry = std::max(worstAsymmetry, std::fabs(g[s] - gm[mirror[s]]));
            energy += g[s] * g[s];
        }
        EXPECT_NEAR(energy, 1.0, 1e-12);
    }
    EXPECT_LT(worstAsymmetry, 1e-9);
    // In a face's middle its four corners share alike.
    const std::vector<double> middle = hull.gains(unitVector(0, 0));
    for (int s : {0, 3, 4, 7}) EXPECT_NEAR(middle[s], 0.5, 1e-9) << s;
}

// An imaginary speaker of the file with gain 0 drops its share, with gain 1 hands it on.
TEST(RigDesign, ImaginarySpeakersDropOrShareTheirSignalAsTheirGainSays) {
    double energyBelow[2] = {};
    for (int shared = 0; shared < 2; ++shared) {
        Layout dome = *factoryLayout("8+8 dome");
        Speaker below;
        below.imaginary = true;
        below.elevationDegrees = -90.0;
        below.gain = shared;
        dome.speakers.push_back(below);
        validateLayout(dome, "dome");
        const DesignedDecoder d = designDecoder(dome);
        energyBelow[shared] =
            planeWaveResponse(d.plan.hf, speakerDirections(dome), unitVector(0, -60)).energy;
    }
    EXPECT_LT(energyBelow[0], 0.5 * energyBelow[1]);
}

} // namespace
