// SPDX-License-Identifier: GPL-3.0-or-later
// The numbers of the 32 catalogue decoders. A plug-in's DecList names seven of them.
#pragma once

#include <cstdint>

enum DecShape : std::int32_t {
    QuadSquare = 0,
    ItuFullRangeV1 = 1,
    ItuFullRangeV2 = 2,
    HexagonWithCF = 3,
    HexagonWithoutCF = 4,
    OctagonWithCF = 5,
    OctagonWithoutCF = 6,
    Cube8 = 7,
    Octahedron = 8,
    Speakers24 = 9,
    ItuLFOptimisedV1 = 10,
    ItuLFOptimisedV2 = 11,
    ItuHFOptimisedV1 = 12,
    ItuFullRangeV3 = 13,
    ItuFullRangeV4 = 14,
    Dodecagon2o = 15,
    Dome15 = 16,
    MusicLiveRectangle = 17,
    Itu3oMaxRE1 = 18,
    ItuMaxMeMv1 = 19,
    ItuMaxMeMv2 = 20,
    ItuMaxAeAv1 = 21,
    ItuTervil = 22,
    Octagon2oWithCF = 23,
    Octagon2oWithoutCF = 24,
    Dome12 = 25,
    Octagon3oWithCF = 26,
    Octagon3oWithoutCF = 27,
    Itu2o3D = 28,
    Itu2o2D = 29,
    Hexagon2oWithCF = 30,
    Hexagon2oWithoutCF = 31,
};

constexpr int kNumDecShapes = 32;
