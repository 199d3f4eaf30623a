// SPDX-License-Identifier: GPL-3.0-or-later
// The audio path and parameter changes allocate nothing, free nothing and lock nothing:
// counted by the allocation hook on the calling thread, for every chain variant, every
// program, block lengths up to and past the announced size, and hostile parameter values.
#include <gtest/gtest.h>

#include <limits>

#include "host/VstOpcodes.h"
#include "tests/validation/AllocationHook.h"
#include "tests/validation/Audio.h"
#include "tests/validation/Bundles.h"
#include "tests/validation/ParameterSets.h"

using namespace kiv::validation;
using kiv::vsthost::PluginInstance;

namespace {

class RealTimeSafety : public ::testing::TestWithParam<BundleUnderTest> {};

constexpr int kAnnounced = 512;

std::string describe(const HookCounts& n) {
    return std::to_string(n.allocations) + " allocations, " + std::to_string(n.frees) + " frees, " +
           std::to_string(n.locks) + " locks";
}

} // namespace

TEST_P(RealTimeSafety, ProcessReplacingNeitherAllocatesNorLocks) {
    ASSERT_TRUE(AllocationHook::active());
    if (GetParam().decoder) {
        // The hook must see the plug-in's own heap, or the counts below prove nothing: a
        // new block size makes the engine allocate its work buffers afresh.
        auto instance = startedInstance(GetParam(), 48000.0f, kAnnounced);
        AllocationHook::arm();
        instance->dispatch(effSetBlockSize, 0, 2 * kAnnounced);
        const HookCounts counts = AllocationHook::disarm();
        ASSERT_GT(counts.allocations, 0);
        ASSERT_GT(counts.frees, 0);
    } else {
        // The converter allocates nothing once built; closing it frees the effect, in the
        // plug-in's own code.
        auto instance = startedInstance(GetParam(), 48000.0f, kAnnounced);
        AllocationHook::arm();
        instance->close();
        const HookCounts counts = AllocationHook::disarm();
        ASSERT_GT(counts.frees, 0);
    }
    const int lengths[] = {0, 1, 3, 64, 511, kAnnounced, kAnnounced + 1, 4 * kAnnounced + 7};
    Audio in =
        noise(GetParam().inputs > GetParam().outputs ? GetParam().inputs : GetParam().outputs,
              4 * kAnnounced + 7, 13, 0.5f);
    Audio out(GetParam().outputs, 4 * kAnnounced + 7);
    std::vector<float*> inPtr = in.pointers(), outPtr = out.pointers();
    for (int program = 0; program < GetParam().programs; ++program) {
        for (const ParameterSet* set :
             {static_cast<const ParameterSet*>(nullptr), &chainVariants()[1], &chainVariants()[2],
              &chainVariants()[3]}) {
            auto instance = newInstance(GetParam());
            instance->dispatch(effSetProgram, 0, program);
            if (set) apply(*instance, *set);
            instance->start(48000.0f, kAnnounced);
            for (int n : lengths) {
                for (bool inPlace : {false, true}) {
                    float** outs = inPlace ? inPtr.data() : outPtr.data();
                    AllocationHook::arm();
                    instance->processReplacing(inPtr.data(), outs, n);
                    const HookCounts counts = AllocationHook::disarm();
                    EXPECT_EQ(counts.total(), 0)
                        << describe(counts) << " in a block of " << n << ", program " << program
                        << (set ? std::string(", ") + set->name : "")
                        << (inPlace ? ", in place" : "");
                }
            }
        }
    }
}

TEST_P(RealTimeSafety, SetParameterNeitherAllocatesNorLocks) {
    for (bool editorOpen : {false, true}) {
        auto instance = startedInstance(GetParam(), 48000.0f, kAnnounced);
        if (editorOpen) instance->dispatch(effEditOpen);
        for (int index = -1; index <= 8; ++index) {
            for (float value : kHostileValues) {
                AllocationHook::arm();
                instance->setParameter(index, value);
                volatile float readBack = instance->getParameter(index);
                (void)readBack;
                const HookCounts counts = AllocationHook::disarm();
                EXPECT_EQ(counts.total(), 0)
                    << describe(counts) << " setting parameter " << index << " to " << value
                    << (editorOpen ? " with the editor open" : "");
            }
        }
        if (editorOpen) instance->dispatch(effEditClose);
    }
}

INSTANTIATE_TEST_SUITE_P(Bundles, RealTimeSafety, ::testing::ValuesIn(allBundlesUnderTest()),
                         BundleName());
