// SPDX-License-Identifier: GPL-3.0-or-later
// Decoding speed of the engine's processReplacing, in nanoseconds per frame, for
// both plug-in configurations in every spatial-EQ mode, with and without
// near-field compensation, at three block sizes; each case also runs the plain
// reference chain, checks that both give bit-identical output, and reports the
// ratio. Next to them, the LV2 plug-in's run through its descriptor with the same settings
// as control values, which should cost the same. Then the layout decoder's engine on a
// 7.0.4 rig (11 speakers) and a 24-speaker dome, two bands, distance compensation and
// near-field compensation per speaker on, in ns per frame and per frame and speaker, in the
// engine alone and through the LayoutDecoder bundle (the same rig as an .ambdec preset with
// nfeff_comp output, loaded as a user loads a file). Then the headphone monitor's engine
// with the default set of head-related responses at 48 kHz, for a cube (8 feeds) and a
// 24-speaker dome, 32 inputs given as a plug-in gives them; last, the monitor through its
// VST bundle beside a peer's binaural decoder.
// `--summary` runs briefly and prints only the tables.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "HeadphoneBench.h"
#include "ReferenceChain.h"
#include "engine/HeadphoneMonitorEngine.h"
#include "engine/LayoutDecoderEngine.h"
#include "host/VstOpcodes.h"
#include "host/lv2/Lv2Descriptor.h"
#include "hrtf/HrtfSet.h"
#include "hrtf/MakeBinauralPlan.h"
#include "product/ParameterTable.h"
#include "product/ProductDescription.h"
#include "tools/vsthost/VstHost.h"

namespace {

struct Config {
    const char* name;
    const char* decoder;
    DecShape list[7];
    int inputs, outputs, slot;
};

const Config kConfigs[] = {
    {"regular 4->8",
     "8 Speaker Cube (3D)",
     {QuadSquare, HexagonWithCF, HexagonWithoutCF, OctagonWithCF, OctagonWithoutCF, Cube8,
      Octahedron},
     4,
     8,
     5},
    {"irregular 3->5",
     "ITU 5.0 LF Optimised v1",
     {ItuFullRangeV1, ItuFullRangeV2, ItuLFOptimisedV1, ItuLFOptimisedV2, ItuHFOptimisedV1,
      ItuFullRangeV3, ItuFullRangeV4},
     3,
     5,
     2},
};

struct Mode {
    const char* name;
    float seq;
};
const Mode kModes[] = {{"single", 0.0f}, {"crossover", 0.5f}, {"shelf", 1.0f}};
const int kBlocks[] = {64, 512, 4096};

std::unique_ptr<KivAmbisonicDecoder> makeEngine(const Config& c, float seq, bool nf, int block) {
    auto e = std::make_unique<KivAmbisonicDecoder>(7, c.list, c.inputs, c.outputs, 1024);
    e->setFS(48000.0f);
    e->setBlockSize(block);
    e->setLPGain(0.65f);
    e->setHPGain(0.75f);
    e->setFCut(0.28695652f);
    e->chooseDec(c.slot);
    e->setDistComp(nf ? 0.2f : 1.0f);  // 2 m, or off
    e->setNFC(nf ? 0.0666667f : 1.0f); // 1 m, or none
    e->setSEQ(seq);
    e->resume();
    return e;
}

// Full-scale noise, one buffer per channel.
struct Buffers {
    std::vector<std::vector<float>> in, out;
    std::vector<float*> inPtr, outPtr;
    Buffers(int inputs, int outputs, int frames, unsigned seed) {
        in.assign(inputs, std::vector<float>(frames));
        out.assign(outputs, std::vector<float>(frames));
        for (auto& ch : in)
            for (float& s : ch) {
                seed = seed * 1664525u + 1013904223u;
                s = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
            }
        for (auto& ch : in) inPtr.push_back(ch.data());
        for (auto& ch : out) outPtr.push_back(ch.data());
    }
};

bool bitIdentical(const Config& c, float seq, bool nf, int block) {
    auto fast = makeEngine(c, seq, nf, block);
    auto plain = makeEngine(c, seq, nf, block);
    Buffers a(c.inputs, c.outputs, block, 1), b(c.inputs, c.outputs, block, 1);
    for (int round = 0; round < 8; ++round) {
        fast->processReplacing(a.inPtr.data(), a.outPtr.data(), block);
        referenceProcess(*plain, b.inPtr.data(), b.outPtr.data(), block);
        for (int s = 0; s < c.outputs; ++s)
            if (std::memcmp(a.out[s].data(), b.out[s].data(), sizeof(float) * block) != 0)
                return false;
    }
    return true;
}

void run(benchmark::State& state, const Config& c, float seq, bool nf, int block, bool plain) {
    auto e = makeEngine(c, seq, nf, block);
    Buffers buf(c.inputs, c.outputs, block, 7);
    for (auto _ : state) {
        if (plain)
            referenceProcess(*e, buf.inPtr.data(), buf.outPtr.data(), block);
        else
            e->processReplacing(buf.inPtr.data(), buf.outPtr.data(), block);
        benchmark::DoNotOptimize(buf.out[0].data());
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_frame"] = benchmark::Counter(
        block * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The LV2 face of a configuration: its descriptor, instantiated without options.
const ProductDescription& productOf(const Config& c) {
    return c.inputs == 4 ? kRegularDecoderProduct : kIrregularDecoderProduct;
}

LV2_Handle instantiateRegular(const LV2_Descriptor*, double rate, const char*,
                              const LV2_Feature* const* features) {
    return kiv::lv2::instantiateDecoder(kRegularDecoderProduct, rate, features);
}

LV2_Handle instantiateIrregular(const LV2_Descriptor*, double rate, const char*,
                                const LV2_Feature* const* features) {
    return kiv::lv2::instantiateDecoder(kIrregularDecoderProduct, rate, features);
}

void runLv2(benchmark::State& state, const Config& c, float seq, bool nf, int block) {
    const bool regular = c.inputs == 4;
    const LV2_Descriptor d = kiv::lv2::decoderDescriptor(
        (regular ? kRegularDecoderProduct : kIrregularDecoderProduct).uri,
        regular ? instantiateRegular : instantiateIrregular);
    const LV2_Feature* const features[] = {nullptr};
    LV2_Handle h = d.instantiate(&d, 48000.0, "", features);
    if (h == nullptr) {
        state.SkipWithError("instantiate failed");
        return;
    }
    // The engine case's normalised settings as physical control values.
    const float normalised[kNumParameters] = {0.65f,
                                              0.75f,
                                              0.28695652f,
                                              static_cast<float>(c.slot) / 6.0f,
                                              nf ? 0.2f : 1.0f,
                                              nf ? 0.0666667f : 1.0f,
                                              seq};
    float controls[kNumParameters];
    for (int k = 0; k < kNumParameters; ++k)
        controls[k] = physicalFromNormalised(kParameters[k], normalised[k]);
    const ProductDescription& product = productOf(c);
    Buffers buf(c.inputs, c.outputs, block, 7);
    for (int j = 0; j < c.inputs; ++j)
        d.connect_port(h, static_cast<uint32_t>(j), buf.inPtr[static_cast<std::size_t>(j)]);
    for (int j = 0; j < c.outputs; ++j)
        d.connect_port(h, static_cast<uint32_t>(c.inputs + j),
                       buf.outPtr[static_cast<std::size_t>(j)]);
    for (int k = 0; k < kNumParameters; ++k)
        d.connect_port(h, static_cast<uint32_t>(product.numInputs + product.numOutputs + k),
                       &controls[k]);
    d.activate(h);
    for (auto _ : state) {
        d.run(h, static_cast<uint32_t>(block));
        benchmark::DoNotOptimize(buf.out[0].data());
        benchmark::ClobberMemory();
    }
    d.deactivate(h);
    d.cleanup(h);
    state.counters["ns_per_frame"] = benchmark::Counter(
        block * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// ---- the layout decoder ----

struct Rig {
    const char* name;
    int speakers;
};
const Rig kRigs[] = {{"layout 7.0.4", 11}, {"layout dome 24", 24}};

// A plan built by hand: speakers in rings at unequal distances, a sampling decoder at LF
// and its max-rE weighted form at HF.
DecoderPlan rigPlan(const Rig& r) {
    struct Ring {
        int count;
        double elevationDegrees, distanceMetres;
    };
    const Ring ring704[] = {{7, 0.0, 2.4}, {4, 45.0, 1.8}};
    const Ring dome[] = {{12, 0.0, 3.0}, {8, 30.0, 2.6}, {4, 60.0, 2.2}};
    DecoderPlan p;
    p.numSpeakers = r.speakers;
    p.twoBand = true;
    p.crossoverHz = 400.0;
    p.delayCompensation = true;
    p.levelCompensation = true;
    p.nearField = DecoderPlan::NearField::Output;
    const Ring* rings = r.speakers == 11 ? ring704 : dome;
    const int ringCount = r.speakers == 11 ? 2 : 3;
    int s = 0;
    for (int k = 0; k < ringCount; ++k)
        for (int i = 0; i < rings[k].count; ++i, ++s) {
            const double az = 2.0 * 3.141592653589793 * i / rings[k].count;
            const double el = rings[k].elevationDegrees * 3.141592653589793 / 180.0;
            const double x = std::cos(az) * std::cos(el), y = std::sin(az) * std::cos(el),
                         z = std::sin(el);
            const double w = std::sqrt(2.0) / r.speakers, d = 3.0 / r.speakers;
            const double lf[4] = {w, d * x, d * y, d * z};
            for (int j = 0; j < 4; ++j) {
                p.lf[s][j] = lf[j];
                p.hf[s][j] = j == 0 ? lf[j] : lf[j] / std::sqrt(3.0);
            }
            p.distanceMetres[s] = rings[k].distanceMetres + 0.05 * i;
        }
    return p;
}

void runLayout(benchmark::State& state, const Rig& r, int block) {
    LayoutDecoderEngine e(32, block);
    e.setFS(48000.0f);
    e.setPlan(rigPlan(r));
    Buffers buf(4, 32, block, 7);
    for (auto _ : state) {
        e.processReplacing(buf.inPtr.data(), buf.outPtr.data(), block);
        benchmark::DoNotOptimize(buf.out[0].data());
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_frame"] = benchmark::Counter(
        block * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// ---- the headphone monitor ----

struct Headphones {
    const char* name;
    std::vector<BinauralDirection> speakers;
};

const std::vector<Headphones>& headphoneRigs() {
    static const std::vector<Headphones> rigs = [] {
        Headphones cube{"headphones cube 8", {}}, dome{"headphones dome 24", {}};
        for (double el : {35.0, -35.0})
            for (double az : {45.0, 135.0, -135.0, -45.0}) cube.speakers.push_back({az, el});
        const struct {
            int count;
            double el;
        } rings[] = {{12, 0.0}, {8, 30.0}, {4, 60.0}};
        for (const auto& ring : rings)
            for (int i = 0; i < ring.count; ++i)
                dome.speakers.push_back({360.0 * i / ring.count, ring.el});
        return std::vector<Headphones>{cube, dome};
    }();
    return rigs;
}

void runHeadphones(benchmark::State& state, const Headphones& h, int block) {
    static const auto set = HrtfSet::open(HrtfSet::defaultPath(), 48000.0);
    HeadphoneMonitorEngine e;
    e.prepare(48000.0, block);
    e.setPlan(makeBinauralPlan(*set, h.speakers));
    Buffers buf(32, 2, block, 11);
    for (auto _ : state) {
        e.process(buf.inPtr.data(), 32, buf.outPtr[0], buf.outPtr[1], block);
        benchmark::DoNotOptimize(buf.out[0].data());
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_frame"] = benchmark::Counter(
        block * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// The rig as a first-order .ambdec preset in a scratch file: its speakers and distances,
// both matrices, delay, level and per-speaker near-field compensation.
std::string writeAmbdec(const Rig& r) {
    const DecoderPlan p = rigPlan(r);
    char path[] = "/tmp/kiv-bench-XXXXXX.ambdec";
    const int fd = mkstemps(path, 7);
    if (fd < 0) return "";
    close(fd);
    std::ofstream f(path);
    f << "/version 3\n/dec/chan_mask f\n/dec/freq_bands 2\n/dec/speakers " << r.speakers
      << "\n/dec/coeff_scale fuma\n/opt/input_scale fuma\n/opt/nfeff_comp output\n"
      << "/opt/delay_comp on\n/opt/level_comp on\n/opt/xover_freq 400\n/opt/xover_ratio 0\n"
      << "/speakers/{\n";
    for (int s = 0; s < r.speakers; ++s) {
        // Back to directions from the sampling decoder's rows.
        const double x = p.lf[s][1], y = p.lf[s][2], z = p.lf[s][3];
        const double az = std::atan2(y, x) * 180.0 / 3.141592653589793;
        const double el = std::atan2(z, std::hypot(x, y)) * 180.0 / 3.141592653589793;
        f << "add_spkr S" << s + 1 << " " << p.distanceMetres[s] << " " << az << " " << el
          << " out_" << s + 1 << "\n";
    }
    f << "/}\n";
    for (const char* band : {"lf", "hf"}) {
        f << "/" << band << "matrix/{\norder_gain 1 1 0 0\n";
        for (int s = 0; s < r.speakers; ++s) {
            const double* row = band[0] == 'l' ? p.lf[s] : p.hf[s];
            f << "add_row " << row[0] << " " << row[1] << " " << row[2] << " " << row[3] << "\n";
        }
        f << "/}\n";
    }
    f << "/end\n";
    return path;
}

std::unique_ptr<kiv::vsthost::PluginLibrary>& layoutBundle() {
    static std::unique_ptr<kiv::vsthost::PluginLibrary> library = [] {
        std::string error;
        auto l = kiv::vsthost::PluginLibrary::open(KIV_LAYOUT_BUNDLE, error);
        if (!l) std::fprintf(stderr, "kiv_bench: %s\n", error.c_str());
        return l;
    }();
    return library;
}

void runLayoutBundle(benchmark::State& state, const Rig& r, int block) {
    std::string error;
    auto instance =
        layoutBundle() ? kiv::vsthost::PluginInstance::create(*layoutBundle(), error) : nullptr;
    const std::string preset = writeAmbdec(r);
    if (!instance || preset.empty() ||
        instance->dispatch(effVendorSpecific, kKivLoadLayout, 0,
                           const_cast<char*>(preset.c_str())) != 1) {
        if (!preset.empty()) std::remove(preset.c_str());
        state.SkipWithError("the LayoutDecoder bundle did not take the rig");
        return;
    }
    std::remove(preset.c_str()); // its content is in the plug-in now
    instance->start(48000.0f, block);
    Buffers buf(4, 32, block, 7);
    for (auto _ : state) {
        instance->processReplacing(buf.inPtr.data(), buf.outPtr.data(), block);
        benchmark::DoNotOptimize(buf.out[0].data());
        benchmark::ClobberMemory();
    }
    instance->close();
    state.counters["ns_per_frame"] = benchmark::Counter(
        block * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

std::string headphoneCaseName(const Headphones& h, int block) {
    return std::string(h.name) + "/" + std::to_string(block);
}

std::string layoutCaseName(const Rig& r, int block) {
    return std::string(r.name) + "/" + std::to_string(block);
}

std::string caseName(const Config& c, const Mode& m, bool nf, int block) {
    return std::string(c.name) + "/" + m.name + (nf ? "/nf-on/" : "/nf-off/") +
           std::to_string(block);
}

// Keeps every result so that the summary can pair engine and reference.
class CollectingReporter : public benchmark::ConsoleReporter {
public:
    explicit CollectingReporter(bool quiet) : quiet_(quiet) {}
    bool ReportContext(const Context& context) override {
        return quiet_ ? true : ConsoleReporter::ReportContext(context);
    }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            auto it = r.counters.find("ns_per_frame");
            if (it != r.counters.end()) nsPerFrame[r.benchmark_name()] = it->second.value;
        }
        if (!quiet_) ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nsPerFrame;

private:
    bool quiet_;
};

} // namespace

int main(int argc, char** argv) {
    bool summary = false;
    std::vector<char*> args;
    for (int i = 0; i < argc; ++i) {
        if (std::strcmp(argv[i], "--summary") == 0)
            summary = true;
        else
            args.push_back(argv[i]);
    }
    static char minTime[] = "--benchmark_min_time=0.05";
    if (summary) args.push_back(minTime);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());

    std::map<std::string, bool> identical;
    for (const Config& c : kConfigs)
        for (const Mode& m : kModes)
            for (bool nf : {false, true})
                for (int block : kBlocks) {
                    const std::string name = caseName(c, m, nf, block);
                    identical[name] = bitIdentical(c, m.seq, nf, block);
                    for (bool plain : {false, true})
                        benchmark::RegisterBenchmark(
                            (name + (plain ? "/plain" : "/engine")).c_str(), run, c, m.seq, nf,
                            block, plain);
                    benchmark::RegisterBenchmark((name + "/lv2").c_str(), runLv2, c, m.seq, nf,
                                                 block);
                }

    for (const Rig& r : kRigs)
        for (int block : {64, 512}) {
            benchmark::RegisterBenchmark(layoutCaseName(r, block).c_str(), runLayout, r, block);
            benchmark::RegisterBenchmark((layoutCaseName(r, block) + "/bundle").c_str(),
                                         runLayoutBundle, r, block);
        }
    for (const Headphones& h : headphoneRigs())
        for (int block : {64, 512})
            benchmark::RegisterBenchmark(headphoneCaseName(h, block).c_str(), runHeadphones, h,
                                         block);
    registerHeadphoneBenchmarks();

    CollectingReporter reporter(summary);
    benchmark::RunSpecifiedBenchmarks(&reporter);

    std::printf("\nprocessReplacing, ns per frame (engine / plain reference chain), and the LV2 "
                "plug-in's run\n");
    std::printf("%-34s %9s %9s %7s %9s  %s\n", "case", "engine", "plain", "ratio", "lv2 run",
                "output");
    bool allIdentical = true;
    for (const Config& c : kConfigs)
        for (const Mode& m : kModes)
            for (bool nf : {false, true})
                for (int block : kBlocks) {
                    const std::string name = caseName(c, m, nf, block);
                    const auto fast = reporter.nsPerFrame.find(name + "/engine");
                    const auto plain = reporter.nsPerFrame.find(name + "/plain");
                    if (fast == reporter.nsPerFrame.end() || plain == reporter.nsPerFrame.end())
                        continue;
                    const auto lv2 = reporter.nsPerFrame.find(name + "/lv2");
                    const double lv2Ns = lv2 == reporter.nsPerFrame.end() ? 0.0 : lv2->second;
                    allIdentical = allIdentical && identical[name];
                    std::printf("%-34s %9.3f %9.3f %6.2fx %9.3f  %s\n", name.c_str(), fast->second,
                                plain->second, plain->second / fast->second, lv2Ns,
                                identical[name] ? "bit-identical" : "DIFFERENT");
                }
    std::printf("decoders: %s, %s\n", kConfigs[0].decoder, kConfigs[1].decoder);

    std::printf("\nlayout decoder, two bands, distance and per-speaker near-field compensation "
                "(target: 1 ns per frame and speaker at 512)\n");
    std::printf("%-34s %9s %9s\n", "case", "ns/frame", "/speaker");
    for (const Rig& r : kRigs)
        for (int block : {64, 512})
            for (const char* face : {"", "/bundle"}) {
                const std::string name = layoutCaseName(r, block) + face;
                const auto it = reporter.nsPerFrame.find(name);
                if (it == reporter.nsPerFrame.end()) continue;
                std::printf("%-34s %9.3f %9.3f\n", (name + (*face ? "" : "/engine")).c_str(),
                            it->second, it->second / r.speakers);
            }
    const auto cube =
        reporter.nsPerFrame.find(caseName(kConfigs[0], kModes[2], true, 512) + "/engine");
    if (cube != reporter.nsPerFrame.end())
        std::printf("%-34s %9.3f %9.3f\n", "RegularDecoder cube, shelf, nf, 512", cube->second,
                    cube->second / kConfigs[0].outputs);

    std::printf("\nheadphone monitor engine, default set at 48 kHz, latency one block "
                "(cost should grow at most linearly in feeds)\n");
    std::printf("%-34s %9s %9s\n", "case", "ns/frame", "/feed");
    for (const Headphones& h : headphoneRigs())
        for (int block : {64, 512}) {
            const auto it = reporter.nsPerFrame.find(headphoneCaseName(h, block));
            if (it == reporter.nsPerFrame.end()) continue;
            std::printf("%-34s %9.3f %9.3f\n", headphoneCaseName(h, block).c_str(), it->second,
                        it->second / static_cast<double>(h.speakers.size()));
        }
    printHeadphoneSummary(reporter.nsPerFrame);
    benchmark::Shutdown();
    return allIdentical ? 0 : 1;
}
