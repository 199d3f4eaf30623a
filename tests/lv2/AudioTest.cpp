// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 plug-ins decode exactly as the VST plug-ins: every factory program applied as a
// preset by lilv, settings across every control's range (at the start and changed while
// running), hostile control values, sample rates, a block longer than announced, and
// outputs decoded over the inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "Lv2TestHost.h"
#include "host/VstOpcodes.h"

namespace kiv::lv2test {
namespace {

constexpr int kFrames = 4096;
constexpr int kBlock = 256;
constexpr int kChange = 2048; // frame where the second setting takes over

std::string presetUri(const ProductDescription& product, int program) {
    return std::string(kProductUriPrefix) + product.name + ":preset:" + std::to_string(program);
}

std::string caseName(const Lv2Case& c) {
    return c.product->name;
}

class Programs : public ::testing::TestWithParam<std::tuple<const Lv2Case*, int>> {};

TEST_P(Programs, PresetAppliedByLilvDecodesAsTheVstProgram) {
    const auto [c, program] = GetParam();
    const Channels in = noise(c->product->numInputs, kFrames, 11u + program);
    Lv2Instance lv2(*c->product, 48000.0, kBlock);
    ASSERT_TRUE(lv2.valid());
    ASSERT_TRUE(lv2.applyPreset(presetUri(*c->product, program)));
    const Channels got = lv2.render(in, kBlock);
    const Channels want = renderVst(
        *c->vst, [p = program](auto& vst) { vst.dispatch(effSetProgram, 0, p); }, in, kBlock);
    EXPECT_EQ(firstDifference(got, want), "");
}

INSTANTIATE_TEST_SUITE_P(Factory, Programs,
                         ::testing::Combine(::testing::Values(&kRegularLv2, &kIrregularLv2),
                                            ::testing::Range(0, kNumFactoryPrograms)),
                         [](const auto& info) {
                             return caseName(*std::get<0>(info.param)) + "Program" +
                                    std::to_string(std::get<1>(info.param));
                         });

// One control set to `first` from the start and to `then` at kChange; the VST plug-in gets
// the normalised values the physical ones stand for (NaN: the setting stays).
struct Setting {
    int parameter;
    float first;
    float then;
    const char* what;
};

void PrintTo(const Setting& setting, std::ostream* out) {
    *out << setting.what;
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// clang-format off
const Setting kSettings[] = {
    {kLowFPattern,      0.0f,    2.0f,   "LfEnds"},
    {kLowFPattern,      0.37f,   1.5f,   "LfInside"},
    {kHighFPattern,     2.0f,    0.0f,   "HfEnds"},
    {kHighFPattern,     1.05f,   0.6f,   "HfInside"},
    {kCutOffF,          50.0f,   1200.0f,"CutOffEnds"},
    {kCutOffF,          700.0f,  123.4f, "CutOffInside"},
    {kLayout,           6.0f,    2.0f,   "LayoutWhole"},
    {kLayout,           3.4f,    4.6f,   "LayoutRounded"},
    {kDistanceComp,     0.5f,    2.5f,   "DistanceNear"},
    {kDistanceComp,     8.0f,    1.0f,   "DistanceOffThenOn"},
    {kEncodedDistance,  0.5f,    8.0f,   "EncodedNearThenNone"},
    {kEncodedDistance,  3.0f,    1.2f,   "EncodedInside"},
    {kSpatialEQ,        0.0f,    1.0f,   "SingleThenCrossover"},
    {kSpatialEQ,        2.0f,    0.0f,   "ShelfThenSingle"},
    // Hostile values: NaN is ignored, everything else is held to the range.
    {kLowFPattern,      kNaN,    kNaN,   "LfNaN"},
    {kHighFPattern,     kInf,    -kInf,  "HfInfinite"},
    {kCutOffF,          -1e30f,  1e30f,  "CutOffHuge"},
    {kLayout,           -1.0f,   7.0f,   "LayoutOutside"},
    {kLayout,           kNaN,    kInf,   "LayoutNaNThenInfinite"},
    {kDistanceComp,     -kInf,   kNaN,   "DistanceInfiniteThenNaN"},
    {kEncodedDistance,  0.1f,    100.0f, "EncodedOutside"},
    {kSpatialEQ,        -1e30f,  3.0f,   "SpatialEQOutside"},
};
// clang-format on

class Settings : public ::testing::TestWithParam<std::tuple<const Lv2Case*, Setting>> {};

TEST_P(Settings, ControlValuesDecodeAsTheVstParameters) {
    const auto [c, s] = GetParam();
    const ParameterRow& row = kParameters[s.parameter];
    const Channels in = noise(c->product->numInputs, kFrames, 5u);

    // Program 0, then the setting from the first block and its change at kChange.
    Lv2Instance lv2(*c->product, 48000.0, kBlock);
    ASSERT_TRUE(lv2.valid());
    Channels got(static_cast<std::size_t>(c->product->numOutputs));
    Channels firstPart(in.size()), secondPart(in.size());
    for (std::size_t j = 0; j < in.size(); ++j) {
        firstPart[j].assign(in[j].begin(), in[j].begin() + kChange);
        secondPart[j].assign(in[j].begin() + kChange, in[j].end());
    }
    lv2.control(s.parameter) = s.first;
    Channels a = lv2.render(firstPart, kBlock);
    lv2.control(s.parameter) = s.then;
    Channels b = lv2.render(secondPart, kBlock);
    for (std::size_t j = 0; j < got.size(); ++j) {
        got[j] = a[j];
        got[j].insert(got[j].end(), b[j].begin(), b[j].end());
    }

    // The normalised value a physical one stands for, held to the range as a host's
    // parameter would be; NaN sets nothing.
    auto send = [&row, k = s.parameter](kiv::vsthost::PluginInstance& vst, float physical) {
        if (std::isnan(physical)) return;
        const float held = std::fmin(std::fmax(physical, row.minimum), row.maximum);
        vst.setParameter(k, normalisedFromPhysical(row, held));
    };
    const Channels want = renderVst(
        *c->vst, [&](auto& vst) { send(vst, s.first); }, in, kBlock, 48000.0f,
        [&](auto& vst, int frame) {
            if (frame == kChange) send(vst, s.then);
        });
    EXPECT_EQ(firstDifference(got, want), "");
    for (const auto& channel : got)
        for (float v : channel) ASSERT_TRUE(std::isfinite(v));
}

INSTANTIATE_TEST_SUITE_P(Controls, Settings,
                         ::testing::Combine(::testing::Values(&kRegularLv2, &kIrregularLv2),
                                            ::testing::ValuesIn(kSettings)),
                         [](const auto& info) {
                             return caseName(*std::get<0>(info.param)) +
                                    std::get<1>(info.param).what;
                         });

class Blocks : public ::testing::TestWithParam<const Lv2Case*> {};

TEST_P(Blocks, SampleRateIsTheOneGivenAtInstantiation) {
    const Lv2Case& c = *GetParam();
    const Channels in = noise(c.product->numInputs, kFrames, 3u);
    for (double rate : {8000.0, 44100.0, 96000.0, 384000.0}) {
        Lv2Instance lv2(*c.product, rate, kBlock);
        ASSERT_TRUE(lv2.valid());
        lv2.control(kDistanceComp) = 1.5f; // near-field filters depend on the rate
        const Channels got = lv2.render(in, kBlock);
        const Channels want = renderVst(
            *c.vst,
            [](auto& vst) {
                vst.setParameter(kDistanceComp,
                                 normalisedFromPhysical(kParameters[kDistanceComp], 1.5f));
            },
            in, kBlock, static_cast<float>(rate));
        EXPECT_EQ(firstDifference(got, want), "") << rate << " Hz";
    }
}

TEST_P(Blocks, NoRateIsRefused) {
    for (double rate : {0.0, -48000.0, std::nan(""), 1e300})
        EXPECT_FALSE(Lv2Instance(*GetParam()->product, rate).valid()) << rate;
}

TEST_P(Blocks, BlockLongerThanAnnouncedDecodesAsShortOnes) {
    const Lv2Case& c = *GetParam();
    const Channels in = noise(c.product->numInputs, kFrames, 9u);
    Lv2Instance small(*c.product, 48000.0, 64); // announced maximum: 64 frames
    ASSERT_TRUE(small.valid());
    small.control(kSpatialEQ) = 1.0f; // the crossovers keep a buffer of the block length
    const Channels got = small.render(in, kFrames);
    const Channels want = renderVst(
        *c.vst, [](auto& vst) { vst.setParameter(kSpatialEQ, 0.5f); }, in, 64);
    EXPECT_EQ(firstDifference(got, want), "");
}

TEST_P(Blocks, WithoutOptionsAnyBlockLengthDecodesTheSame) {
    const Lv2Case& c = *GetParam();
    const Channels in = noise(c.product->numInputs, kFrames, 4u);
    Lv2Instance whole(*c.product, 48000.0);
    Lv2Instance odd(*c.product, 48000.0);
    ASSERT_TRUE(whole.valid() && odd.valid());
    EXPECT_EQ(firstDifference(whole.render(in, kFrames), odd.render(in, 37)), "");
}

TEST_P(Blocks, OutputsOverTheInputsDecodeAsApart) {
    const Lv2Case& c = *GetParam();
    const Channels in = noise(c.product->numInputs, kFrames, 8u);
    for (int program = 0; program < kNumFactoryPrograms; ++program) {
        Lv2Instance apart(*c.product, 48000.0, kBlock);
        Lv2Instance over(*c.product, 48000.0, kBlock);
        ASSERT_TRUE(apart.applyPreset(presetUri(*c.product, program)));
        ASSERT_TRUE(over.applyPreset(presetUri(*c.product, program)));
        apart.control(kDistanceComp) = over.control(kDistanceComp) = 2.0f;
        EXPECT_EQ(firstDifference(apart.render(in, kBlock), over.renderInPlace(in, kBlock)), "")
            << "program " << program;
    }
}

TEST_P(Blocks, DecoderInUseFollowsTheLayoutAsTheEngineTakesIt) {
    const Lv2Case& c = *GetParam();
    const Channels in = noise(c.product->numInputs, kBlock, 5u);
    KivAmbisonicDecoder catalogue(kDecListSize, c.product->decList, c.product->numInputs,
                                  c.product->numOutputs, 0);
    // Layout value written by the host, slot shown after the next run; held to the ends,
    // rounded to the nearest choice, NaN ignored (the slot before it stays).
    struct Step {
        float layout;
        float slot;
    };
    const Step steps[] = {{0.0f, 0.0f},  {3.0f, 3.0f},  {6.0f, 6.0f},  {2.6f, 3.0f},
                          {99.0f, 6.0f}, {-5.0f, 0.0f}, {5.0f, 5.0f},  {std::nanf(""), 5.0f},
                          {1.0f, 1.0f},  {1e30f, 6.0f}, {-1e30f, 0.0f}};
    Lv2Instance lv2(*c.product, 48000.0, kBlock);
    ASSERT_TRUE(lv2.valid());
    EXPECT_EQ(lv2.decoderInUse(), -1.0f) << "nothing is written before the first run";
    for (const Step& step : steps) {
        lv2.control(kLayout) = step.layout;
        lv2.render(in, kBlock);
        EXPECT_EQ(lv2.decoderInUse(), step.slot) << "layout " << step.layout;
    }
    // Every preset shows its program's decoder, the one the VST face names.
    for (int program = 0; program < kNumFactoryPrograms; ++program) {
        Lv2Instance fresh(*c.product, 48000.0, kBlock);
        ASSERT_TRUE(fresh.applyPreset(presetUri(*c.product, program)));
        fresh.render(in, kBlock);
        const int slot = static_cast<int>(fresh.decoderInUse());
        ASSERT_GE(slot, 0);
        ASSERT_LT(slot, kDecListSize);
        catalogue.setDec(c.product->programs[program].values[kLayout]);
        EXPECT_EQ(catalogue.decoders[slot]->name, catalogue.getDecDisplay())
            << "program " << program;
    }
}

INSTANTIATE_TEST_SUITE_P(Bundles, Blocks, ::testing::Values(&kRegularLv2, &kIrregularLv2),
                         [](const auto& info) { return caseName(*info.param); });

} // namespace
} // namespace kiv::lv2test
