// SPDX-License-Identifier: GPL-3.0-or-later
// Many instances, one after the other and side by side: each one is independent of every
// other (no shared state in the bundle), and creating and closing them leaks nothing. Both
// faces of every bundle: an LV2 instance takes its program as its preset's control values.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "host/VstOpcodes.h"
#include "tests/validation/AllocationHook.h"
#include "tests/validation/Audio.h"
#include "tests/validation/Face.h"
#include "tests/validation/ParameterSets.h"

using namespace kiv::validation;
using kiv::vsthost::PluginInstance;

namespace {

class Lifecycle : public ::testing::TestWithParam<FaceUnderTest> {};

constexpr float kRate = 48000.0f;
constexpr int kBlock = 256;

// Instance k's own parameters: a program of its own and values of its own.
ParameterSet ownParameters(int k) {
    ParameterSet set = chainVariants()[k % chainVariants().size()];
    set.values[0] = 0.05f + 0.055f * k;
    set.values[2] = 0.9f - 0.05f * k;
    set.values[3] = static_cast<float>(k % 7) / 6.0f;
    return set;
}

void configure(Face& instance, const FaceUnderTest& face, int k) {
    instance.selectProgram(k % face.programs);
    apply(instance, ownParameters(k));
}

} // namespace

TEST_P(Lifecycle, TwoHundredInstancesOneAfterAnotherLeakNothing) {
    const Audio input = noise(GetParam().inputs, kBlock, 7);
    // The first instance may set up what the process keeps (the bundle reference).
    Audio first = render(*startedFace(GetParam(), kRate, kBlock), input, kBlock);

    AllocationHook::arm();
    for (int i = 0; i < 200; ++i) {
        auto instance = startedFace(GetParam(), kRate, kBlock);
        const Audio out = render(*instance, input, kBlock);
        instance->close();
        ASSERT_EQ(firstDifference(out, first), "") << "instance " << i;
    }
    const HookCounts heap = AllocationHook::disarm();
    EXPECT_GT(heap.allocations, 200); // the hook saw the instances being built
    EXPECT_EQ(heap.allocations, heap.frees) << "blocks left allocated by 200 instances";
}

TEST_P(Lifecycle, SixteenAliveAtOnceEachAsALoneInstance) {
    constexpr int kInstances = 16, kBlocks = 12;
    const Audio input = noise(GetParam().inputs, kBlock * kBlocks, 11);

    // What each instance gives on its own.
    std::vector<Audio> alone;
    std::vector<VstIntPtr> aloneProgram;
    for (int k = 0; k < kInstances; ++k) {
        auto instance = newFace(GetParam());
        configure(*instance, GetParam(), k);
        instance->start(kRate, kBlock);
        alone.push_back(render(*instance, input, kBlock));
        if (instance->vst()) aloneProgram.push_back(instance->vst()->dispatch(effGetProgram));
    }

    std::vector<std::unique_ptr<Face>> together;
    for (int k = 0; k < kInstances; ++k) {
        together.push_back(newFace(GetParam()));
        configure(*together.back(), GetParam(), k);
        together.back()->start(kRate, kBlock);
    }
    // Blocks interleaved across the instances, as a host runs its inserts.
    std::vector<Audio> outputs(kInstances, Audio(GetParam().outputs, kBlock * kBlocks));
    for (int b = 0; b < kBlocks; ++b)
        for (int k = 0; k < kInstances; ++k) {
            Audio block(GetParam().inputs, kBlock);
            for (int j = 0; j < GetParam().inputs; ++j)
                std::copy_n(input[j].begin() + b * kBlock, kBlock, block[j].begin());
            const Audio out = render(*together[k], block, kBlock);
            for (int s = 0; s < GetParam().outputs; ++s)
                std::copy(out[s].begin(), out[s].end(), outputs[k][s].begin() + b * kBlock);
        }
    for (int k = 0; k < kInstances; ++k) {
        EXPECT_EQ(firstDifference(outputs[k], alone[k]), "") << "instance " << k;
        // What the record reads back; an LV2 host keeps the control values itself.
        PluginInstance* vst = together[k]->vst();
        if (!vst) continue;
        EXPECT_EQ(vst->getParameter(0), ownParameters(k).values[0]) << "instance " << k;
        EXPECT_EQ(vst->dispatch(effGetProgram), aloneProgram[k]) << "instance " << k;
        // A decoder keeps the program chosen; the converter's follows its parameter.
        if (GetParam().decoder) {
            EXPECT_EQ(aloneProgram[k], k % GetParam().programs) << "instance " << k;
        }
    }
    // The instances really differ, or the comparison above proves nothing.
    EXPECT_NE(firstDifference(outputs[0], outputs[kInstances - 1]), "");
}

INSTANTIATE_TEST_SUITE_P(Bundles, Lifecycle, ::testing::ValuesIn(allFaces()), BundleName());
