// SPDX-License-Identifier: GPL-3.0-or-later
// The converter before a decoder decodes AmbiX as the decoder's own tools do: an AmbiX
// plane-wave file through the converter (either face) and then RegularDecoder gives what
// `ambidec render --input ambix` gives for the same file; and ambidec itself takes the
// converter like any other bundle.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "host/VstOpcodes.h"
#include "tests/converter/ConverterFaces.h"
#include "tests/tools/ToolRun.h"

using namespace kiv::convertertest;
using namespace kiv::ambidec::testing;

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 512;
constexpr int kFrames = kRate / 4;
constexpr const char* kCubeProgram = "5"; // 3D Cube: every FuMa channel, Z included

// AmbiX (ACN 0 to 3, SN3D) of a plane wave from an azimuth and elevation: a 700 Hz tone
// with some noise.
Channels ambixPlaneWave(double azimuth, double elevation) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> uniform(-0.1f, 0.1f);
    Channels audio(4, std::vector<float>(kFrames));
    for (int i = 0; i < kFrames; ++i) {
        const double s = 0.4 * std::sin(2.0 * M_PI * 700.0 * i / kRate) + uniform(random);
        audio[0][i] = static_cast<float>(s);
        audio[1][i] = static_cast<float>(s * std::sin(azimuth) * std::cos(elevation));
        audio[2][i] = static_cast<float>(s * std::sin(elevation));
        audio[3][i] = static_cast<float>(s * std::cos(azimuth) * std::cos(elevation));
    }
    return audio;
}

std::vector<float> interleaved(const Channels& audio) {
    std::vector<float> out;
    for (int i = 0; i < kFrames; ++i)
        for (const auto& channel : audio) out.push_back(channel[i]);
    return out;
}

// RegularDecoder, program 5, rendered as ambidec renders: started at the rate, blocks of 512.
Channels decode(const Channels& fuma) {
    std::string error;
    auto decoder = kiv::vsthost::PluginInstance::create(vstLibrary(kRegular), error);
    if (!decoder) throw std::runtime_error(error);
    decoder->dispatch(effSetProgram, 0, 5);
    decoder->start(static_cast<float>(kRate), kBlock);
    const int outputs = decoder->effect()->numOutputs;
    Channels in = fuma, out(outputs, std::vector<float>(kFrames));
    for (int from = 0; from < kFrames; from += kBlock) {
        const int n = std::min(kBlock, kFrames - from);
        std::vector<float*> ins, outs;
        for (auto& c : in) ins.push_back(c.data() + from);
        for (auto& c : out) outs.push_back(c.data() + from);
        decoder->processReplacing(ins.data(), outs.data(), n);
    }
    return out;
}

Channels readChannels(const std::string& path) {
    int channels = 0, rate = 0;
    const std::vector<float> samples = readSound(path, channels, rate);
    EXPECT_EQ(rate, kRate);
    Channels audio(channels, std::vector<float>(samples.size() / channels));
    for (std::size_t i = 0; i < samples.size(); ++i) audio[i % channels][i / channels] = samples[i];
    return audio;
}

// The largest difference, against the loudest sample of want.
void expectSameToFloatRounding(const Channels& got, const Channels& want, const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    float loudest = 0.0f, worst = 0.0f;
    for (std::size_t c = 0; c < want.size(); ++c) {
        ASSERT_EQ(got[c].size(), want[c].size()) << what;
        for (std::size_t i = 0; i < want[c].size(); ++i) {
            loudest = std::max(loudest, std::fabs(want[c][i]));
            worst = std::max(worst, std::fabs(got[c][i] - want[c][i]));
        }
    }
    EXPECT_GT(loudest, 0.05f) << what;
    EXPECT_LE(worst, 1e-6f * loudest) << what;
}

const struct {
    const char* name;
    double azimuth, elevation;
} kWaves[] = {{"front", 0.0, 0.0},
              {"left 60, up 30", M_PI / 3, M_PI / 6},
              {"behind right, down 45", -2.5, -M_PI / 4}};

} // namespace

TEST(ConverterChain, EitherFaceThenTheDecoderDecodesAsAmbidecDoesAmbiX) {
    ScratchDir dir;
    for (const auto& wave : kWaves) {
        const Channels ambix = ambixPlaneWave(wave.azimuth, wave.elevation);
        writeWav(dir / "ambix.wav", 4, kRate, interleaved(ambix));
        const ToolResult run =
            runAmbidec({"render", kRegular, dir / "ambix.wav", dir / "want.wav", "--input", "ambix",
                        "--program", kCubeProgram, "--force"});
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        const Channels want = readChannels(dir / "want.wav");
        for (FaceKind kind : {FaceKind::Vst, FaceKind::Lv2}) {
            auto converter = makeFace(kind, kRate, kBlock);
            converter->setDirection(0.0f);
            expectSameToFloatRounding(decode(render(*converter, ambix, kBlock)), want,
                                      std::string(wave.name) +
                                          (kind == FaceKind::Vst ? ", VST" : ", LV2"));
        }
    }
}

TEST(ConverterChain, AmbidecRendersThroughTheConverterLikeAnyBundle) {
    ScratchDir dir;
    const Channels ambix = ambixPlaneWave(M_PI / 3, M_PI / 6);
    writeWav(dir / "ambix.wav", 4, kRate, interleaved(ambix));
    // The file as it is (FuMa reading passes the channels on), converted to FuMa, decoded.
    ToolResult run = runAmbidec(
        {"render", kVstBundle, dir / "ambix.wav", dir / "fuma.wav", "--program", "AmbiX to FuMa"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.out.find("program 0 \"AmbiX to FuMa\""), std::string::npos) << run.out;
    run = runAmbidec(
        {"render", kRegular, dir / "fuma.wav", dir / "chain.wav", "--program", kCubeProgram});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    run = runAmbidec({"render", kRegular, dir / "ambix.wav", dir / "want.wav", "--input", "ambix",
                      "--program", kCubeProgram});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    expectSameToFloatRounding(readChannels(dir / "chain.wav"), readChannels(dir / "want.wav"),
                              "ambidec chain");

    // And back to AmbiX through the other program, set by its normalised value.
    run = runAmbidec(
        {"render", kVstBundle, dir / "fuma.wav", dir / "back.wav", "--set", "Direction=1"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.out.find("FuMa to AmbiX"), std::string::npos) << run.out;
    expectSameToFloatRounding(readChannels(dir / "back.wav"), ambix, "there and back");

    run = runAmbidec({"info", kVstBundle});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    for (const char* fact :
         {"\"ZBFC\"", "\"ACN0 (W)\"", "\"Direction\"", "\"FuMa to AmbiX\"", "editor      none"})
        EXPECT_NE(run.out.find(fact), std::string::npos) << fact << " in\n" << run.out;
    EXPECT_EQ(run.out.find("DecList"), std::string::npos) << run.out;
}
