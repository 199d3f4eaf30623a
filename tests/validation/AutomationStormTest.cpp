// SPDX-License-Identifier: GPL-3.0-or-later
// An automation storm: one thread sends random parameter changes (in range and hostile:
// NaN, infinities, -1, 2, subnormals) and program changes, another opens, idles and closes
// the editor, while the audio thread decodes blocks of random length up to the announced
// size. Every output sample stays finite, neither audio nor parameter changes touch the
// heap or a lock, and afterwards a known parameter set gives exactly the known output.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "host/VstOpcodes.h"
#include "tests/validation/AllocationHook.h"
#include "tests/validation/Audio.h"
#include "tests/validation/Bundles.h"
#include "tests/validation/HostWindow.h"
#include "tests/validation/ParameterSets.h"
#include "tests/validation/Random.h"

using namespace kiv::validation;
using kiv::vsthost::PluginInstance;

namespace {

class AutomationStorm : public ::testing::TestWithParam<BundleUnderTest> {};

constexpr int kAnnounced = 512;
constexpr auto kStormLength = std::chrono::milliseconds(1500);
constexpr int kLeastBlocks = 3000;

float stormValue(Random& random) {
    if (random.below(5) < 3) return random.unit();
    return kHostileValues[random.below(sizeof kHostileValues / sizeof kHostileValues[0])];
}

struct Tally {
    HookCounts heap;
    long calls = 0;
    void add(const HookCounts& n) {
        heap.allocations += n.allocations;
        heap.frees += n.frees;
        heap.locks += n.locks;
        ++calls;
    }
};

} // namespace

TEST_P(AutomationStorm, SurvivesAndRecoversExactly) {
    const BundleUnderTest& bundle = GetParam();
    auto instance = startedInstance(bundle, 48000.0f, kAnnounced);
    ERect rect{};
    // Every stormed bundle has an editor, opened and closed throughout the storm.
    const bool hasEditor = instance->editorRect(rect);
    ASSERT_TRUE(hasEditor);

    std::atomic<bool> done{false};
    Tally automation, audio;
    long programChanges = 0, editorCycles = 0;

    std::thread automationThread([&] {
        Random random{0x9E3779B9u};
        while (!done.load(std::memory_order_relaxed)) {
            if (random.below(64) == 0) {
                const int programs[] = {0, 1, 2, 3, 4, 5, 6, -1, 7, 1000};
                instance->dispatch(effSetProgram, 0, programs[random.below(10)]);
                ++programChanges;
                continue;
            }
            const int index = random.below(10) - 1; // -1 to 8
            const float value = stormValue(random);
            AllocationHook::arm();
            instance->setParameter(index, value);
            automation.add(AllocationHook::disarm());
        }
    });

    std::thread editorThread([&] {
        if (!hasEditor) return;
        HostWindow parent(rect.right - rect.left, rect.bottom - rect.top);
        while (!done.load(std::memory_order_relaxed)) {
            instance->dispatch(effEditOpen, 0, 0, parent.handle());
            for (int i = 0; i < 5 && !done.load(std::memory_order_relaxed); ++i) {
                instance->dispatch(effEditIdle);
                parent.pump();
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            instance->dispatch(effEditClose);
            ++editorCycles;
        }
    });

    // The audio thread: this one.
    const Audio source = noise(std::max(bundle.inputs, bundle.outputs), kAnnounced * 8, 23, 0.5f);
    Audio in = source, out(bundle.outputs, kAnnounced);
    long nonFinite = 0;
    std::string firstBad;
    Random random{12345u};
    const auto start = std::chrono::steady_clock::now();
    int blocks = 0;
    for (; blocks < kLeastBlocks || std::chrono::steady_clock::now() - start < kStormLength;
         ++blocks) {
        const int n = random.below(kAnnounced + 1);
        const int offset = random.below(kAnnounced * 7);
        const bool inPlace = random.below(2) == 0;
        for (int j = 0; j < in.channels(); ++j)
            std::copy_n(source[j].begin() + offset, n, in[j].begin() + offset);
        std::vector<float*> inPtr = in.pointers(offset);
        std::vector<float*> outPtr = inPlace ? in.pointers(offset) : out.pointers();
        AllocationHook::arm();
        instance->processReplacing(inPtr.data(), outPtr.data(), n);
        audio.add(AllocationHook::disarm());
        for (int s = 0; s < bundle.outputs; ++s)
            for (int i = 0; i < n; ++i)
                if (!std::isfinite(outPtr[s][i])) {
                    if (firstBad.empty())
                        firstBad = "block " + std::to_string(blocks) + ", output " +
                                   std::to_string(s) + ": " + std::to_string(outPtr[s][i]);
                    ++nonFinite;
                }
    }
    done = true;
    automationThread.join();
    editorThread.join();

    EXPECT_EQ(nonFinite, 0) << "first at " << firstBad;
    EXPECT_EQ(audio.heap.total(), 0)
        << audio.heap.allocations << " allocations, " << audio.heap.frees << " frees, "
        << audio.heap.locks << " locks in " << blocks << " blocks";
    EXPECT_EQ(automation.heap.total(), 0)
        << automation.heap.allocations << " allocations, " << automation.heap.frees << " frees, "
        << automation.heap.locks << " locks in " << automation.calls << " parameter changes";
    // The storm really happened.
    EXPECT_GT(automation.calls, 1000);
    EXPECT_GT(programChanges, 10);
    EXPECT_TRUE(editorCycles > 0 || !hasEditor);

    // A known parameter set on the stormed instance and on a fresh one: the same audio.
    const Audio probe = noise(bundle.inputs, kAnnounced * 8, 29, 0.5f);
    auto fresh = newInstance(bundle);
    Audio want(bundle.outputs, 0), got(bundle.outputs, 0);
    for (PluginInstance* target : {fresh.get(), instance.get()}) {
        target->stop();
        target->dispatch(effSetProgram, 0, 2);
        apply(*target, chainVariants()[1]);
        target->start(48000.0f, kAnnounced);
        (target == fresh.get() ? want : got) = render(*target, probe, kAnnounced);
    }
    EXPECT_EQ(firstDifference(got, want), "");
    EXPECT_GT(peak(want), 0.01f);
}

std::vector<BundleUnderTest> stormedBundles() {
    std::vector<BundleUnderTest> all = bundlesUnderTest();
    for (const BundleUnderTest& b : allBundlesUnderTest())
        if (b.name == "LayoutDecoder" || b.name == "HeadphoneMonitor") all.push_back(b);
    return all;
}

INSTANTIATE_TEST_SUITE_P(Bundles, AutomationStorm, ::testing::ValuesIn(stormedBundles()),
                         BundleName());
