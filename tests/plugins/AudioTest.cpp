// SPDX-License-Identifier: GPL-3.0-or-later
// Audio through the record: one decoder of each plug-in with the pattern at 1 and a single
// band, where every output is the catalogue's matrix applied to the inputs; unused outputs
// silent; every program finite at the common rates.
#include <cmath>

#include "PluginBundles.h"
#include "engine/KivAmbisonicDecoder.h"

namespace {

struct Signals {
    Signals(int inputs, int outputs, int frames)
        : in(inputs, std::vector<float>(frames)), out(outputs, std::vector<float>(frames, 99.0f)) {
        for (auto& c : in) ins.push_back(c.data());
        for (auto& c : out) outs.push_back(c.data());
    }
    std::vector<std::vector<float>> in, out;
    std::vector<float*> ins, outs;
};

struct AudioCase {
    const BundleFacts* bundle;
    int slot;
    int speakers; // driven by that decoder
};

void PrintTo(const AudioCase& c, std::ostream* out) {
    *out << c.bundle->name << " slot " << c.slot;
}

class Audio : public ::testing::TestWithParam<AudioCase> {};

TEST_P(Audio, OutputsAreTheCatalogueMatrixTimesTheInputs) {
    const AudioCase& c = GetParam();
    const BundleFacts& b = *c.bundle;
    auto library = loadBundle(b);
    ASSERT_NE(library, nullptr);
    auto plugin = createInstance(*library);
    ASSERT_NE(plugin, nullptr);

    constexpr int kBlock = 256;
    plugin->start(48000.0f, kBlock);
    plugin->setParameter(0, 0.5f); // pattern 1 in both bands
    plugin->setParameter(1, 0.5f);
    plugin->setParameter(4, 1.0f); // no distance compensation
    plugin->setParameter(5, 1.0f);
    plugin->setParameter(6, 0.0f); // single band
    plugin->setParameter(3, static_cast<float>(c.slot) / 6.0f);

    // The same catalogue, built the way the plug-in builds it.
    KivAmbisonicDecoder reference(7, b.decList.data(), b.inputs, b.outputs, kBlock);
    const KivDecoderCoefs& set = *reference.decoders[c.slot];
    ASSERT_EQ(set.numOut, c.speakers);
    EXPECT_EQ(plugin->parameterDisplay(3), set.name);

    // Frames longer than the block size are processed too (in pieces).
    for (int frames : {kBlock, 37, 3 * kBlock + 5}) {
        Signals s(b.inputs, b.outputs, frames);
        for (int ch = 0; ch < b.inputs; ++ch)
            for (int i = 0; i < frames; ++i)
                s.in[ch][i] = static_cast<float>(std::sin(0.01 * (i + 1) * (ch + 1)) * 0.5);
        plugin->processReplacing(s.ins.data(), s.outs.data(), frames);
        for (int spk = 0; spk < b.outputs; ++spk)
            for (int i = 0; i < frames; ++i) {
                double expected = 0.0;
                if (spk < set.numOut)
                    for (int ch = 0; ch < set.numIn; ++ch)
                        expected += set.coefs[ch][spk] * s.in[ch][i];
                ASSERT_NEAR(s.out[spk][i], expected, 1e-5)
                    << b.name << " slot " << c.slot << " speaker " << spk << " frame " << i;
            }
    }
}

const AudioCase kAudioCases[] = {
    {&kRegular, 3, 8},   // octagon with a centre speaker
    {&kRegular, 0, 4},   // quad: four silent outputs
    {&kIrregular, 2, 5}, // ITU LF optimised v1: five speakers
    {&kIrregular, 0, 4}, // ITU full range v1: the centre is silent
};

INSTANTIATE_TEST_SUITE_P(Decoders, Audio, ::testing::ValuesIn(kAudioCases),
                         [](const ::testing::TestParamInfo<AudioCase>& info) {
                             return std::string(info.param.bundle->name) + "Slot" +
                                    std::to_string(info.param.slot);
                         });

class EveryProgram : public PluginTest {};

TEST_P(EveryProgram, FiniteAtEveryRateWithSilenceOnUnusedOutputs) {
    const BundleFacts& b = facts();
    KivAmbisonicDecoder reference(7, b.decList.data(), b.inputs, b.outputs, 512);
    for (float rate : {44100.0f, 48000.0f, 96000.0f})
        for (int program = 0; program < 7; ++program) {
            plugin->stop();
            plugin->start(rate, 512);
            dispatch(effSetProgram, 0, program);
            // Distance compensation on, so the near-field filters run too.
            plugin->setParameter(4, 0.3f);
            Signals s(b.inputs, b.outputs, 512);
            for (int block = 0; block < 8; ++block) {
                for (auto& ch : s.in)
                    for (int i = 0; i < 512; ++i)
                        ch[i] =
                            static_cast<float>(((block * 512 + i) * 7919 % 2001) - 1000) / 1000.0f;
                plugin->processReplacing(s.ins.data(), s.outs.data(), 512);
                const int driven = reference.decoders[program]->numOut;
                for (int spk = 0; spk < b.outputs; ++spk)
                    for (float v : s.out[spk]) {
                        ASSERT_TRUE(std::isfinite(v)) << rate << " program " << program;
                        if (spk >= driven) {
                            ASSERT_EQ(v, 0.0f) << "unused output " << spk;
                        }
                    }
            }
        }
}

KIV_BOTH_BUNDLES(EveryProgram);

} // namespace
