// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/KivAmbisonicDecoder.h"

namespace {
const DecShape kRegular[7] = {QuadSquare,       HexagonWithCF, HexagonWithoutCF, OctagonWithCF,
                              OctagonWithoutCF, Cube8,         Octahedron};
const DecShape kIrregular[7] = {ItuFullRangeV1,   ItuFullRangeV2,   ItuLFOptimisedV1,
                                ItuLFOptimisedV2, ItuHFOptimisedV1, ItuFullRangeV3,
                                ItuFullRangeV4};
} // namespace

TEST(Engine, NewEngineReportsItsDefaults) {
    KivAmbisonicDecoder e(7, kRegular, 4, 8, 1024);
    EXPECT_EQ(e.getLPGain(), 0.65f);
    EXPECT_EQ(e.getLPGain(), 1.3f * 0.5f);
    EXPECT_EQ(e.getHPGain(), 0.75f);
    EXPECT_NEAR(e.getFCut(), 0.28695652f, 1e-7);
    EXPECT_EQ(e.getDistComp(), 1.0f);
    EXPECT_EQ(e.getNFC(), 1.0f);
    EXPECT_EQ(e.getSEQ(), 1.0f);
    EXPECT_EQ(e.getDec(), 0.0f);
    EXPECT_EQ(e.fs, 44100.0f);
    EXPECT_STREQ(e.getDecDisplay(), "Quad (square)");
    ASSERT_NE(e.inTemp, nullptr);
    for (int j = 0; j < 4; ++j) {
        ASSERT_NE(e.crossover[j], nullptr);
        EXPECT_EQ(e.crossover[j]->capacity, 1024);
        EXPECT_EQ(e.shelf[j]->a, 0.0f);
        EXPECT_EQ(e.shelf[j]->gain, 0.0f);
    }
    EXPECT_EQ(e.crossover[4], nullptr); // beyond numInputs nothing exists

    KivAmbisonicDecoder noBuffers(7, kIrregular, 3, 5, 0);
    EXPECT_EQ(noBuffers.inTemp, nullptr);
    EXPECT_EQ(noBuffers.crossover[0], nullptr);
    noBuffers.setFCut(0.5f); // no crossovers yet: must not crash
    noBuffers.resume();
}

TEST(Engine, ParameterMappings) {
    KivAmbisonicDecoder e(7, kRegular, 4, 8, 512);
    e.setFCut(0.28695652f);
    EXPECT_EQ(e.fCut, 380.0f);
    e.setFCut(0);
    EXPECT_EQ(e.fCut, 50.0f);
    e.setFCut(1);
    EXPECT_EQ(e.fCut, 1200.0f);
    for (int j = 0; j < 4; ++j) EXPECT_EQ(e.crossover[j]->fc, 1200.0f);

    const struct {
        float v;
        int slot;
    } decs[] = {{0.5f, 3},    {0.58f, 3}, {0.59f, 4}, {0.0833f, 0},
                {0.0834f, 1}, {1.0f, 6},  {0.0f, 0}};
    for (auto d : decs) {
        e.setDec(d.v);
        EXPECT_EQ(e.dec, d.slot) << d.v;
    }
    e.setDec(0.5f);
    EXPECT_EQ(e.getDec(), 0.5f);
    EXPECT_STREQ(e.getDecDisplay(), "Octagon with CF");

    e.chooseDec(7);
    EXPECT_EQ(e.dec, 6);
    e.chooseDec(-3);
    EXPECT_EQ(e.dec, 0);
    e.chooseDec(2);
    EXPECT_EQ(e.dec, 2);

    e.setDistComp(1);
    EXPECT_EQ(e.distComp, 8.0f);
    e.setDistComp(0);
    EXPECT_EQ(e.distComp, 0.5f);
    e.setNFC(1);
    EXPECT_EQ(e.nfc, 8.0f);
    EXPECT_EQ(e.nfFilter[0]->d1, 0.0f); // w1 = 0: no encoded distance
    e.setLPGain(0.25f);
    EXPECT_EQ(e.lpGain, 0.5f);
    EXPECT_EQ(e.getLPGainDisplay(), 0.5f);
    e.setHPGain(0.9f);
    EXPECT_EQ(e.hpGain, 1.8f);
    e.setSEQ(0.3f);
    EXPECT_EQ(e.getSEQ(), 0.3f);
}

TEST(Engine, DecoderValuesOutsideTheRangeStayInTheTable) {
    KivAmbisonicDecoder e(7, kRegular, 4, 8, 64);
    const float odd[] = {-1.0f,
                         2.0f,
                         1e30f,
                         -1e30f,
                         std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         1.2f};
    for (float v : odd) {
        e.setDec(v);
        EXPECT_GE(e.dec, 0) << v;
        EXPECT_LE(e.dec, 6) << v;
        EXPECT_NE(e.getDecDisplay(), nullptr);
    }
    e.setDec(2.0f);
    EXPECT_EQ(e.dec, 6);
    e.setDec(-1.0f);
    EXPECT_EQ(e.dec, 0);
}

TEST(Engine, SpatialEQThresholds) {
    KivAmbisonicDecoder e(7, kIrregular, 3, 5, 64);
    const struct {
        float seq;
        const char* text;
    } cases[] = {{0.0f, "No-Use LF"}, {0.2499f, "No-Use LF"},
                 {0.25f, "Kiv EQ"},   {0.5f, "Kiv EQ"},
                 {0.7499f, "Kiv EQ"}, {0.75f, "Mavo EQ"},
                 {1.0f, "Mavo EQ"},   {std::numeric_limits<float>::quiet_NaN(), "No-Use LF"}};
    for (auto c : cases) {
        e.setSEQ(c.seq);
        EXPECT_STREQ(e.getSEQDisplay(), c.text) << c.seq;
    }
}

TEST(Engine, NearFieldSetup) {
    KivAmbisonicDecoder e(7, kRegular, 4, 8, 64);
    e.setFS(48000);
    e.setDistComp((2.0f - 0.5f) / 7.5f);
    EXPECT_FLOAT_EQ(e.distComp, 2.0f);
    // w2 = 342 / 96000 = 0.0035625
    NF_filt1 expected;
    expected.init(0, 342.0f / (e.distComp * 48000.0f), 1);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(e.nfFilter[k]->c1, expected.c1);
        EXPECT_EQ(e.nfFilter[k]->g, expected.g);
    }
    EXPECT_NEAR(e.nfFilter[0]->g, 0.9982219f, 2e-7);
    EXPECT_EQ(e.nfFilter[3]->g, 0.0f); // the spare filter is never set up

    e.setNFC((1.0f - 0.5f) / 7.5f);
    EXPECT_NEAR(e.nfFilter[0]->d1, 0.0070997f, 2e-7);
    EXPECT_NEAR(e.nfFilter[0]->g, 1.0017780f, 2e-7);

    // SetDistCoef sets explicit distances without storing them; "none" is read from nfc.
    const float nfcBefore = e.nfc, distBefore = e.distComp;
    e.SetDistCoef(4.0f, 2.0f);
    EXPECT_EQ(e.nfc, nfcBefore);
    EXPECT_EQ(e.distComp, distBefore);
    EXPECT_NEAR(e.nfFilter[1]->d1,
                2 * (0.5f * 342.0f / (4 * 48000.0f)) / (1 + 0.5f * 342.0f / (4 * 48000.0f)), 1e-7);
    e.setNFC(1);
    e.SetDistCoef(4.0f, 2.0f);
    EXPECT_EQ(e.nfFilter[1]->d1, 0.0f);

    // The state survives a set-up; the smoothers glide, and resume snaps them.
    e.nfFilter[0]->z1 = 0.5f;
    e.setDistComp(0.1f);
    EXPECT_EQ(e.nfFilter[0]->z1, 0.5f);
    EXPECT_NE(e.nfFilter[0]->c1z.z, e.nfFilter[0]->c1);
    e.resume();
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(e.nfFilter[k]->z1, 0.0f);
        EXPECT_EQ(e.nfFilter[k]->gz.z, e.nfFilter[k]->g);
        EXPECT_EQ(e.nfFilter[k]->d1z.z, e.nfFilter[k]->d1);
        EXPECT_EQ(e.nfFilter[k]->c1z.z, e.nfFilter[k]->c1);
    }
}

TEST(Engine, ShelvesFollowThePatternsOnlyInsideTheRange) {
    KivAmbisonicDecoder e(7, kRegular, 4, 8, 64);
    e.setFS(48000);
    e.setLPGain(0.65f);
    e.setHPGain(0.75f);
    mavoshelf w, x;
    w.init(48000, e.fCut, 2 - e.lpGain, 2 - e.hpGain);
    x.init(48000, e.fCut, e.lpGain, e.hpGain);
    EXPECT_EQ(e.shelf[0]->b, w.b);
    EXPECT_EQ(e.shelf[0]->gain, w.gain);
    for (int j = 1; j < 4; ++j) EXPECT_EQ(e.shelf[j]->a, x.a);

    const float keptA = e.shelf[1]->a;
    e.setHPGain(0.75f);
    e.setLPGain(0.5f); // recomputed while both patterns lie inside (0, 2)
    EXPECT_NE(e.shelf[1]->a, keptA);
}

// At either end of a pattern's range the shelf design is singular; the shelves then take
// the design of the value 2^-20 inside the end, finite, stable and the same whatever came
// before (a restored session sounds as it was saved).
TEST(Engine, ShelvesAtThePatternEndsAreFiniteAndIndependentOfHistory) {
    const float margin = 9.5367432e-07f;
    const struct {
        float lp, hp;             // normalised values given
        float designLp, designHp; // patterns the shelves must be designed from
    } cases[] = {
        {0.0f, 0.75f, margin, 1.5f},
        {1.0f, 0.75f, 2.0f - margin, 1.5f},
        {0.65f, 0.0f, 1.3f, margin},
        {0.65f, 1.0f, 1.3f, 2.0f - margin},
        {0.0f, 1.0f, margin, 2.0f - margin},
        {1e-9f, 0.75f, margin, 1.5f},         // next to an end: no infinite gain
        {1e-40f, 0.75f, margin, 1.5f},        // subnormal
        {margin, 0.75f, 2.0f * margin, 1.5f}, // inside the margin band: as given
    };
    for (const auto& c : cases) {
        for (float before : {0.1f, 0.9f}) { // two different histories
            KivAmbisonicDecoder e(7, kRegular, 4, 8, 64);
            e.setFS(48000);
            e.setLPGain(before);
            e.setHPGain(1.0f - before);
            e.setLPGain(c.lp);
            e.setHPGain(c.hp);
            mavoshelf w, x;
            w.init(48000, e.fCut, 2.0f - c.designLp, 2.0f - c.designHp);
            x.init(48000, e.fCut, c.designLp, c.designHp);
            for (int j = 0; j < 4; ++j) {
                const mavoshelf& want = j == 0 ? w : x;
                EXPECT_EQ(e.shelf[j]->a, want.a) << c.lp << " " << c.hp << " channel " << j;
                EXPECT_EQ(e.shelf[j]->b, want.b) << c.lp << " " << c.hp << " channel " << j;
                EXPECT_EQ(e.shelf[j]->gain, want.gain) << c.lp << " " << c.hp << " channel " << j;
                EXPECT_TRUE(std::isfinite(e.shelf[j]->gain)) << c.lp << " " << c.hp;
                EXPECT_LE(std::fabs(e.shelf[j]->a), 1.0f) << c.lp << " " << c.hp;
            }
        }
    }
}

TEST(Engine, BlockSizeAndSampleRate) {
    KivAmbisonicDecoder e(7, kIrregular, 3, 5, 1024);
    e.setFS(96000);
    e.crossover[0]->z = 0.3f;
    e.shelf[0]->z = 0.2f;
    e.setBlockSize(512);
    EXPECT_EQ(e.blockSize, 512);
    for (int j = 0; j < 3; ++j) {
        EXPECT_EQ(e.crossover[j]->z, 0.0f);
        EXPECT_EQ(e.crossover[j]->capacity, 512);
        EXPECT_EQ(e.crossover[j]->fc, e.fCut);
        EXPECT_EQ(e.crossover[j]->fs, 96000.0f);
    }
    EXPECT_EQ(e.shelf[0]->z, 0.2f); // a block-size change keeps the shelves
    e.setFS(44100);
    EXPECT_EQ(e.shelf[0]->z, 0.2f); // a rate change recomputes but clears nothing
    EXPECT_EQ(e.crossover[1]->fs, 44100.0f);
    e.resume();
    EXPECT_EQ(e.shelf[0]->z, 0.0f);
}
