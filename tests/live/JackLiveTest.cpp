// SPDX-License-Identifier: GPL-3.0-or-later
// Each decoder live: a JACK server with its dummy backend, the LV2 plug-in run by jalv as a
// JACK client, and a client of ours that plays B-format into it and records what comes
// out. Each input channel in turn carries a steady 1.0 while the others are silent; with
// both patterns at ratio 1 in single band, what comes out of each speaker is that channel's
// row of the decoder matrix, and jalv shows the decoder in use. Everything started here is
// ended here.
#include <gtest/gtest.h>

#include <jack/jack.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "LiveJack.h"
#include "engine/KivAmbisonicDecoder.h"
#include "product/ProductDescription.h"

namespace {

constexpr long kPhaseFrames = kSampleRate / 4; // one input channel at a time, 0.25 s each

// Our JACK client: sources that play the phases, sinks that record them.
class PlayAndRecord {
public:
    PlayAndRecord(jack_client_t* client, int sources, int sinks)
        : client(client), totalFrames(kPhaseFrames * sources) {
        for (int k = 0; k < sources; ++k)
            sourcePorts.push_back(jack_port_register(client, ("in" + std::to_string(k)).c_str(),
                                                     JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0));
        for (int s = 0; s < sinks; ++s) {
            sinkPorts.push_back(jack_port_register(client, ("out" + std::to_string(s)).c_str(),
                                                   JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
            recorded.emplace_back(static_cast<std::size_t>(totalFrames), 0.0f);
        }
        jack_set_process_callback(client, &PlayAndRecord::process, this);
    }

    bool portsRegistered() const {
        for (jack_port_t* p : sourcePorts)
            if (!p) return false;
        for (jack_port_t* p : sinkPorts)
            if (!p) return false;
        return true;
    }
    const char* sourceName(int k) const { return jack_port_name(sourcePorts[k]); }
    const char* sinkName(int s) const { return jack_port_name(sinkPorts[s]); }

    void start() { armed.store(true); }
    bool finished() const { return frame.load() >= totalFrames; }
    const std::vector<float>& recording(int sink) const { return recorded[sink]; }

private:
    // The audio thread: nothing but copying into buffers made beforehand.
    static int process(jack_nframes_t n, void* arg) {
        auto* self = static_cast<PlayAndRecord*>(arg);
        const bool playing = self->armed.load();
        const long start = self->frame.load();
        for (std::size_t k = 0; k < self->sourcePorts.size(); ++k) {
            auto* out = static_cast<float*>(jack_port_get_buffer(self->sourcePorts[k], n));
            for (jack_nframes_t i = 0; i < n; ++i) {
                const long f = start + static_cast<long>(i);
                out[i] =
                    playing && f < self->totalFrames && f / kPhaseFrames == static_cast<long>(k)
                        ? 1.0f
                        : 0.0f;
            }
        }
        for (std::size_t s = 0; s < self->sinkPorts.size(); ++s) {
            const auto* in = static_cast<const float*>(jack_port_get_buffer(self->sinkPorts[s], n));
            for (jack_nframes_t i = 0; i < n && playing; ++i) {
                const long f = start + static_cast<long>(i);
                if (f < self->totalFrames) self->recorded[s][static_cast<std::size_t>(f)] = in[i];
            }
        }
        if (playing) self->frame.store(start + static_cast<long>(n));
        return 0;
    }

    jack_client_t* client;
    long totalFrames;
    std::vector<jack_port_t*> sourcePorts;
    std::vector<jack_port_t*> sinkPorts;
    std::vector<std::vector<float>> recorded;
    std::atomic<bool> armed{false};
    std::atomic<long> frame{0};
};

struct LiveCase {
    const ProductDescription* product;
    int program;
};

void PrintTo(const LiveCase& c, std::ostream* out) {
    *out << c.product->name << " program " << c.program;
}

class LiveDecoder : public ::testing::TestWithParam<LiveCase> {};

TEST_P(LiveDecoder, DecodesThroughJackAsItsMatrixSays) {
    if (KIV_SANITIZED)
        GTEST_SKIP() << "an instrumented plug-in cannot be loaded by jalv, which is not";
    const ProductDescription& product = *GetParam().product;
    const int program = GetParam().program;
    const std::string server = "kivlive" + std::to_string(getpid()) + product.name;
    const std::string logs = std::string(KIV_LIVE_LOG_DIR) + "/" + product.name;

    JackServer jackd(server, logs + "-jackd.log");
    jack_client_t* client = jackd.connect("kivprobe");
    ASSERT_NE(client, nullptr) << "the JACK server did not start; see " << logs << "-jackd.log";

    // The program's layout, with the weighting neutral so that the matrix shows as it is.
    const float layout = product.programs[program].values[kLayout] * 6.0f;
    const std::string uri = std::string(kProductUriPrefix) + product.name;
    const std::string jalvName = "kivdec";
    ChildProcess jalv({KIV_JALV, "-x", "-n", jalvName, "-c",
                       "layout=" + std::to_string(std::lround(layout)), "-c", "spatial_eq=0", "-c",
                       "lf_pattern=1", "-c", "hf_pattern=1", uri},
                      {"LV2_PATH=" + std::string(KIV_LV2_ROOT), "JACK_DEFAULT_SERVER=" + server,
                       "JACK_NO_START_SERVER=1"},
                      logs + "-jalv.log");
    ASSERT_TRUE(jalv.started());
    const std::string firstInput = jalvName + ":" + product.inputs[0].symbol;
    const std::string lastOutput = jalvName + ":" + product.outputs[product.numOutputs - 1].symbol;
    ASSERT_TRUE(waitFor(
        [&] {
            return jack_port_by_name(client, firstInput.c_str()) &&
                   jack_port_by_name(client, lastOutput.c_str());
        },
        std::chrono::seconds(15)))
        << "jalv did not show the plug-in's ports; see " << logs << "-jalv.log";

    PlayAndRecord probe(client, product.numInputs, product.numOutputs);
    ASSERT_TRUE(probe.portsRegistered());
    ASSERT_EQ(jack_activate(client), 0);
    for (int k = 0; k < product.numInputs; ++k)
        ASSERT_EQ(jack_connect(client, probe.sourceName(k),
                               (jalvName + ":" + product.inputs[k].symbol).c_str()),
                  0);
    for (int s = 0; s < product.numOutputs; ++s)
        ASSERT_EQ(jack_connect(client, (jalvName + ":" + product.outputs[s].symbol).c_str(),
                               probe.sinkName(s)),
                  0);
    probe.start();
    ASSERT_TRUE(waitFor([&] { return probe.finished(); }, std::chrono::seconds(30)));
    // jalv's "monitors" command prints the output controls, the decoder in use among them.
    EXPECT_TRUE(jalv.type("monitors"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    jack_deactivate(client);
    jack_client_close(client);

    // Ended in order, each within its grace period: nothing is left behind.
    EXPECT_TRUE(jalv.running()) << "jalv ended early; see " << logs << "-jalv.log";
    EXPECT_TRUE(jalv.stop());
    EXPECT_TRUE(jackd.stop()) << "the server is still there";

    // jalv showed the decoder that ran, as a user at its prompt sees it.
    std::ifstream log(logs + "-jalv.log");
    const std::string printed((std::istreambuf_iterator<char>(log)),
                              std::istreambuf_iterator<char>());
    EXPECT_NE(printed.find("decoder_in_use = " + std::to_string(std::lround(layout)) + ".000000"),
              std::string::npos)
        << printed;

    // The matrix the engine decodes with for this layout.
    KivAmbisonicDecoder engine(kDecListSize, product.decList, product.numInputs, product.numOutputs,
                               256);
    engine.chooseDec(std::lround(layout));
    const KivDecoderCoefs& matrix = *engine.decoders[engine.dec];
    for (int k = 0; k < product.numInputs; ++k) {
        for (int s = 0; s < product.numOutputs; ++s) {
            const bool driven = k < matrix.numIn && s < matrix.numOut;
            const float expected = driven ? static_cast<float>(matrix.coefs[k][s]) : 0.0f;
            // The second half of each phase: past the graph's latency of a few periods.
            const std::vector<float>& out = probe.recording(s);
            for (long f = k * kPhaseFrames + kPhaseFrames / 2; f < (k + 1) * kPhaseFrames; ++f)
                ASSERT_NEAR(out[static_cast<std::size_t>(f)], expected, 1e-6)
                    << "input " << product.inputs[k].name << ", output " << product.outputs[s].name
                    << ", frame " << f;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Bundles, LiveDecoder,
                         ::testing::Values(LiveCase{&kRegularDecoderProduct, 3},
                                           LiveCase{&kIrregularDecoderProduct, 2}),
                         [](const auto& info) { return std::string(info.param.product->name); });

} // namespace
