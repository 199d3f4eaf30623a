// SPDX-License-Identifier: GPL-3.0-or-later
// The 32 fixed decoders. Each entry reshapes the slot's set, names it and writes
// every speaker's column by one of three methods: a ring of speakers at computed
// azimuths, speakers by direction, or tables of optimised values. Azimuths are
// computed exactly as written (the rounding of every step is part of the values).
#include <cmath>

#include "engine/KivAmbisonicDecoder.h"

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kQuarterPi = 0.7853981633974483;
constexpr double kSixthPi = 0.5235987755982988;
constexpr double kEighthPi = 0.39269908169872414;
constexpr double kTwelfthPi = 0.2617993877991494;
constexpr double kThirdPi = 1.0471975511965976;
constexpr double kRootHalf = 0.7071067811865476;

// Cube layers at +-35.2 degrees: cos 35.2 and 0.5 sin 35.2.
constexpr double kCubeHorizontal = 0.8171448983351285;
constexpr double kCubeHeight = 0.28821615808489665;

// ((i pi) 2) / 6 and ((i pi) 2) / 8, the ring positions of the hexagons and octagons.
double sixth(int i) {
    return ((i * kPi) * 2) / 6;
}
double eighth(int i) {
    return ((i * kPi) * 2) * 0.125;
}

// A first-order ring: W = sqrt(1/2), X = cos t / 2 * k, Y = sin t / 2 * k, fourth value z.
template <typename Azimuth, typename Speaker, typename Height>
void ring(KivDecoderCoefs& set, Azimuth azimuth, Speaker speaker, double k, Height z) {
    for (int i = 0; i < set.numOut; ++i) {
        const double t = azimuth(i);
        set.setCoef(speaker(i), kRootHalf, std::cos(t) * 0.5 * k, std::sin(t) * 0.5 * k, z(i));
    }
}

int same(int i) {
    return i;
}
double level(int) {
    return 0.0;
}

// Speakers first .. first + count - 1 by direction; k counts from 0 within the ring.
template <typename Azimuth>
void directions(KivDecoderCoefs& set, int first, int count, Azimuth azimuth, double elevation) {
    double k = 0.0;
    for (int s = first; s < first + count; ++s, k += 1.0)
        set.setCoef(s, 1.0, azimuth(s - first, k), elevation);
}

// ITU 5.0 with W, X, Y: right speakers mirror the left ones with Y negated; the centre
// (five-speaker sets only) has no Y.
struct Itu3 {
    double frontW, frontX, frontY;
    double surroundW, surroundX, surroundY;
    double centreW, centreX;
};

void itu3(KivDecoderCoefs& set, const char* name, int speakers, const Itu3& t) {
    set.setInOutChannels(3, speakers);
    set.name = name;
    set.setCoef(0, t.frontW, t.frontX, t.frontY, 0.0);
    set.setCoef(1, t.frontW, t.frontX, -t.frontY, 0.0);
    set.setCoef(2, t.surroundW, t.surroundX, t.surroundY, 0.0);
    set.setCoef(3, t.surroundW, t.surroundX, -t.surroundY, 0.0);
    if (speakers > 4) set.setCoef(4, t.centreW, t.centreX, 0.0, 0.0);
}

// Higher-order ITU sets of which only the front-left row is known: speaker 1 mirrors it
// with the listed channels negated; the other speakers stay zero.
void ituFrontPair(KivDecoderCoefs& set, int channels, const char* name, const double* row,
                  std::initializer_list<int> mirrored) {
    set.setInOutChannels(channels, 5);
    set.name = name;
    for (int c = 0; c < channels; ++c) set.coefs[c][0] = set.coefs[c][1] = row[c];
    for (int c : mirrored) set.coefs[c][1] = -row[c];
}

const Itu3 kItuFullRangeV1 = {0.39284861846069663,
                              0.486794083218137,
                              0.344936431434402,
                              0.6569919502036998,
                              -0.28903887990372495,
                              0.4507033671738203,
                              0.0,
                              0.0};
const Itu3 kItuFullRangeV2 = {0.425, 0.385, 0.33, 0.63, -0.275, 0.285, 0.0, 0.0};
const Itu3 kItuLFOptimisedV1 = {0.165, 0.335, 0.31, 0.51, -0.405, 0.365, 0.065, 0.14};
const Itu3 kItuLFOptimisedV2 = {0.125, 0.275, 0.305, 0.515, -0.4, 0.365, 0.13, 0.245};
const Itu3 kItuFullRangeV3 = {0.425, 0.36, 0.405, 0.47, -0.33, 0.415, 0.2, 0.16};
const Itu3 kItuFullRangeV4 = {0.365, 0.435, 0.34, 0.555, -0.285, 0.405, 0.0, 0.0};

const double kItu3oMaxRE1[7] = {0.24, 0.3, 0.245, -0.05, 0.255, -0.045, 0.055};
const double kItuMaxMeMv1[9] = {0.275, 0.405, 0.31, 0.025, 0.175, -0.01, 0.045, 0.03, 0.005};
const double kItuMaxMeMv2[9] = {0.33, 0.33, 0.28, 0.03, 0.195, -0.02, 0.06, 0.03, -0.005};
const double kItuTervil[9] = {0.2356,   0.24162, 0.27215,  -0.05322, 0.22189,
                              -0.08418, 0.05939, -0.06994, 0.08435};
const double kItu2o2D[5] = {0.405, 0.32, 0.31, 0.085, 0.125}; // W, X, Y, U, V

// The dome of entries 16 and 25: an octagon at ear level and a square above it.
void domeBase(KivDecoderCoefs& set, double squareElevation) {
    directions(
        set, 0, 8, [](int, double k) { return k * kPi * 0.25 + kEighthPi; }, 0.0);
    directions(
        set, 8, 4, [](int, double k) { return k * kPi * 0.5 + kQuarterPi; }, squareElevation);
}

} // namespace

void KivAmbisonicDecoder::setupCoefs(DecShape shape, int slot) {
    KivDecoderCoefs& set = *decoders[slot];
    switch (static_cast<unsigned>(shape)) {
    case QuadSquare: // written in the order FL, BL, BR, FR round the ring
        set.setInOutChannels(3, 4);
        set.name = "Quad (square)";
        ring(
            set, [](int i) { return ((i * kPi) * 2) * 0.25 + kQuarterPi; },
            [](int i) {
                const int order[4] = {0, 2, 3, 1};
                return order[i];
            },
            1.0, level);
        break;
    case ItuFullRangeV1:
        itu3(set, "ITU 5.0 Full Range v1", 4, kItuFullRangeV1);
        break;
    case ItuFullRangeV2:
        itu3(set, "ITU 5.0 Full Range v2", 4, kItuFullRangeV2);
        break;
    case HexagonWithCF:
        set.setInOutChannels(3, 6);
        set.name = "Hexagon with CF";
        ring(set, sixth, same, 1.0, level);
        break;
    case HexagonWithoutCF:
        set.setInOutChannels(3, 6);
        set.name = "Hexagon without CF";
        ring(
            set, [](int i) { return sixth(i) + kSixthPi; }, same, 1.0, level);
        break;
    case OctagonWithCF:
        set.setInOutChannels(3, 8);
        set.name = "Octagon with CF";
        ring(set, eighth, same, 1.0, level);
        break;
    case OctagonWithoutCF:
        set.setInOutChannels(3, 8);
        set.name = "Octagon without CF";
        ring(
            set, [](int i) { return eighth(i) + kEighthPi; }, same, 1.0, level);
        break;
    case Cube8: // upper square on speakers 0 to 3, lower on 4 to 7
        set.setInOutChannels(4, 8);
        set.name = "8 Speaker Cube (3D)";
        ring(
            set, [](int i) { return ((2 * i) * kPi) * 0.25 + kQuarterPi; }, same, kCubeHorizontal,
            [](int i) { return i <= 3 ? kCubeHeight : -kCubeHeight; });
        break;
    case Octahedron: {
        set.setInOutChannels(4, 6);
        set.name = "Octahedron (3D)";
        const double azimuth[6] = {0.0, kPi, kHalfPi, -kHalfPi, 0.0, kPi};
        const double elevation[6] = {kQuarterPi, kQuarterPi, 0.0, 0.0, -kQuarterPi, -kQuarterPi};
        for (int s = 0; s < 6; ++s) set.setCoef(s, 1.0, azimuth[s], elevation[s]);
        break;
    }
    case Speakers24: {
        set.setInOutChannels(4, 24);
        const auto azimuth = [](int, double k) { return k * kPi * 0.25 + kEighthPi; };
        directions(set, 0, 8, azimuth, 0.0);
        directions(set, 8, 8, azimuth, kThirdPi);
        directions(set, 16, 8, azimuth, -kThirdPi);
        set.name = "24 Speaker 3D (1st)";
        break;
    }
    case ItuLFOptimisedV1:
        itu3(set, "ITU 5.0 LF Optimised v1", 5, kItuLFOptimisedV1);
        break;
    case ItuLFOptimisedV2:
        itu3(set, "ITU 5.0 LF Optimised v2", 5, kItuLFOptimisedV2);
        break;
    case ItuHFOptimisedV1:
        itu3(set, "ITU 5.0 HF Optimised v1", 4, kItuFullRangeV2);
        break;
    case ItuFullRangeV3:
        itu3(set, "ITU 5.0 Full Range v3", 5, kItuFullRangeV3);
        break;
    case ItuFullRangeV4:
        itu3(set, "ITU 5.0 Full Range v4", 4, kItuFullRangeV4);
        break;
    case Dodecagon2o: // unnamed
        set.setInOutChannels(5, 12);
        directions(
            set, 0, 12, [](int, double k) { return k * kPi / 6 + kTwelfthPi; }, 0.0);
        break;
    case Dome15: // unnamed
        set.setInOutChannels(9, 15);
        domeBase(set, 0.6108652381980153);
        directions(
            set, 12, 3, [](int, double k) { return k * kPi / 1.5; }, 1.2217304763960306);
        break;
    case MusicLiveRectangle: {
        set.setInOutChannels(3, 4);
        set.name = "Music Live Decoder (rectangle)";
        const double x = 0.38402313733788, y = 0.25601477115027;
        set.setCoef(0, kRootHalf, x, y, 0.0);
        set.setCoef(1, kRootHalf, x, -y, 0.0);
        set.setCoef(2, kRootHalf, -x, y, 0.0);
        set.setCoef(3, kRootHalf, -x, -y, 0.0);
        break;
    }
    case Itu3oMaxRE1:
        ituFrontPair(set, 7, "ITU 5.0 3o Max rE 1", kItu3oMaxRE1, {2, 4, 6});
        break;
    case ItuMaxMeMv1:
        ituFrontPair(set, 9, "ITU 5.0 Max Me Mv 1", kItuMaxMeMv1, {2, 4, 6, 8});
        break;
    case ItuMaxMeMv2:
        ituFrontPair(set, 9, "ITU 5.0 Max Me Mv 2", kItuMaxMeMv2, {2, 4, 6, 8});
        break;
    case ItuMaxAeAv1:
        ituFrontPair(set, 9, "ITU 5.0 Max Ae Av 1", kItuMaxMeMv2, {2, 4, 6, 8});
        break;
    case ItuTervil:
        ituFrontPair(set, 9, "ITU 5.0 Tervil", kItuTervil, {2, 4, 6, 8});
        break;
    case Octagon2oWithCF:
        set.setInOutChannels(9, 8);
        set.name = "2o Octagon with CF";
        directions(
            set, 0, 8, [](int i, double) { return eighth(i); }, 0.0);
        break;
    case Octagon2oWithoutCF:
        set.setInOutChannels(9, 8);
        set.name = "2o Octagon without CF";
        directions(
            set, 0, 8, [](int i, double) { return eighth(i) + kEighthPi; }, 0.0);
        break;
    case Dome12: // unnamed
        set.setInOutChannels(9, 12);
        domeBase(set, 0.8726646259971648);
        break;
    case Octagon3oWithCF: // seven channels: the direction form writes only W
        set.setInOutChannels(7, 8);
        set.name = "3o Oct with CF";
        directions(
            set, 0, 8, [](int i, double) { return eighth(i); }, 0.0);
        break;
    case Octagon3oWithoutCF:
        set.setInOutChannels(7, 8);
        set.name = "3o Oct without CF";
        directions(
            set, 0, 8, [](int i, double) { return eighth(i) + kEighthPi; }, 0.0);
        break;
    case Itu2o3D: { // the horizontal second-order table in the nine-channel layout
        const double row[9] = {kItu2o2D[0], kItu2o2D[1], kItu2o2D[2], 0.0,        0.0,
                               0.0,         0.0,         kItu2o2D[3], kItu2o2D[4]};
        ituFrontPair(set, 9, "ITU 5.0 2o Kiv", row, {2, 8});
        break;
    }
    case Itu2o2D:
        ituFrontPair(set, 5, "ITU 5.0 2o Kiv", kItu2o2D, {2, 4});
        break;
    case Hexagon2oWithCF:
        set.setInOutChannels(5, 6);
        set.name = "2o Hexagon with CF";
        directions(
            set, 0, 6, [](int i, double) { return sixth(i); }, 0.0);
        break;
    case Hexagon2oWithoutCF:
        set.setInOutChannels(5, 6);
        set.name = "2o Hexagon without CF";
        directions(
            set, 0, 6, [](int i, double) { return sixth(i) + kSixthPi; }, 0.0);
        break;
    default: // not a catalogue number: the set stays as created
        break;
    }
}
