// SPDX-License-Identifier: GPL-3.0-or-later
#include "HeadphoneBench.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <vector>

#include "host/VstOpcodes.h"
#include "tools/vsthost/VstHost.h"

namespace {

constexpr const char* kReference = "/usr/lib/vst/iem.at/libBinauralDecoder.so";
constexpr float kRate = 48000.0f;

struct Case {
    const char* name;
    int feeds; // 0: the reference at first order
};
const Case kCases[] = {{"headphone monitor 8 feeds (cube)", 8},
                       {"headphone monitor 24 feeds", 24},
                       {"IEM BinauralDecoder, first order", 0}};
const int kBlocks[] = {64, 512};

std::string caseName(const Case& c, int block) {
    return std::string(c.name) + "/" + std::to_string(block);
}

// 24 speakers in three rings of eight, as a speaker list of our own.
std::string write24(const std::string& path) {
    std::ofstream f(path);
    for (int ring = 0; ring < 3; ++ring)
        for (int i = 0; i < 8; ++i)
            f << "S" << ring * 8 + i + 1 << " " << 45.0 * i + 22.5 * ring << " "
              << (ring == 0   ? 0
                  : ring == 1 ? 30
                              : -30)
              << "\n";
    return path;
}

void run(benchmark::State& state, const Case& c, int block) {
    std::string error;
    const std::string path = c.feeds ? KIV_HEADPHONE_BUNDLE : kReference;
    auto library = kiv::vsthost::PluginLibrary::open(path, error);
    auto plugin = library ? kiv::vsthost::PluginInstance::create(*library, error) : nullptr;
    if (!plugin) {
        state.SkipWithError(error.c_str());
        return;
    }
    plugin->dispatch(effOpen);
    plugin->dispatch(effSetSampleRate, 0, 0, nullptr, kRate);
    plugin->dispatch(effSetBlockSize, 0, block);
    if (c.feeds == 8) {
        std::string cube = "Cube";
        plugin->dispatch(effVendorSpecific, kKivLoadLayout, 0, cube.data());
    } else if (c.feeds == 24) {
        std::string file = write24("/tmp/kiv_bench_24_" + std::to_string(getpid()) + ".txt");
        plugin->dispatch(effVendorSpecific, kKivLoadLayout, 0, file.data());
        std::remove(file.c_str());
    } else {
        plugin->setParameter(0, 2.0f / 8.0f); // order: auto, 0th, 1st, ... 7th
    }
    plugin->dispatch(effMainsChanged, 0, 1);
    const AEffect* e = plugin->effect();
    std::vector<std::vector<float>> in(e->numInputs, std::vector<float>(block));
    std::vector<std::vector<float>> out(e->numOutputs, std::vector<float>(block));
    std::vector<float*> ins, outs;
    unsigned x = 12345;
    for (auto& ch : in) {
        for (float& v : ch) v = static_cast<float>((x = x * 1664525u + 1013904223u) >> 8) * 1e-8f;
        ins.push_back(ch.data());
    }
    for (auto& ch : out) outs.push_back(ch.data());
    // Feeds the layout does not have cost nothing; the reference takes four channels.
    const int used = c.feeds ? c.feeds : 4;
    for (int k = used; k < e->numInputs; ++k) std::fill(in[k].begin(), in[k].end(), 0.0f);
    for (auto _ : state) {
        plugin->processReplacing(ins.data(), outs.data(), block);
        benchmark::DoNotOptimize(outs[0]);
        benchmark::ClobberMemory();
    }
    state.counters["ns_per_frame"] = benchmark::Counter(
        block * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    plugin->dispatch(effMainsChanged, 0, 0);
}

} // namespace

void registerHeadphoneBenchmarks() {
    for (const Case& c : kCases) {
        if (!c.feeds && access(kReference, R_OK) != 0) continue;
        for (int block : kBlocks)
            benchmark::RegisterBenchmark(caseName(c, block).c_str(), run, c, block);
    }
}

void printHeadphoneSummary(const std::map<std::string, double>& nsPerFrame) {
    std::printf("\nheadphone monitor through its VST bundle, ns per frame (target: 8 feeds at 512 "
                "no dearer than the reference; growth at most linear in the feeds)\n");
    std::printf("%-44s %9s %9s\n", "case", "ns/frame", "/feed");
    for (const Case& c : kCases)
        for (int block : kBlocks) {
            const auto it = nsPerFrame.find(caseName(c, block));
            if (it == nsPerFrame.end()) continue;
            if (c.feeds)
                std::printf("%-44s %9.3f %9.3f\n", caseName(c, block).c_str(), it->second,
                            it->second / c.feeds);
            else
                std::printf("%-44s %9.3f %9s\n", caseName(c, block).c_str(), it->second, "-");
        }
    if (access(kReference, R_OK) != 0)
        std::printf("(no reference row: %s is not installed; Debian's iem-plugin-suite-vst has "
                    "it)\n",
                    kReference);
}
