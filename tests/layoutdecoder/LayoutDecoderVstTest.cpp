// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder as a host sees it, through its VST bundle: what it says it is; plane waves
// decoded as the rig's plans say, LF and HF, for factory layouts and Debian's first-order
// presets; distance compensation on an impulse; a layout in force from the first block;
// the state chunk restoring the same decoder after its file is gone; hostile chunks and
// files refused with the old layout kept.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "host/VstOpcodes.h"
#include "product/LayoutDecoderProduct.h"
#include "rig/FactoryLayouts.h"
#include "rig/LayoutFile.h"
#include "rig/PlaneWave.h"
#include "rig/RigPlan.h"
#include "rig/UserLayouts.h"
#include "tools/vsthost/VstHost.h"

namespace {

using kiv::vsthost::PluginInstance;
using kiv::vsthost::PluginLibrary;

constexpr float kRate = 48000.0f;
constexpr int kBlock = 512;
constexpr int kOutputs = 32;
const double kPi = std::acos(-1.0);

struct Bundle {
    std::unique_ptr<PluginLibrary> library;
    Bundle() {
        std::string error;
        library = PluginLibrary::open(KIV_LAYOUT_BUNDLE, error);
        EXPECT_NE(library, nullptr) << error;
    }
    std::unique_ptr<PluginInstance> instance() const {
        std::string error;
        auto p = PluginInstance::create(*library, error);
        EXPECT_NE(p, nullptr) << error;
        return p;
    }
};

const Bundle& bundle() {
    static const Bundle b;
    return b;
}

// Runs FuMa input through the plug-in in blocks; returns 32 output channels.
std::vector<std::vector<float>> run(PluginInstance& p, const std::vector<std::vector<float>>& in) {
    const int frames = static_cast<int>(in[0].size());
    std::vector<std::vector<float>> out(kOutputs, std::vector<float>(frames, 0.0f));
    for (int at = 0; at < frames; at += kBlock) {
        const int n = std::min(kBlock, frames - at);
        float* ins[4];
        float* outs[kOutputs];
        std::vector<std::vector<float>> inCopy(4);
        for (int c = 0; c < 4; ++c) {
            inCopy[c].assign(in[c].begin() + at, in[c].begin() + at + n);
            ins[c] = inCopy[c].data();
        }
        for (int o = 0; o < kOutputs; ++o) outs[o] = out[o].data() + at;
        p.processReplacing(ins, outs, n);
    }
    return out;
}

// Speaker gains for a sine plane wave from u at f Hz, lock-in over the last half second;
// the common phase of the filters is taken out along the expected gains.
std::vector<double> measure(PluginInstance& p, const Vec3& u, double f,
                            const std::vector<double>& want) {
    const int settle = static_cast<int>(kRate), window = static_cast<int>(kRate) / 2;
    const std::array<double, 4> fuma = fumaOfDirection(u);
    std::vector<std::vector<float>> in(4, std::vector<float>(settle + window));
    for (int i = 0; i < settle + window; ++i) {
        const double s = std::sin(2.0 * kPi * f * i / kRate);
        for (int c = 0; c < 4; ++c) in[c][i] = static_cast<float>(fuma[c] * s);
    }
    const auto out = run(p, in);
    std::vector<std::complex<double>> c(want.size());
    std::complex<double> along = 0.0;
    for (size_t s = 0; s < want.size(); ++s) {
        for (int i = settle; i < settle + window; ++i) {
            const double ph = 2.0 * kPi * f * i / kRate;
            c[s] += std::complex<double>(std::sin(ph), std::cos(ph)) * (2.0 * out[s][i] / window);
        }
        along += c[s] * want[s];
    }
    const std::complex<double> unit = std::abs(along) > 0 ? along / std::abs(along) : 1.0;
    std::vector<double> got;
    for (const auto& z : c) got.push_back((z / unit).real());
    return got;
}

std::vector<double> matrixGains(const double (*m)[4], int n, const Vec3& u) {
    const std::array<double, 4> in = fumaOfDirection(u);
    std::vector<double> g(n, 0.0);
    for (int s = 0; s < n; ++s)
        for (int c = 0; c < 4; ++c) g[s] += m[s][c] * in[c];
    return g;
}

std::string readAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

struct TempFile {
    std::string path;
    TempFile(const std::string& name, const std::string& text) {
        char dir[] = "/tmp/kiv_layoutXXXXXX";
        path = std::string(mkdtemp(dir)) + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
    }
    ~TempFile() {
        std::remove(path.c_str());
        rmdir(path.substr(0, path.find_last_of('/')).c_str());
    }
};

std::string message(PluginInstance& p) {
    char text[kKivLayoutMessageBytes] = {};
    p.dispatch(effVendorSpecific, kKivLayoutMessage, 0, text);
    return text;
}

bool loadLayout(PluginInstance& p, const std::string& what) {
    const bool ok =
        p.dispatch(effVendorSpecific, kKivLoadLayout, 0, const_cast<char*>(what.c_str())) == 1;
    if (!ok) std::printf("refused: %s\n", message(p).c_str());
    return ok;
}

std::vector<char> chunkOf(PluginInstance& p) {
    void* data = nullptr;
    const VstIntPtr size = p.dispatch(effGetChunk, 0, 0, &data);
    if (size <= 0 || !data) return {};
    const char* bytes = static_cast<const char*>(data);
    return std::vector<char>(bytes, bytes + size);
}

bool setChunk(PluginInstance& p, std::vector<char> chunk) {
    return p.dispatch(effSetChunk, 0, static_cast<VstIntPtr>(chunk.size()), chunk.data()) == 1;
}

// A short burst of noise-like signal from several directions: what two decoders must agree on.
std::vector<std::vector<float>> probe(int frames) {
    std::vector<std::vector<float>> in(4, std::vector<float>(frames));
    unsigned x = 12345;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < 4; ++c) {
            x = x * 1664525u + 1013904223u;
            in[c][i] = static_cast<float>(static_cast<int>(x >> 9) - (1 << 22)) / (1 << 23);
        }
    return in;
}

std::vector<std::vector<float>> probeOutput(PluginInstance& p) {
    p.stop();
    p.start(kRate, kBlock);
    return run(p, probe(4 * kBlock));
}

// ---- what it is ----

TEST(LayoutDecoderVst, IsWhatItsDescriptionSays) {
    auto p = bundle().instance();
    ASSERT_NE(p, nullptr);
    const AEffect* e = p->effect();
    EXPECT_EQ(e->numInputs, 4);
    EXPECT_EQ(e->numOutputs, 32);
    EXPECT_EQ(e->uniqueID, kLayoutDecoderProduct.uniqueID);
    EXPECT_EQ(e->numParams, kLayoutDecoderParameters);
    // The factory layouts, then the user's own.
    EXPECT_EQ(e->numPrograms, factoryLayoutCount() + static_cast<int>(listUserLayouts().size()));
    EXPECT_NE(e->flags & effFlagsProgramChunks, 0);
    EXPECT_NE(e->flags & effFlagsHasEditor, 0);
    EXPECT_EQ(p->effectName(), "LayoutDecoder");
    // The layout choice's top value is the layout in state.
    EXPECT_EQ(kLayoutDecoderProduct.parameters[kLdLayout].maximum,
              static_cast<float>(factoryLayoutCount()));
    for (int i = 0; i < factoryLayoutCount(); ++i)
        EXPECT_EQ(p->programNameIndexed(i), factoryLayouts()[i].name.substr(0, 23));
}

struct PinCase {
    int program;
    std::vector<std::string> firstPins; // then "Unused"
};

TEST(LayoutDecoderVst, PinNamesFollowTheLayout) {
    const PinCase cases[] = {
        {0, {"1 L", "2 R", "3 C", "4 LS", "5 RS"}},
        {1, {"1 L", "2 R", "3 C", "4 LS", "5 RS", "6 Sub"}},
    };
    // Hosts ask for the pins at load, before the first resume, and again after it.
    for (const PinCase& c : cases)
        for (const bool started : {false, true}) {
            auto p = bundle().instance();
            p->dispatch(effSetProgram, 0, c.program);
            if (started) p->start(kRate, kBlock);
            for (int pin = 0; pin < kOutputs; ++pin) {
                VstPinProperties props{};
                ASSERT_TRUE(p->outputProperties(pin, props));
                const std::string want =
                    pin < static_cast<int>(c.firstPins.size()) ? c.firstPins[pin] : "Unused";
                EXPECT_EQ(std::string(props.label), want)
                    << c.program << " pin " << pin << (started ? " after" : " before") << " start";
            }
        }
}

// ---- plane waves ----

struct WaveCase {
    const char* what;
    int program;            // a factory layout, or -1
    std::string presetFile; // a Debian preset
    float encodedDistance;  // physical, to cancel a preset's own near-field filter
    bool skewedParameters;  // patterns and spatial EQ away from neutral: a preset ignores them
};

TEST(LayoutDecoderVst, PlaneWavesDecodeAsThePlanSaysInBothBands) {
    const std::vector<WaveCase> cases = {
        {"ITU 5.0", 0, "", 8.0f, false},
        {"5.0.4", 3, "", 8.0f, false},
        {"8+8 dome", 6, "", 8.0f, false},
        {"hexagon preset", -1, "/usr/share/ambdec/presets/hexagon-1h0v.ambdec", 2.0f, false},
        {"cube preset", -1, "/usr/share/ambdec/presets/cube.ambdec", 2.0f, true},
    };
    const std::vector<Vec3> directions = {unitVector(0, 0), unitVector(75, 0), unitVector(-140, 20),
                                          unitVector(200, -10)};
    for (const WaveCase& c : cases) {
        SCOPED_TRACE(c.what);
        Layout layout;
        if (c.program >= 0) {
            layout = factoryLayouts()[c.program];
        } else {
            if (access(c.presetFile.c_str(), R_OK) != 0) {
                ADD_FAILURE() << c.presetFile << " missing (Debian package ambdec)";
                continue;
            }
            layout = readLayoutFile(c.presetFile);
        }
        const RigPlan rig = planForLayout(layout);
        EXPECT_EQ(rig.asWritten, c.program < 0);
        auto p = bundle().instance();
        if (c.program >= 0)
            p->dispatch(effSetProgram, 0, c.program);
        else
            ASSERT_TRUE(loadLayout(*p, c.presetFile));
        p->setParameter(kLdEncodedDistance, ldNormalised(kLdEncodedDistance, c.encodedDistance));
        if (c.skewedParameters) {
            p->setParameter(kLdLowFPattern, 0.2f);
            p->setParameter(kLdHighFPattern, 0.9f);
            p->setParameter(kLdSpatialEQ, 0.5f);
            p->setParameter(kLdDistance, 0.1f);
        }
        p->start(kRate, kBlock);
        const int n = rig.plan.numSpeakers;
        for (const Vec3& u : directions) {
            const struct {
                double hz;
                const double (*m)[4];
            } bands[] = {{60.0, rig.plan.lf},
                         {5000.0, rig.plan.twoBand ? rig.plan.hf : rig.plan.lf}};
            for (const auto& band : bands) {
                const std::vector<double> want = matrixGains(band.m, n, u);
                const std::vector<double> got = measure(*p, u, band.hz, want);
                double peak = 0.0;
                for (double w : want) peak = std::max(peak, std::fabs(w));
                for (int s = 0; s < n; ++s)
                    EXPECT_NEAR(got[s], want[s], 0.02 * peak)
                        << band.hz << " Hz, speaker " << s + 1 << ", az "
                        << std::atan2(u[1], u[0]) * 180 / kPi;
            }
        }
    }
}

// ---- distance compensation ----

TEST(LayoutDecoderVst, UnequalDistancesDelayAndScaleEachSpeaker) {
    // Each speaker fed by W alone, one band: an impulse shows each speaker's delay and gain.
    const double d[4] = {3.0, 2.0, 1.8, 1.2};
    std::string text = "/version 3\n/dec/chan_mask f\n/dec/freq_bands 1\n/dec/speakers 4\n"
                       "/dec/coeff_scale fuma\n/opt/nfeff_comp none\n/opt/delay_comp on\n"
                       "/opt/level_comp on\n/speakers/{\n";
    const int az[4] = {45, 135, -135, -45};
    for (int s = 0; s < 4; ++s)
        text += "add_spkr S" + std::to_string(s + 1) + " " + std::to_string(d[s]) + " " +
                std::to_string(az[s]) + " 0\n";
    text += "/}\n/matrix/{\norder_gain 1 1 0 0\nadd_row 1 0 0 0\nadd_row 1 0 0 0\nadd_row 1 0 0 "
            "0\nadd_row 1 0 0 0\n/}\n/end\n";
    TempFile file("room.ambdec", text);

    struct Case {
        float compensation;
        bool compensated;
    } cases[] = {{1.0f, true}, {0.0f, false}};
    for (const Case& c : cases) {
        auto p = bundle().instance();
        ASSERT_TRUE(loadLayout(*p, file.path));
        p->setParameter(kLdCompensation, c.compensation);
        p->start(kRate, kBlock);
        std::vector<std::vector<float>> in(4, std::vector<float>(2 * kBlock, 0.0f));
        in[0][0] = 1.0f;
        const auto out = run(*p, in);
        for (int s = 0; s < 4; ++s) {
            const int delay =
                c.compensated ? static_cast<int>(std::lround((3.0 - d[s]) / 343.0 * kRate)) : 0;
            const double gain = c.compensated ? d[s] / 3.0 : 1.0;
            for (int i = 0; i < 2 * kBlock; ++i)
                ASSERT_NEAR(out[s][i], i == delay ? gain : 0.0, 1e-6)
                    << "speaker " << s + 1 << " frame " << i << " compensation " << c.compensated;
        }
        for (int o = 4; o < kOutputs; ++o)
            for (float v : out[o]) ASSERT_EQ(v, 0.0f) << o;
    }
}

// ---- in force from the first block ----

TEST(LayoutDecoderVst, ALayoutChosenBeforeStartPlaysFromTheFirstBlock) {
    for (int program : {5, 6}) {
        auto early = bundle().instance();
        early->dispatch(effSetProgram, 0, program);
        early->start(kRate, kBlock);
        const auto first = run(*early, probe(4 * kBlock));

        auto late = bundle().instance();
        late->start(kRate, kBlock);
        late->dispatch(effSetProgram, 0, program);
        run(*late, probe(static_cast<int>(kRate))); // the crossfade is long over
        const auto settled = probeOutput(*late);
        ASSERT_EQ(first, settled) << program;
    }
}

// ---- state ----

TEST(LayoutDecoderVst, ChunkRestoresTheSameDecoderAfterTheFileIsGone) {
    auto original = bundle().instance();
    std::vector<char> chunk;
    {
        TempFile file("cube.ambdec", readAll("/usr/share/ambdec/presets/cube.ambdec"));
        ASSERT_TRUE(loadLayout(*original, file.path));
        original->setParameter(kLdEncodedDistance, 0.2f);
        chunk = chunkOf(*original);
        ASSERT_FALSE(chunk.empty());
    } // the file is deleted here
    const auto want = probeOutput(*original);

    auto restored = bundle().instance();
    ASSERT_TRUE(setChunk(*restored, chunk));
    EXPECT_EQ(restored->getParameter(kLdEncodedDistance), 0.2f);
    EXPECT_EQ(restored->parameterDisplay(kLdLayout), "cube.ambdec");
    EXPECT_EQ(probeOutput(*restored), want);
    EXPECT_EQ(chunkOf(*restored), chunk);

    // A factory layout's chunk names it by the choice alone.
    auto factory = bundle().instance();
    factory->dispatch(effSetProgram, 0, 4);
    auto copy = bundle().instance();
    ASSERT_TRUE(setChunk(*copy, chunkOf(*factory)));
    EXPECT_EQ(probeOutput(*copy), probeOutput(*factory));
}

std::vector<char> withU32(std::vector<char> c, size_t at, std::uint32_t v) {
    std::memcpy(c.data() + at, &v, 4);
    return c;
}

TEST(LayoutDecoderVst, HostileChunksAreRefusedAndTheLayoutStays) {
    auto p = bundle().instance();
    p->dispatch(effSetProgram, 0, 2);
    const std::vector<char> good = chunkOf(*p);
    const auto before = probeOutput(*p);

    LdState garbageState{ldFactoryProgramValues(0), "x.ambdec", "/version 3\n/dec/chan_mask q\n"};
    garbageState.values[kLdLayout] = 1.0f;
    LdState missing{ldFactoryProgramValues(0), "", ""};
    missing.values[kLdLayout] = 1.0f;
    LdState tooMany{ldFactoryProgramValues(0), "a.txt", ""};
    tooMany.values[kLdLayout] = 1.0f;
    for (int i = 0; i < 33; ++i) tooMany.fileText += std::to_string(i * 10) + " 0 2\n";
    std::vector<char> nanValue = good;
    const float nan = std::nanf("");
    std::memcpy(nanValue.data() + 8, &nan, 4);
    const size_t nameAt = 8 + 4 * kLayoutDecoderParameters;

    const struct {
        const char* what;
        std::vector<char> chunk;
    } cases[] = {
        {"truncated", std::vector<char>(good.begin(), good.end() - 1)},
        {"header only", std::vector<char>(good.begin(), good.begin() + 8)},
        {"oversized",
         [&] {
             auto c = good;
             c.push_back('x');
             return c;
         }()},
        {"forged magic", withU32(good, 0, 0x12345678)},
        {"future version", withU32(good, 4, 2)},
        {"NaN parameter", nanValue},
        {"name length past the end", withU32(good, nameAt, 0xFFFFFFF0u)},
        {"content length past the end", withU32(good, nameAt + 4, 1000)},
        {"content that does not parse", encodeLdState(garbageState)},
        {"layout in state missing", encodeLdState(missing)},
        {"33 speakers", encodeLdState(tooMany)},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(setChunk(*p, c.chunk)) << c.what;
        EXPECT_EQ(chunkOf(*p), good) << c.what;
    }
    EXPECT_EQ(p->dispatch(effSetChunk, 0, -5, const_cast<char*>(good.data())), 0);
    EXPECT_EQ(p->dispatch(effSetChunk, 0, 16, nullptr), 0);
    EXPECT_EQ(probeOutput(*p), before);
}

TEST(LayoutDecoderVst, FilesThatCannotBeUsedAreRefusedAndTheLayoutStays) {
    auto p = bundle().instance();
    p->dispatch(effSetProgram, 0, 5);
    const std::vector<char> good = chunkOf(*p);
    const auto before = probeOutput(*p);
    TempFile same("same.txt", "0 0 2\n0 0 2\n");
    TempFile one("one.txt", "0 0 2\n");
    TempFile bytes("bad.json", "\xff\xfe{");
    mkfifo("/tmp/kiv_layout_fifo", 0600);
    TempFile huge("huge.ambdec", ""); // 1 GB, sparse: refused by its size, never read
    ASSERT_EQ(truncate(huge.path.c_str(), 1L << 30), 0);
    const std::string cases[] = {same.path, one.path,        bytes.path,
                                 "/tmp",    "/dev/zero",     "/tmp/kiv_layout_fifo",
                                 huge.path, "no such layout"};
    for (const std::string& what : cases) {
        EXPECT_FALSE(loadLayout(*p, what)) << what;
        // One line for the user, naming what was asked for.
        const std::string line = message(*p);
        const std::string name = what.substr(what.find_last_of('/') + 1);
        EXPECT_NE(line.find(name), std::string::npos) << line;
        EXPECT_EQ(line.find('\n'), std::string::npos) << line;
        EXPECT_EQ(chunkOf(*p), good) << what;
    }
    std::remove("/tmp/kiv_layout_fifo");
    EXPECT_EQ(probeOutput(*p), before);
}

} // namespace
