// SPDX-License-Identifier: GPL-3.0-or-later
// Signals a host's other plug-ins send: digital silence, a loud burst and then a long
// silence, NaN and infinite bursts, full-scale noise with every parameter at either end; and
// LayoutDecoder's programs, each its factory layout's speakers (LV2: designed by the
// worker).
// Both faces of every bundle (LV2: programs are the presets' control values, parameters the
// control ports' physical values).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/validation/Audio.h"
#include "tests/validation/Face.h"
#include "tests/validation/ParameterSets.h"

#include "product/LayoutDecoderProduct.h"
#include "rig/FactoryLayouts.h"

using namespace kiv::validation;

namespace {

class Signals : public ::testing::TestWithParam<FaceUnderTest> {};

constexpr float kRate = 48000.0f;
constexpr int kBlock = 512;

std::unique_ptr<Face> configured(const FaceUnderTest& face, const ParameterSet& set,
                                 int program = 0) {
    auto instance = newFace(face);
    instance->selectProgram(program);
    apply(*instance, set);
    instance->start(kRate, kBlock);
    return instance;
}

// Every parameter set to test with: the chain variants and every factory program as is.
struct Setting {
    std::string name;
    int program;
    const ParameterSet* set; // null: the program's own values
};

std::vector<Setting> settings(const FaceUnderTest& bundle) {
    std::vector<Setting> all;
    for (const ParameterSet& set : chainVariants()) all.push_back({set.name, 0, &set});
    for (int p = 0; p < bundle.programs; ++p)
        all.push_back({"program " + std::to_string(p), p, nullptr});
    return all;
}

std::unique_ptr<Face> configured(const FaceUnderTest& face, const Setting& setting) {
    if (setting.set) return configured(face, *setting.set, setting.program);
    auto instance = newFace(face);
    instance->selectProgram(setting.program);
    instance->start(kRate, kBlock);
    return instance;
}

int countIf(const Audio& audio, int from, bool (*test)(float)) {
    int n = 0;
    for (int j = 0; j < audio.channels(); ++j)
        for (int i = from; i < audio.frames(); ++i) n += test(audio[j][i]);
    return n;
}

bool nonZero(float x) {
    return x != 0.0f;
}
bool subnormal(float x) {
    return std::fpclassify(x) == FP_SUBNORMAL;
}

} // namespace

TEST_P(Signals, DigitalSilenceGivesExactSilence) {
    for (const Setting& setting : settings(GetParam())) {
        auto instance = configured(GetParam(), setting);
        const Audio out = render(*instance, Audio(GetParam().inputs, kBlock * 8), kBlock);
        EXPECT_EQ(countIf(out, 0, nonZero), 0) << setting.name;
    }
}

TEST_P(Signals, NoSubnormalOutputInAMinuteOfSilenceAfterALoudBurst) {
    const Audio burst = noise(GetParam().inputs, kBlock * 48, 3, 1.0f); // half a second
    const int blocks = static_cast<int>(kRate) * 60 / kBlock;
    for (const Setting& setting : settings(GetParam())) {
        if (!setting.set && setting.program % 3 != 0) continue; // programs 0, 3 and 6
        auto instance = configured(GetParam(), setting);
        ASSERT_GT(peak(render(*instance, burst, kBlock)), 0.1f) << setting.name;
        // The minute streams through one block of buffers, checked block by block.
        Audio silence(GetParam().inputs, kBlock), out(GetParam().outputs, kBlock);
        std::vector<float*> in = silence.pointers(), outs = out.pointers();
        int subnormals = 0, firstSubnormalBlock = -1;
        for (int b = 0; b < blocks; ++b) {
            instance->process(in.data(), outs.data(), kBlock);
            const int n = countIf(out, 0, subnormal);
            if (n > 0 && firstSubnormalBlock < 0) firstSubnormalBlock = b;
            subnormals += n;
        }
        EXPECT_EQ(subnormals, 0) << setting.name << ", first in block " << firstSubnormalBlock;
        // And the tail has died away into exact silence by the end of the minute.
        EXPECT_EQ(countIf(out, 0, nonZero), 0) << setting.name;
    }
}

TEST_P(Signals, FiniteOutputWithinOneBlockAfterANonFiniteBurst) {
    const float kinds[] = {std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity(),
                           -std::numeric_limits<float>::infinity()};
    // Bursts that end inside a block, and one that spans two blocks.
    const struct {
        int from, to;
    } bursts[] = {{kBlock * 2 + 100, kBlock * 2 + 101},
                  {kBlock * 2 + 10, kBlock * 2 + 300},
                  {kBlock * 2 + 400, kBlock * 3 + 200}};
    for (const Setting& setting : settings(GetParam())) {
        for (float bad : kinds) {
            for (const auto& burst : bursts) {
                for (bool inPlace : {false, true}) {
                    Audio input = noise(GetParam().inputs, kBlock * 8, 5, 0.5f);
                    for (int j = 0; j < GetParam().inputs; ++j)
                        for (int i = burst.from; i < burst.to; ++i) input[j][i] = bad;
                    auto instance = configured(GetParam(), setting);
                    const Audio out = render(*instance, input, kBlock, inPlace);
                    const int firstCleanBlock = (burst.to + kBlock - 1) / kBlock * kBlock;
                    EXPECT_EQ(firstNonFinite(out, firstCleanBlock), "")
                        << setting.name << ", burst of " << bad << " at " << burst.from << " to "
                        << burst.to << (inPlace ? ", in place" : "");
                    // The headphone monitor hears non-finite input as silence (in its
                    // convolution it would last the whole response): nothing to reach.
                    if (GetParam().name.rfind("HeadphoneMonitor", 0) != 0) {
                        EXPECT_EQ(firstNonFinite(out, 0).empty(), false)
                            << "the burst reached nobody";
                    }
                }
            }
        }
    }
}

TEST_P(Signals, FullScaleNoiseWithEveryParameterAtEitherEndStaysFinite) {
    const Audio input = noise(GetParam().inputs, kBlock * 8, 9, 1.0f);
    float loudest = 0.0f;
    for (int corners = 0; corners < 128; ++corners) {
        ParameterSet set{"corner", {}};
        for (int k = 0; k < 7; ++k) set.values[k] = (corners >> k) & 1 ? 1.0f : 0.0f;
        auto instance = configured(GetParam(), set);
        const Audio out = render(*instance, input, kBlock);
        ASSERT_EQ(firstNonFinite(out), "") << "corner " << corners;
        loudest = std::max(loudest, peak(out));
    }
    // Full-scale input through gains of at most 2 and the matrix: nothing near overflow.
    EXPECT_LT(loudest, 100.0f);
}

// Pattern values at and right next to either end, where the shelf design is singular.
TEST_P(Signals, PatternsNextToTheirEndsStayFinite) {
    const Audio input = noise(GetParam().inputs, kBlock * 8, 19, 1.0f);
    const float nearEnds[] = {0.0f, 1e-40f, 1e-8f, 0.99999994f, 1.0f};
    for (float lp : nearEnds)
        for (float hp : nearEnds)
            for (float seq : {0.1f, 0.5f, 1.0f}) {
                ParameterSet set{"near the ends", {lp, hp, 0.9f, 0.5f, 0.2f, 0.3f, seq}};
                const Audio out = render(*configured(GetParam(), set), input, kBlock);
                EXPECT_EQ(firstNonFinite(out), "") << lp << " " << hp << " " << seq;
                EXPECT_LT(peak(out), 100.0f) << lp << " " << hp << " " << seq;
            }
}

class LayoutSignals : public Signals {};

std::vector<FaceUnderTest> layoutDecoderFaces() {
    std::vector<FaceUnderTest> faces;
    for (const FaceUnderTest& face : allFaces())
        if (face.name.rfind("LayoutDecoder", 0) == 0) faces.push_back(face);
    return faces;
}

TEST_P(LayoutSignals, EachProgramFeedsItsSpeakersAndNoOtherOutput) {
    const Audio input = noise(GetParam().inputs, kBlock * 8, 11, 0.5f);
    for (int p = 0; p < GetParam().programs; ++p) {
        const Layout& layout = factoryLayouts()[p];
        const int fed = static_cast<int>(layout.realSpeakers().size()) + (layout.subwoofer ? 1 : 0);
        auto instance = configured(GetParam(), Setting{"", p, nullptr});
        const Audio out = render(*instance, input, kBlock);
        for (int o = 0; o < GetParam().outputs; ++o) {
            float last = 0.0f; // the last block's peak: after any hand-over
            for (int i = kBlock * 7; i < kBlock * 8; ++i)
                last = std::max(last, std::fabs(out[o][i]));
            if (o < fed)
                EXPECT_GT(last, 0.01f) << layout.name << ", output " << o + 1;
            else
                EXPECT_EQ(last, 0.0f) << layout.name << ", output " << o + 1;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Bundles, Signals, ::testing::ValuesIn(allFaces()), BundleName());
INSTANTIATE_TEST_SUITE_P(Bundles, LayoutSignals, ::testing::ValuesIn(layoutDecoderFaces()),
                         BundleName());
