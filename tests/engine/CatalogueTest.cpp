// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "engine/KivAmbisonicDecoder.h"

namespace {

const double kPi = 3.141592653589793;

// An engine whose seven slots hold the given shapes; only the sets matter here.
std::unique_ptr<KivAmbisonicDecoder> engineWith(std::vector<DecShape> shapes) {
    while (shapes.size() < 2) shapes.push_back(QuadSquare);
    return std::make_unique<KivAmbisonicDecoder>(static_cast<int>(shapes.size()), shapes.data(), 9,
                                                 24, 64);
}

struct Row {
    double w, x, y, z;
};
struct Entry {
    DecShape shape;
    const char* name;
    int numIn, numOut;
    std::vector<Row> rows; // the published six-decimal values, speaker by speaker
};

const std::vector<Entry>& reachedEntries() {
    static const std::vector<Entry> entries = {
        {QuadSquare,
         "Quad (square)",
         3,
         4,
         {{0.707107, 0.353553, 0.353553, 0},
          {0.707107, 0.353553, -0.353553, 0},
          {0.707107, -0.353553, 0.353553, 0},
          {0.707107, -0.353553, -0.353553, 0}}},
        {HexagonWithCF,
         "Hexagon with CF",
         3,
         6,
         {{0.707107, 0.5, 0, 0},
          {0.707107, 0.25, 0.433013, 0},
          {0.707107, -0.25, 0.433013, 0},
          {0.707107, -0.5, 0, 0},
          {0.707107, -0.25, -0.433013, 0},
          {0.707107, 0.25, -0.433013, 0}}},
        {HexagonWithoutCF,
         "Hexagon without CF",
         3,
         6,
         {{0.707107, 0.433013, 0.25, 0},
          {0.707107, 0, 0.5, 0},
          {0.707107, -0.433013, 0.25, 0},
          {0.707107, -0.433013, -0.25, 0},
          {0.707107, 0, -0.5, 0},
          {0.707107, 0.433013, -0.25, 0}}},
        {OctagonWithCF,
         "Octagon with CF",
         3,
         8,
         {{0.707107, 0.5, 0, 0},
          {0.707107, 0.353553, 0.353553, 0},
          {0.707107, 0, 0.5, 0},
          {0.707107, -0.353553, 0.353553, 0},
          {0.707107, -0.5, 0, 0},
          {0.707107, -0.353553, -0.353553, 0},
          {0.707107, 0, -0.5, 0},
          {0.707107, 0.353553, -0.353553, 0}}},
        {OctagonWithoutCF,
         "Octagon without CF",
         3,
         8,
         {{0.707107, 0.46194, 0.191342, 0},
          {0.707107, 0.191342, 0.46194, 0},
          {0.707107, -0.191342, 0.46194, 0},
          {0.707107, -0.46194, 0.191342, 0},
          {0.707107, -0.46194, -0.191342, 0},
          {0.707107, -0.191342, -0.46194, 0},
          {0.707107, 0.191342, -0.46194, 0},
          {0.707107, 0.46194, -0.191342, 0}}},
        {Cube8,
         "8 Speaker Cube (3D)",
         4,
         8,
         {{0.707107, 0.288904, 0.288904, 0.288216},
          {0.707107, -0.288904, 0.288904, 0.288216},
          {0.707107, -0.288904, -0.288904, 0.288216},
          {0.707107, 0.288904, -0.288904, 0.288216},
          {0.707107, 0.288904, 0.288904, -0.288216},
          {0.707107, -0.288904, 0.288904, -0.288216},
          {0.707107, -0.288904, -0.288904, -0.288216},
          {0.707107, 0.288904, -0.288904, -0.288216}}},
        {Octahedron,
         "Octahedron (3D)",
         4,
         6,
         {{0.707107, 0.353553, 0, 0.353553},
          {0.707107, -0.353553, 0, 0.353553},
          {0.707107, 0, 0.5, 0},
          {0.707107, 0, -0.5, 0},
          {0.707107, 0.353553, 0, -0.353553},
          {0.707107, -0.353553, 0, -0.353553}}},
        {ItuFullRangeV1,
         "ITU 5.0 Full Range v1",
         3,
         4,
         {{0.39284861846069663, 0.486794083218137, 0.344936431434402, 0},
          {0.39284861846069663, 0.486794083218137, -0.344936431434402, 0},
          {0.6569919502036998, -0.28903887990372495, 0.4507033671738203, 0},
          {0.6569919502036998, -0.28903887990372495, -0.4507033671738203, 0}}},
        {ItuFullRangeV2,
         "ITU 5.0 Full Range v2",
         3,
         4,
         {{0.425, 0.385, 0.33, 0},
          {0.425, 0.385, -0.33, 0},
          {0.63, -0.275, 0.285, 0},
          {0.63, -0.275, -0.285, 0}}},
        {ItuHFOptimisedV1,
         "ITU 5.0 HF Optimised v1",
         3,
         4,
         {{0.425, 0.385, 0.33, 0},
          {0.425, 0.385, -0.33, 0},
          {0.63, -0.275, 0.285, 0},
          {0.63, -0.275, -0.285, 0}}},
        {ItuLFOptimisedV1,
         "ITU 5.0 LF Optimised v1",
         3,
         5,
         {{0.165, 0.335, 0.31, 0},
          {0.165, 0.335, -0.31, 0},
          {0.51, -0.405, 0.365, 0},
          {0.51, -0.405, -0.365, 0},
          {0.065, 0.14, 0, 0}}},
        {ItuLFOptimisedV2,
         "ITU 5.0 LF Optimised v2",
         3,
         5,
         {{0.125, 0.275, 0.305, 0},
          {0.125, 0.275, -0.305, 0},
          {0.515, -0.4, 0.365, 0},
          {0.515, -0.4, -0.365, 0},
          {0.13, 0.245, 0, 0}}},
        {ItuFullRangeV3,
         "ITU 5.0 Full Range v3",
         3,
         5,
         {{0.425, 0.36, 0.405, 0},
          {0.425, 0.36, -0.405, 0},
          {0.47, -0.33, 0.415, 0},
          {0.47, -0.33, -0.415, 0},
          {0.2, 0.16, 0, 0}}},
        {ItuFullRangeV4,
         "ITU 5.0 Full Range v4",
         3,
         4,
         {{0.365, 0.435, 0.34, 0},
          {0.365, 0.435, -0.34, 0},
          {0.555, -0.285, 0.405, 0},
          {0.555, -0.285, -0.405, 0}}},
    };
    return entries;
}

bool isItu(DecShape s) {
    return s == ItuFullRangeV1 || s == ItuFullRangeV2 || s >= 10;
}

// The exact double of a ring speaker: the azimuth formula with every rounding step.
double ringAzimuth(DecShape shape, int i) {
    switch (shape) {
    case QuadSquare:
        return ((i * kPi) * 2) * 0.25 + 0.7853981633974483;
    case HexagonWithCF:
        return ((i * kPi) * 2) / 6;
    case HexagonWithoutCF:
        return ((i * kPi) * 2) / 6 + 0.5235987755982988;
    case OctagonWithCF:
        return ((i * kPi) * 2) * 0.125;
    case OctagonWithoutCF:
        return ((i * kPi) * 2) * 0.125 + 0.39269908169872414;
    case Cube8:
        return ((2 * i) * kPi) * 0.25 + 0.7853981633974483;
    default:
        return 0;
    }
}

} // namespace

TEST(Catalogue, EveryReachedEntryHasItsNameShapeAndValues) {
    for (const Entry& entry : reachedEntries()) {
        auto engine = engineWith({entry.shape});
        const KivDecoderCoefs& set = *engine->decoders[0];
        SCOPED_TRACE(entry.name);
        EXPECT_EQ(set.name, entry.name);
        EXPECT_EQ(set.numIn, entry.numIn);
        EXPECT_EQ(set.numOut, entry.numOut);
        ASSERT_EQ(static_cast<int>(entry.rows.size()), set.numOut);
        for (int s = 0; s < set.numOut; ++s) {
            const Row& r = entry.rows[s];
            const double tol = isItu(entry.shape) ? 0.0 : 5e-7; // the ITU tables are exact
            EXPECT_NEAR(set.coefs[0][s], r.w, tol) << "speaker " << s;
            EXPECT_NEAR(set.coefs[1][s], r.x, tol) << "speaker " << s;
            EXPECT_NEAR(set.coefs[2][s], r.y, tol) << "speaker " << s;
            if (set.numIn > 3) {
                EXPECT_NEAR(set.coefs[3][s], r.z, tol) << "speaker " << s;
            }
        }
    }
}

TEST(Catalogue, RingValuesAreExactToTheDouble) {
    const int quadOrder[4] = {0, 2, 3, 1};
    for (DecShape shape :
         {QuadSquare, HexagonWithCF, HexagonWithoutCF, OctagonWithCF, OctagonWithoutCF, Cube8}) {
        auto engine = engineWith({shape});
        const KivDecoderCoefs& set = *engine->decoders[0];
        const double k = shape == Cube8 ? 0.8171448983351285 : 1.0;
        for (int i = 0; i < set.numOut; ++i) {
            const int s = shape == QuadSquare ? quadOrder[i] : i;
            const double t = ringAzimuth(shape, i);
            EXPECT_EQ(set.coefs[0][s], 0.7071067811865476);
            EXPECT_EQ(set.coefs[1][s], std::cos(t) * 0.5 * k) << shape << "/" << s;
            EXPECT_EQ(set.coefs[2][s], std::sin(t) * 0.5 * k) << shape << "/" << s;
        }
    }
    // The speakers "straight to the side" keep the tiny non-zero cosine of the formula.
    auto hexagon = engineWith({HexagonWithoutCF});
    EXPECT_NE(hexagon->decoders[0]->coefs[1][1], 0.0);
    EXPECT_LT(std::fabs(hexagon->decoders[0]->coefs[1][1]), 1e-15);

    auto cube = engineWith({Cube8});
    const KivDecoderCoefs& c = *cube->decoders[0];
    // Speaker 4's azimuth is 2 pi + pi/4: the same direction, to within its rounding.
    EXPECT_NEAR(c.coefs[1][0], c.coefs[1][4], 1e-15);
    EXPECT_NEAR(c.coefs[2][0], c.coefs[2][4], 1e-15);
    EXPECT_EQ(c.coefs[3][0], 0.28821615808489665);
    EXPECT_EQ(c.coefs[3][4], -0.28821615808489665);

    auto octahedron = engineWith({Octahedron});
    const KivDecoderCoefs& o = *octahedron->decoders[0];
    EXPECT_EQ(o.coefs[1][2], std::cos(1.5707963267948966) * 0.5 * std::cos(0.0) * 1.0);
    EXPECT_EQ(o.coefs[3][0], 0.5 * std::sin(0.7853981633974483));
}

TEST(Catalogue, PluginListsFillTheirSlots) {
    const DecShape regular[7] = {QuadSquare,       HexagonWithCF, HexagonWithoutCF, OctagonWithCF,
                                 OctagonWithoutCF, Cube8,         Octahedron};
    KivAmbisonicDecoder engine(7, regular, 4, 8, 1024);
    EXPECT_EQ(engine.decoders[1]->name, "Hexagon with CF");
    EXPECT_EQ(engine.decoders[1]->numIn, 3);
    EXPECT_EQ(engine.decoders[1]->numOut, 6);
    EXPECT_EQ(engine.decoders[1]->coefs[0][0], 0.7071067811865476);
    EXPECT_EQ(engine.decoders[1]->coefs[1][0], 0.5);
    EXPECT_EQ(engine.decoders[1]->coefs[2][0], 0.0);
    EXPECT_EQ(engine.decoders[6]->name, "Octahedron (3D)");
}

TEST(Catalogue, UnreachedEntries) {
    auto e = engineWith({Speakers24, Dodecagon2o, Dome15, MusicLiveRectangle, Itu3oMaxRE1,
                         ItuMaxMeMv1, ItuMaxMeMv2, ItuMaxAeAv1, ItuTervil, Octagon2oWithCF,
                         Octagon2oWithoutCF, Dome12, Octagon3oWithCF, Octagon3oWithoutCF, Itu2o3D,
                         Itu2o2D, Hexagon2oWithCF, Hexagon2oWithoutCF});
    auto set = [&](int slot) -> const KivDecoderCoefs& { return *e->decoders[slot]; };

    EXPECT_EQ(set(0).name, "24 Speaker 3D (1st)");
    EXPECT_EQ(set(0).numOut, 24);
    const double s8[4] = {0.707107, 0.23097, 0.095671, 0.433013};
    for (int c = 0; c < 4; ++c) EXPECT_NEAR(set(0).coefs[c][8], s8[c], 1e-6);

    EXPECT_TRUE(set(1).name.empty()); // entry 15 is unnamed
    const double d0[5] = {0.707107, 0.241481, 0.064705, 0.216506, 0.125};
    for (int c = 0; c < 5; ++c) EXPECT_NEAR(set(1).coefs[c][0], d0[c], 1e-6);

    EXPECT_TRUE(set(2).name.empty());
    EXPECT_EQ(set(2).numIn, 9);
    EXPECT_EQ(set(2).numOut, 15);
    const double dome0[9] = {0.707107, 0.23097, 0.095671, 0, -0.125, 0, 0, 0.176777, 0.176777};
    for (int c = 0; c < 9; ++c) EXPECT_NEAR(set(2).coefs[c][0], dome0[c], 1e-6);

    const KivDecoderCoefs& rect = set(3);
    EXPECT_EQ(rect.name, "Music Live Decoder (rectangle)");
    const int sx[4] = {1, 1, -1, -1}, sy[4] = {1, -1, 1, -1};
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(rect.coefs[0][s], 0.7071067811865476);
        EXPECT_EQ(rect.coefs[1][s], sx[s] * 0.38402313733788);
        EXPECT_EQ(rect.coefs[2][s], sy[s] * 0.25601477115027);
    }

    // Front pair by the sign rule; the speakers not given stay zero.
    const KivDecoderCoefs& max3 = set(4);
    EXPECT_EQ(max3.numIn, 7);
    EXPECT_EQ(max3.coefs[2][0], 0.245);
    EXPECT_EQ(max3.coefs[2][1], -0.245);
    EXPECT_EQ(max3.coefs[3][1], -0.05);
    EXPECT_EQ(max3.coefs[6][1], -0.055);
    EXPECT_EQ(max3.coefs[0][4], 0.0);
    EXPECT_EQ(set(5).coefs[8][1], -0.005);
    EXPECT_EQ(set(5).coefs[0][4], 0.0); // no W on the centre
    for (int c = 0; c < 9; ++c)
        for (int s = 0; s < 5; ++s) EXPECT_EQ(set(6).coefs[c][s], set(7).coefs[c][s]);
    EXPECT_EQ(set(6).name, "ITU 5.0 Max Me Mv 2");
    EXPECT_EQ(set(7).name, "ITU 5.0 Max Ae Av 1");
    EXPECT_EQ(set(8).coefs[4][1], -0.22189);

    const double oct2[9] = {0.707107, 0.25, 0, 0, -0.125, 0, 0, 0.25, 0};
    for (int c = 0; c < 9; ++c) EXPECT_NEAR(set(9).coefs[c][0], oct2[c], 1e-6);
    EXPECT_NEAR(set(10).coefs[1][0], 0.25 * std::cos(kPi / 8), 1e-12);
    EXPECT_EQ(set(11).numOut, 12);
    EXPECT_NEAR(set(11).coefs[3][8], 0.25 * std::sin(0.8726646259971648), 1e-12);
    for (int slot : {12, 13}) {
        EXPECT_EQ(set(slot).numIn, 7);
        for (int s = 0; s < 8; ++s) {
            EXPECT_EQ(set(slot).coefs[0][s], 0.7071067811865476);
            for (int c = 1; c < 7; ++c) EXPECT_EQ(set(slot).coefs[c][s], 0.0);
        }
    }
    EXPECT_EQ(set(14).name, "ITU 5.0 2o Kiv");
    EXPECT_EQ(set(14).numIn, 9);
    EXPECT_EQ(set(15).name, "ITU 5.0 2o Kiv");
    EXPECT_EQ(set(15).numIn, 5);
    const int from5[5] = {0, 1, 2, 7, 8};
    for (int s = 0; s < 2; ++s)
        for (int c = 0; c < 5; ++c) EXPECT_EQ(set(14).coefs[from5[c]][s], set(15).coefs[c][s]);
    EXPECT_EQ(set(15).coefs[4][1], -0.125);
    const double hex1[5] = {0.707107, 0.125, 0.216506, -0.125, 0.216506};
    for (int c = 0; c < 5; ++c) EXPECT_NEAR(set(16).coefs[c][1], hex1[c], 1e-6);
    EXPECT_NEAR(set(17).coefs[1][0], 0.25 * std::cos(kPi / 6), 1e-12);
}

TEST(Catalogue, ShapeOutsideTheTableLeavesTheSetAlone) {
    const DecShape shapes[2] = {static_cast<DecShape>(32), static_cast<DecShape>(-1)};
    KivAmbisonicDecoder engine(2, shapes, 4, 8, 64);
    for (int slot = 0; slot < 2; ++slot) {
        EXPECT_EQ(engine.decoders[slot]->numIn, 4);
        EXPECT_EQ(engine.decoders[slot]->numOut, 8);
        EXPECT_TRUE(engine.decoders[slot]->name.empty());
    }
}
