// SPDX-License-Identifier: GPL-3.0-or-later
// The generated filter-chains live: a PipeWire daemon of the test's own loads one as a
// drop-in, pw-cat plays B-format into its virtual sink, the feeds (or the headphone
// monitor's two channels) go to a null sink (the rig) and pw-record records the rig's
// monitor. Each input channel in turn carries a
// steady 1.0; once the filters have settled, each feed must read what the product's VST
// bundle gives for the same program offline, for every channel. Everything started here is
// ended here, and the daemon leaves nothing in its runtime directory.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LivePipeWire.h"
#include "host/VstOpcodes.h"
#include "product/HeadphoneMonitorProduct.h"
#include "tools/pwchain/FilterChainText.h"
#include "tools/vsthost/VstHost.h"

namespace {

using kiv::pwchain::ChainKind;
using kiv::pwchain::DecoderChoice;
using kiv::test::ChildProcess;

constexpr int kRate = 48000;
constexpr long kLead = kRate;      // silence before the phases
constexpr long kPhase = kRate / 2; // one input channel at a time
constexpr long kTail = kRate / 2;

struct ChainCase {
    int kind; // in kiv::pwchain::kChainKinds
    const char* layout;
};

void PrintTo(const ChainCase& c, std::ostream* out) {
    *out << kiv::pwchain::kChainKinds[c.kind].key << " " << c.layout;
}

std::string bundleOf(const std::string& product) {
    if (product == "RegularDecoder") return KIV_REGULAR_BUNDLE;
    if (product == "IrregularDecoder") return KIV_IRREGULAR_BUNDLE;
    return KIV_LAYOUT_BUNDLE;
}

// What each feed reads at the end of each phase, offline through the VST bundles: the
// converter's program 0 (AmbiX to FuMa) first for an AmbiX chain, then the decoder's program,
// then for headphones the monitor on the decoder's layout.
std::vector<std::vector<float>> settledFeeds(const ChainKind& kind, const DecoderChoice& choice,
                                             int feeds, std::string& error) {
    using kiv::vsthost::PluginInstance;
    using kiv::vsthost::PluginLibrary;
    std::vector<std::unique_ptr<PluginLibrary>> libraries;
    std::vector<std::unique_ptr<PluginInstance>> stages;
    std::vector<std::string> bundles;
    if (kind.ambix) bundles.push_back(KIV_CONVERTER_BUNDLE);
    bundles.push_back(bundleOf(choice.product));
    if (kind.follower) bundles.push_back(KIV_HEADPHONE_BUNDLE);
    const std::size_t decoderStage = kind.ambix ? 1 : 0;
    for (const std::string& bundle : bundles) {
        libraries.push_back(PluginLibrary::open(bundle, error));
        if (!libraries.back()) return {};
        stages.push_back(PluginInstance::create(*libraries.back(), error));
        if (!stages.back()) return {};
        const std::size_t stage = stages.size() - 1;
        if (stage <= decoderStage)
            stages.back()->dispatch(effSetProgram, 0, stage == decoderStage ? choice.program : 0);
        stages.back()->start(kRate, 512);
        if (stage > decoderStage) { // the monitor, on the layout the chain's control names
            std::string layout = monitorLayouts()[kind.follower->layoutValue(choice)].name;
            if (stages.back()->dispatch(effVendorSpecific, kKivLoadLayout, 0, layout.data()) != 1) {
                error = "the monitor refused the layout " + layout;
                return {};
            }
        }
    }
    constexpr int kBlock = 512;
    std::vector<std::vector<float>> result;
    for (int phase = -1; phase < 4; ++phase) {
        // A first round of silence lets a design on a worker land.
        for (long done = 0; done < (phase < 0 ? kRate : kPhase); done += kBlock) {
            std::vector<std::vector<float>> signal(4, std::vector<float>(kBlock, 0.0f));
            if (phase >= 0) signal[phase].assign(kBlock, 1.0f);
            for (auto& stage : stages) {
                AEffect* e = stage->effect();
                std::vector<float*> in, out;
                signal.resize(std::max<std::size_t>(signal.size(), e->numInputs),
                              std::vector<float>(kBlock, 0.0f));
                std::vector<std::vector<float>> next(e->numOutputs, std::vector<float>(kBlock));
                for (int i = 0; i < e->numInputs; ++i) in.push_back(signal[i].data());
                for (auto& o : next) out.push_back(o.data());
                stage->processReplacing(in.data(), out.data(), kBlock);
                signal = std::move(next);
                if (phase < 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            if (done + kBlock >= (phase < 0 ? kRate : kPhase) && phase >= 0) {
                std::vector<float> settled;
                for (int f = 0; f < feeds; ++f) settled.push_back(signal[f][kBlock - 1]);
                result.push_back(settled);
            }
        }
    }
    for (auto& stage : stages) stage->stop();
    return result;
}

bool writeSignal(const std::string& path) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 4;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    const long frames = kLead + 4 * kPhase + kTail;
    std::vector<float> samples(static_cast<std::size_t>(frames * 4), 0.0f);
    for (long f = kLead; f < kLead + 4 * kPhase; ++f)
        samples[static_cast<std::size_t>(f * 4 + (f - kLead) / kPhase)] = 1.0f;
    const bool written = sf_writef_float(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

// Interleaved frames of a recording, with its channel count.
std::vector<float> readRecording(const std::string& path, int& channels) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (!file) return {};
    channels = info.channels;
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

class LiveFilterChain : public ::testing::TestWithParam<ChainCase> {};

TEST_P(LiveFilterChain, DecodesThroughPipeWireAsTheBundlesDo) {
    if (KIV_SANITIZED)
        GTEST_SKIP() << "an instrumented plug-in cannot be loaded by PipeWire, which is not";
    if (access(KIV_PIPEWIRE, X_OK) != 0 || access("/usr/bin/pw-cat", X_OK) != 0)
        GTEST_SKIP() << "PipeWire (pipewire, pipewire-bin) is not installed: scripts/deps.sh test";
    const ChainKind& kind = kiv::pwchain::kChainKinds[GetParam().kind];
    const DecoderChoice* choice = kiv::pwchain::findDecoderChoice(GetParam().layout);
    ASSERT_NE(choice, nullptr);
    const std::string file = std::string(kind.key) + "-" + kiv::pwchain::slugOf(choice->layout);
    const std::string logs = std::string(KIV_LIVE_LOG_DIR) + "/" + file;

    // The configuration as the build wrote it, and the rig: one channel per feed.
    std::ifstream generated(std::string(KIV_PIPEWIRE_DIR) + "/" + file + ".conf");
    ASSERT_TRUE(generated) << "the build wrote no " << file << ".conf";
    const std::string chain((std::istreambuf_iterator<char>(generated)),
                            std::istreambuf_iterator<char>());
    std::vector<kiv::pwchain::SpeakerFeed> directions;
    for (const auto& f : kiv::pwchain::activeOutputs(*choice)) directions.push_back(f.feed);
    const std::vector<std::string> positions =
        kind.follower
            ? std::vector<std::string>(kind.follower->positions, kind.follower->positions + 2)
            : kiv::pwchain::channelPositions(directions);
    std::vector<std::string> aux;
    for (std::size_t f = 0; f < positions.size(); ++f) aux.push_back("AUX" + std::to_string(f));
    std::string auxList;
    for (const std::string& a : aux) auxList += " " + a;
    const std::string rig = "context.objects = [ { factory = adapter args = {\n"
                            "  factory.name = support.null-audio-sink node.name = kivtest.rig\n"
                            "  media.class = Audio/Sink object.linger = true\n"
                            "  audio.channels = " +
                            std::to_string(positions.size()) + " audio.position = [" + auxList +
                            " ] } } ]\n";

    PipeWireDaemon pipewire({{"50-kivtone.conf", chain}, {"40-rig.conf", rig}},
                            logs + "-pipewire.log");
    ASSERT_TRUE(pipewire.started());
    const std::string sink = kiv::pwchain::sinkNodeName(kind);
    ASSERT_TRUE(pipewire.waitForOutput({"pw-cli", "ls", "Node"}, "\"" + sink + ".output\""))
        << "the filter-chain did not come up; see " << logs << "-pipewire.log";

    const std::string signal = pipewire.directory() + "/bformat.wav";
    const std::string recording = pipewire.directory() + "/rig.wav";
    ASSERT_TRUE(writeSignal(signal));
    std::string auxMap;
    for (const std::string& a : aux) auxMap += (auxMap.empty() ? "" : ",") + a;
    ChildProcess recorder(
        programOptions({"pw-cat", "--record", "-P", "{ node.name = kivtest.recorder }", "--rate",
                        "48000", "--format", "f32", "--channels", std::to_string(positions.size()),
                        "--channel-map", auxMap, recording},
                       pipewire.environment(), logs + "-pw-record.log"));
    ChildProcess player(
        programOptions({"pw-cat", "--playback", "-P", "{ node.name = kivtest.player }", signal},
                       pipewire.environment(), logs + "-pw-play.log"));
    ASSERT_TRUE(recorder.started() && player.started());
    ASSERT_TRUE(pipewire.waitForOutput({"pw-cli", "ls", "Node"}, "\"kivtest.player\""));
    ASSERT_TRUE(pipewire.waitForOutput({"pw-cli", "ls", "Node"}, "\"kivtest.recorder\""));

    const std::vector<std::string> sinkPositions(kiv::pwchain::kSinkPositions,
                                                 kiv::pwchain::kSinkPositions + 4);
    ASSERT_TRUE(pipewire.portConfig("kivtest.rig", true, aux, true));
    ASSERT_TRUE(pipewire.portConfig(sink, true, sinkPositions));
    ASSERT_TRUE(pipewire.portConfig(sink + ".output", false, positions));
    ASSERT_TRUE(pipewire.portConfig("kivtest.recorder", true, aux));
    ASSERT_TRUE(pipewire.portConfig("kivtest.player", false, sinkPositions));
    // The rig and the recording first, the player last: it plays once it is linked.
    for (std::size_t f = 0; f < positions.size(); ++f) {
        const std::string out = sink + ".output:output_" + positions[f];
        const std::string rigIn = "kivtest.rig:playback_" + aux[f];
        const std::string rigMonitor = "kivtest.rig:monitor_" + aux[f];
        const std::string recorderIn = "kivtest.recorder:input_" + aux[f];
        ASSERT_TRUE(pipewire.hasPort(out) && pipewire.hasPort(rigIn) &&
                    pipewire.hasPort(recorderIn))
            << out;
        ASSERT_TRUE(pipewire.link(out, rigIn)) << out;
        ASSERT_TRUE(pipewire.link(rigMonitor, recorderIn)) << rigMonitor;
    }
    for (const std::string& p : sinkPositions) {
        ASSERT_TRUE(pipewire.hasPort("kivtest.player:output_" + p));
        ASSERT_TRUE(pipewire.link("kivtest.player:output_" + p, sink + ":playback_" + p)) << p;
    }

    // The player ends at the end of its file; the recorder, the daemon on SIGTERM.
    ASSERT_TRUE(player.wait(std::chrono::seconds(30))) << "pw-cat did not finish playing";
    EXPECT_TRUE(WIFEXITED(player.status()) && WEXITSTATUS(player.status()) == 0)
        << "see " << logs << "-pw-play.log";
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_TRUE(recorder.stop()) << "pw-cat did not end its recording on SIGTERM";
    EXPECT_TRUE(pipewire.stop()) << "the daemon did not end on SIGTERM";
    EXPECT_TRUE(pipewire.runtimeLeftovers().empty())
        << "left in the runtime directory: " << pipewire.runtimeLeftovers().front();

    int channels = 0;
    const std::vector<float> recorded = readRecording(recording, channels);
    ASSERT_EQ(channels, static_cast<int>(positions.size()));
    std::string error;
    const std::vector<std::vector<float>> expected = settledFeeds(kind, *choice, channels, error);
    ASSERT_EQ(expected.size(), 4u) << error;

    // Each phase whose feeds are not all silent must show, for at least half its length and
    // after the phase before it, every feed at its settled value. A late buffer from a
    // loaded machine inserts silence, but cannot turn one phase's feeds into another's. The
    // monitor's FFT blocks follow the host's block length, so its sums round differently
    // here and offline: a looser relative bound for it.
    const float relative = kind.follower ? 1e-4f : 1e-5f;
    const std::size_t frames = recorded.size() / static_cast<std::size_t>(channels);
    long after = -1;
    for (int phase = 0; phase < 4; ++phase) {
        bool silent = true;
        for (float v : expected[phase]) silent = silent && std::fabs(v) < 1e-6f;
        if (silent) continue;
        long matching = 0, first = -1;
        for (std::size_t f = 0; f < frames; ++f) {
            bool all = true;
            for (int c = 0; c < channels && all; ++c)
                all = std::fabs(recorded[f * channels + c] - expected[phase][c]) <=
                      1e-5f + relative * std::fabs(expected[phase][c]);
            if (!all) continue;
            ++matching;
            if (first < 0) first = static_cast<long>(f);
        }
        std::string values;
        for (float v : expected[phase]) values += " " + std::to_string(v);
        EXPECT_GE(matching, kPhase / 2) << "input channel " << phase << ": the feeds read" << values
                                        << " for only " << matching << " frames";
        EXPECT_GT(first, after) << "input channel " << phase << " came before the one before it";
        after = first;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Chains, LiveFilterChain,
    ::testing::Values(ChainCase{0, "Octagon with Centre Front"},
                      ChainCase{0, "ITU LF Optimised v1"}, ChainCase{0, "7.0 (BS.2051 0+7+0)"},
                      ChainCase{1, "3D Cube"}, ChainCase{2, "ITU LF Optimised v1"},
                      ChainCase{2, "5.0.4 (BS.2051 4+5+0)"}),
    [](const auto& info) {
        std::string name = std::string(kiv::pwchain::kChainKinds[info.param.kind].key) + "_" +
                           kiv::pwchain::slugOf(info.param.layout);
        for (char& ch : name)
            if (ch == '-') ch = '_';
        return name;
    });

} // namespace
