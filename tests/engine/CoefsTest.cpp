// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>

#include "engine/KivDecoderCoefs.h"

TEST(Coefs, ConstructorsShapeTheMatrix) {
    KivDecoderCoefs plain;
    EXPECT_EQ(plain.numIn, 4);
    EXPECT_EQ(plain.numOut, 8);
    EXPECT_TRUE(plain.name.empty());
    for (int c = 0; c < 4; ++c)
        for (int s = 0; s < 8; ++s) EXPECT_EQ(plain.coefs[c][s], 0.0);

    KivDecoderCoefs counts(9, 15);
    EXPECT_EQ(counts.numIn, 9);
    EXPECT_EQ(counts.numOut, 15);
    EXPECT_EQ(counts.coefs[8][14], 0.0);

    struct {
        int type, numIn;
    } kinds[] = {{First2D, 3}, {First3D, 4}, {Second2D, 5}, {Second3D, 9}, {7, 4}, {-1, 4}};
    for (auto k : kinds) {
        KivDecoderCoefs byType(static_cast<DecType>(k.type), 6);
        EXPECT_EQ(byType.numIn, k.numIn) << "type " << k.type;
        EXPECT_EQ(byType.numOut, 6);
        EXPECT_EQ(byType.decType, k.type);
    }
}

TEST(Coefs, ReshapeKeepsTheNameAndClears) {
    KivDecoderCoefs set;
    set.name = "Quad (square)";
    set.setCoef(0, 1.0, 2.0, 3.0, 4.0);
    set.setInOutChannels(3, 4);
    EXPECT_EQ(set.name, "Quad (square)");
    EXPECT_EQ(set.numIn, 3);
    EXPECT_EQ(set.numOut, 4);
    EXPECT_EQ(set.coefs[0][0], 0.0);
}

TEST(Coefs, FixedWidthFormsWriteTheirChannels) {
    KivDecoderCoefs three(3, 2);
    three.setCoef(1, 0.1, 0.2, 0.3, 0.4); // z ignored on a three-channel set
    EXPECT_EQ(three.coefs[0][1], 0.1);
    EXPECT_EQ(three.coefs[1][1], 0.2);
    EXPECT_EQ(three.coefs[2][1], 0.3);
    EXPECT_EQ(three.coefs[0][0], 0.0);

    KivDecoderCoefs four(4, 1);
    four.setCoef(0, 0.1, 0.2, 0.3, 0.4);
    EXPECT_EQ(four.coefs[3][0], 0.4);

    KivDecoderCoefs five(5, 1), seven(7, 1), nine(9, 1);
    five.setCoef(0, 1, 2, 3, 4, 5);
    seven.setCoef(0, 1, 2, 3, 4, 5, 6, 7);
    nine.setCoef(0, 1, 2, 3, 4, 5, 6, 7, 8, 9);
    for (int c = 0; c < 5; ++c) EXPECT_EQ(five.coefs[c][0], c + 1);
    for (int c = 0; c < 7; ++c) EXPECT_EQ(seven.coefs[c][0], c + 1);
    for (int c = 0; c < 9; ++c) EXPECT_EQ(nine.coefs[c][0], c + 1);
}

TEST(Coefs, DirectionFormByChannelCount) {
    const double pi = 3.141592653589793;
    KivDecoderCoefs three(3, 1);
    three.setCoef(0, 1.0, 0.0, 0.0);
    EXPECT_EQ(three.coefs[0][0], 0.7071067811865476);
    EXPECT_EQ(three.coefs[1][0], 0.5);
    EXPECT_EQ(three.coefs[2][0], 0.0);

    KivDecoderCoefs left(4, 1);
    left.setCoef(0, 1.0, pi / 2, 0.0);
    EXPECT_EQ(left.coefs[1][0], std::cos(pi / 2) * 0.5); // about 3e-17, not zero
    EXPECT_NE(left.coefs[1][0], 0.0);
    EXPECT_EQ(left.coefs[2][0], 0.5);
    EXPECT_EQ(left.coefs[3][0], 0.0);

    KivDecoderCoefs up(4, 1);
    up.setCoef(0, 1.0, 0.0, pi / 4);
    EXPECT_NEAR(up.coefs[1][0], 0.353553, 1e-6);
    EXPECT_NEAR(up.coefs[3][0], 0.353553, 1e-6);

    KivDecoderCoefs heightUnscaled(4, 1); // Z does not take the gain
    heightUnscaled.setCoef(0, 2.0, 0.0, pi / 2);
    EXPECT_EQ(heightUnscaled.coefs[0][0], 2 * 0.7071067811865476);
    EXPECT_EQ(heightUnscaled.coefs[3][0], 0.5);

    for (double a : {0.3, 1.1, -2.0}) {
        KivDecoderCoefs nine(9, 1);
        nine.setCoef(0, 1.0, a, 0.0);
        EXPECT_EQ(nine.coefs[3][0], 0.0);
        EXPECT_EQ(nine.coefs[4][0], -0.125);
        EXPECT_EQ(nine.coefs[5][0], 0.0);
        EXPECT_EQ(nine.coefs[6][0], 0.0);
        EXPECT_DOUBLE_EQ(nine.coefs[7][0], 0.25 * std::cos(2 * a));
        EXPECT_DOUBLE_EQ(nine.coefs[8][0], 0.25 * std::sin(2 * a));

        KivDecoderCoefs flat(5, 1), tilted(5, 1);
        flat.setCoef(0, 1.0, a, 0.0);
        tilted.setCoef(0, 1.0, a, 0.7);
        for (int c = 0; c < 5; ++c) EXPECT_EQ(flat.coefs[c][0], tilted.coefs[c][0]);
        EXPECT_DOUBLE_EQ(flat.coefs[3][0], 0.25 * std::cos(2 * a));
    }

    KivDecoderCoefs seven(7, 1);
    seven.setCoef(0, 1.0, 0.5, 0.2);
    EXPECT_EQ(seven.coefs[0][0], 0.7071067811865476);
    for (int c = 1; c < 7; ++c) EXPECT_EQ(seven.coefs[c][0], 0.0);
}
