// SPDX-License-Identifier: GPL-3.0-or-later
// lv2apply, the command-line host of lilv-utils, decodes a file with each plug-in: found on
// LV2_PATH, one output channel per output port, and the catalogue's gains with the patterns
// at 1 in a single band (the output is then the decoder matrix times the input).
#include <gtest/gtest.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "Lv2TestHost.h"
#include "tests/support/ChildProcess.h"

namespace kiv::lv2test {
namespace {

struct ApplyCase {
    const Lv2Case* bundle;
    int layout;
};

void PrintTo(const ApplyCase& c, std::ostream* out) {
    *out << c.bundle->product->name << " layout " << c.layout;
}

class Lv2Apply : public ::testing::TestWithParam<ApplyCase> {};

TEST_P(Lv2Apply, DecodesAFileWithTheCatalogueGains) {
    if (KIV_SANITIZED)
        GTEST_SKIP() << "an instrumented plug-in cannot be loaded by lv2apply, which is not";
    const ProductDescription& product = *GetParam().bundle->product;
    const int slot = GetParam().layout;
    const std::string dir = ::testing::TempDir();
    const std::string inPath = dir + "lv2apply-in-" + product.name + ".wav";
    const std::string outPath = dir + "lv2apply-out-" + product.name + ".wav";
    std::remove(outPath.c_str());

    // 1 kHz on W only, half scale; X, Y (Z) silent.
    constexpr int kRate = 48000, kFrames = 4800;
    const int inputs = product.numInputs;
    std::vector<float> interleaved(static_cast<std::size_t>(kFrames * inputs), 0.0f);
    for (int i = 0; i < kFrames; ++i)
        interleaved[static_cast<std::size_t>(i * inputs)] =
            0.5f * static_cast<float>(std::sin(2.0 * M_PI * 1000.0 * i / kRate));
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = inputs;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* in = sf_open(inPath.c_str(), SFM_WRITE, &info);
    ASSERT_NE(in, nullptr) << sf_strerror(nullptr);
    ASSERT_EQ(sf_writef_float(in, interleaved.data(), kFrames), kFrames);
    sf_close(in);

    kiv::test::ChildOptions lv2apply;
    lv2apply.argv = {KIV_LV2APPLY,
                     "-i",
                     inPath,
                     "-o",
                     outPath,
                     "-c",
                     "lf_pattern",
                     "1",
                     "-c",
                     "hf_pattern",
                     "1",
                     "-c",
                     "spatial_eq",
                     "0",
                     "-c",
                     "layout",
                     std::to_string(slot),
                     std::string(kProductUriPrefix) + product.name};
    lv2apply.environment = {std::string("LV2_PATH=") + KIV_LV2_ROOT};
    lv2apply.logPath = dir + "lv2apply-" + product.name + ".log";
    ASSERT_EQ(kiv::test::runChild(lv2apply, std::chrono::seconds(60)), 0)
        << "lv2apply failed or did not end; see " << lv2apply.logPath;

    SF_INFO outInfo{};
    SNDFILE* out = sf_open(outPath.c_str(), SFM_READ, &outInfo);
    ASSERT_NE(out, nullptr) << sf_strerror(nullptr);
    ASSERT_EQ(outInfo.channels, product.numOutputs);
    ASSERT_EQ(outInfo.frames, kFrames);
    std::vector<float> decoded(static_cast<std::size_t>(kFrames * outInfo.channels));
    ASSERT_EQ(sf_readf_float(out, decoded.data(), kFrames), kFrames);
    sf_close(out);

    KivAmbisonicDecoder catalogue(kDecListSize, product.decList, product.numInputs,
                                  product.numOutputs, 0);
    const KivDecoderCoefs& set = *catalogue.decoders[slot];
    for (int spk = 0; spk < product.numOutputs; ++spk) {
        const double gain = spk < set.numOut ? set.coefs[0][spk] : 0.0;
        for (int i = 0; i < kFrames; ++i)
            ASSERT_NEAR(decoded[static_cast<std::size_t>(i * product.numOutputs + spk)],
                        gain * interleaved[static_cast<std::size_t>(i * inputs)], 1e-6)
                << "speaker " << spk << " frame " << i;
    }
    std::remove(inPath.c_str());
    std::remove(outPath.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Bundles, Lv2Apply, ::testing::Values(ApplyCase{&kRegularLv2, 3}, ApplyCase{&kIrregularLv2, 2}),
    [](const auto& info) { return std::string(info.param.bundle->product->name); });

} // namespace
} // namespace kiv::lv2test
