// SPDX-License-Identifier: GPL-3.0-or-later
// The storm as an LV2 host makes it: every control port changes between every two run calls,
// to random values in range and to hostile ones (NaN, infinities, -1, 2e9, subnormals), while
// run decodes blocks of random length up to the announced maximum, in place or apart. Every
// output sample stays finite, run touches neither heap nor lock, and afterwards a known
// control set gives exactly the output of a fresh instance given that set. Written over the
// faces, so the VST faces take the same storm from one thread.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/validation/AllocationHook.h"
#include "tests/validation/Audio.h"
#include "tests/validation/Face.h"
#include "tests/validation/ParameterSets.h"
#include "tests/validation/Random.h"

using namespace kiv::validation;

namespace {

class ControlStorm : public ::testing::TestWithParam<FaceUnderTest> {};

constexpr int kAnnounced = 512;
constexpr int kBlocks = 4000;

// Port values a hostile host writes (physical for LV2, normalised for VST): the suite's
// hostile values and a few far outside any range.
float hostileValue(Random& random) {
    constexpr float kFarOut[] = {2e9f, -2e9f, 1e30f, -1e30f};
    constexpr int kHostile = sizeof kHostileValues / sizeof kHostileValues[0];
    const int i = random.below(kHostile + 4);
    return i < kHostile ? kHostileValues[i] : kFarOut[i - kHostile];
}

} // namespace

TEST_P(ControlStorm, EveryControlChangingBetweenRunsLeavesNoTrace) {
    const FaceUnderTest& face = GetParam();
    ASSERT_TRUE(AllocationHook::active());
    auto instance = startedFace(face, 48000.0f, kAnnounced);

    const Audio source = noise(std::max(face.inputs, face.outputs), kAnnounced * 8, 23, 0.5f);
    Audio in = source, out(face.outputs, kAnnounced);
    Random random{0xC0FFEEu};
    long nonFinite = 0, hostileWrites = 0;
    std::string firstBad;
    HookCounts heap;
    for (int block = 0; block < kBlocks; ++block) {
        for (int k = 0; k < 7; ++k) {
            if (random.below(3) == 0) {
                instance->setRaw(k, hostileValue(random));
                ++hostileWrites;
            } else {
                instance->setParameter(k, random.unit());
            }
        }
        const int n = random.below(kAnnounced + 1);
        const int offset = random.below(kAnnounced * 7);
        const bool inPlace = random.below(2) == 0;
        for (int j = 0; j < in.channels(); ++j)
            std::copy_n(source[j].begin() + offset, n, in[j].begin() + offset);
        std::vector<float*> inPtr = in.pointers(offset);
        std::vector<float*> outPtr = inPlace ? in.pointers(offset) : out.pointers();
        AllocationHook::arm();
        instance->process(inPtr.data(), outPtr.data(), n);
        const HookCounts counts = AllocationHook::disarm();
        heap.allocations += counts.allocations;
        heap.frees += counts.frees;
        heap.locks += counts.locks;
        for (int s = 0; s < face.outputs; ++s)
            for (int i = 0; i < n; ++i)
                if (!std::isfinite(outPtr[s][i])) {
                    if (firstBad.empty())
                        firstBad = "block " + std::to_string(block) + ", output " +
                                   std::to_string(s) + ": " + std::to_string(outPtr[s][i]);
                    ++nonFinite;
                }
    }
    EXPECT_EQ(nonFinite, 0) << "first at " << firstBad;
    EXPECT_EQ(heap.total(), 0) << heap.allocations << " allocations, " << heap.frees << " frees, "
                               << heap.locks << " locks in " << kBlocks << " runs";
    EXPECT_GT(hostileWrites, kBlocks); // the storm really was hostile

    // A known control set on the stormed instance and on a fresh one: the same audio.
    const Audio probe = noise(face.inputs, kAnnounced * 8, 29, 0.5f);
    auto fresh = newFace(face);
    fresh->selectProgram(2);
    apply(*fresh, chainVariants()[1]);
    fresh->start(48000.0f, kAnnounced);
    const Audio want = render(*fresh, probe, kAnnounced);
    instance->selectProgram(2);
    apply(*instance, chainVariants()[1]);
    instance->restart();
    EXPECT_EQ(firstDifference(render(*instance, probe, kAnnounced), want), "");
    EXPECT_GT(peak(want), 0.01f);
}

INSTANTIATE_TEST_SUITE_P(Bundles, ControlStorm, ::testing::ValuesIn(allFaces()), BundleName());
