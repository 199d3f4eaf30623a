// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion as a host hears it, through both faces: which input each output takes and
// at what gain, in both directions; the way back gives the input; the direction value
// passes the guard every host value passes; block length and in-place buffers change
// nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "tests/converter/ConverterFaces.h"

using namespace kiv::convertertest;

namespace {

constexpr float kInverseSqrt2 = 0.70710677f; // 1 / sqrt 2 in single precision
constexpr float kSqrt2 = 1.4142135f;

Channels noise(int frames, unsigned seed, float level = 1.0f) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-level, level);
    Channels audio(4, std::vector<float>(frames));
    for (auto& channel : audio)
        for (float& x : channel) x = uniform(random);
    return audio;
}

class Conversion : public ::testing::TestWithParam<FaceKind> {
protected:
    std::unique_ptr<Face> face(float direction) {
        auto f = makeFace(GetParam());
        f->setDirection(direction);
        return f;
    }
};

std::string faceName(const ::testing::TestParamInfo<FaceKind>& info) {
    return info.param == FaceKind::Vst ? "Vst" : "Lv2";
}

struct Source {
    int channel;
    float gain;
};

// Output channel c = input channel source[c].channel x source[c].gain.
const struct {
    const char* name;
    float direction;
    Source source[4];
} kMappings[] = {
    // FuMa W, X, Y, Z from ACN0 / sqrt 2, ACN3, ACN1, ACN2.
    {"AmbiX to FuMa", 0.0f, {{0, kInverseSqrt2}, {3, 1.0f}, {1, 1.0f}, {2, 1.0f}}},
    // ACN 0, 1, 2, 3 from W x sqrt 2, Y, Z, X.
    {"FuMa to AmbiX", 1.0f, {{0, kSqrt2}, {2, 1.0f}, {3, 1.0f}, {1, 1.0f}}},
};

// Output channel 1 of the frame (1, 2, 3, 4) tells the direction: X = ACN3 = 4 from AmbiX to
// FuMa, ACN1 = Y = 3 from FuMa to AmbiX.
float channelOneOfATellingFrame(Face& face) {
    Channels frame = {{1.0f}, {2.0f}, {3.0f}, {4.0f}};
    return render(face, frame, 1)[1][0];
}
constexpr float kToFuMa = 4.0f, kToAmbiX = 3.0f;

} // namespace

TEST_P(Conversion, EachOutputTakesItsInputAtItsGain) {
    const Channels input = noise(1000, 1);
    for (const auto& mapping : kMappings) {
        const Channels out = render(*face(mapping.direction), input, 256);
        for (int c = 0; c < 4; ++c) {
            const Source& s = mapping.source[c];
            for (int i = 0; i < 1000; ++i)
                ASSERT_EQ(out[c][i], input[s.channel][i] * s.gain)
                    << mapping.name << ", output " << c << ", frame " << i;
        }
    }
}

TEST_P(Conversion, AmbiXToFuMaAndBackGivesTheInput) {
    const Channels ambix = noise(4096, 2);
    const Channels fuma = render(*face(0.0f), ambix, 512);
    const Channels back = render(*face(1.0f), fuma, 512);
    for (int c = 0; c < 4; ++c)
        for (int i = 0; i < 4096; ++i) {
            // W goes through two roundings; X, Y and Z are only moved.
            const float tolerance = c == 0 ? 3e-7f * std::fabs(ambix[c][i]) : 0.0f;
            ASSERT_NEAR(back[c][i], ambix[c][i], tolerance) << "channel " << c << ", frame " << i;
        }
    // And the way there really changed the channels.
    EXPECT_NE(fuma[1], ambix[1]);
}

TEST_P(Conversion, BlockLengthAndInPlaceBuffersChangeNothing) {
    const Channels input = noise(5000, 3);
    for (float direction : {0.0f, 1.0f}) {
        const Channels reference = render(*face(direction), input, 4096);
        for (int block : {1, 7, 512, 4096})
            for (bool inPlace : {false, true})
                EXPECT_EQ(render(*face(direction), input, block, inPlace), reference)
                    << "direction " << direction << ", blocks of " << block
                    << (inPlace ? ", in place" : "");
    }
}

// The direction a host value leaves, from either direction: NaN is ignored, anything else
// is clamped to 0..1 and read from one half on as FuMa to AmbiX.
TEST_P(Conversion, HostileDirectionValuesAreGuarded) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float value;
        float fromToFuMa, fromToAmbiX; // the direction after it, from either start
    } cases[] = {
        {nan, kToFuMa, kToAmbiX},   {-1.0f, kToFuMa, kToFuMa},  {2.0f, kToAmbiX, kToAmbiX},
        {inf, kToAmbiX, kToAmbiX},  {-inf, kToFuMa, kToFuMa},   {0.5f, kToAmbiX, kToAmbiX},
        {0.49f, kToFuMa, kToFuMa},  {1e-40f, kToFuMa, kToFuMa}, {0.0f, kToFuMa, kToFuMa},
        {1.0f, kToAmbiX, kToAmbiX},
    };
    for (const auto& c : cases) {
        for (float start : {0.0f, 1.0f}) {
            auto f = face(start);
            ASSERT_EQ(channelOneOfATellingFrame(*f), start == 0.0f ? kToFuMa : kToAmbiX);
            f->setDirection(c.value);
            EXPECT_EQ(channelOneOfATellingFrame(*f), start == 0.0f ? c.fromToFuMa : c.fromToAmbiX)
                << "value " << c.value << " after direction " << start;
        }
    }
}

TEST_P(Conversion, NonFiniteSamplesStayInTheirOwnFrames) {
    Channels input = noise(64, 4);
    input[3][10] = std::numeric_limits<float>::quiet_NaN();
    const Channels out = render(*face(0.0f), input, 64);
    EXPECT_TRUE(std::isnan(out[1][10])); // ACN3 is FuMa X
    for (int c = 0; c < 4; ++c)
        for (int i = 0; i < 64; ++i) {
            if (c == 1 && i == 10) continue;
            EXPECT_TRUE(std::isfinite(out[c][i])) << c << " " << i;
        }
}

INSTANTIATE_TEST_SUITE_P(Faces, Conversion, ::testing::Values(FaceKind::Vst, FaceKind::Lv2),
                         faceName);
