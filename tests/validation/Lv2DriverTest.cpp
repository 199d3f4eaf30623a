// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 plug-ins under the validation checks, through their descriptors, by a host that
// gives no features: 200 decoder instances one after the other leave no block allocated; a
// rate that is no rate gets no decoder instance; run (decoders and converter) allocates,
// frees and locks nothing for blocks of any length, in place or apart, while every control
// changes between blocks to values in range and hostile ones (NaN, infinities, -1e30, 2e9,
// subnormals), applied inside run; the output stays finite. The checks shared with the VST
// faces are written over both (Face.h).
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/validation/AllocationHook.h"
#include "tests/validation/Audio.h"
#include "tests/validation/Lv2Plugin.h"
#include "tests/validation/ParameterSets.h"

using namespace kiv::validation;

namespace {

class Lv2Driver : public ::testing::TestWithParam<Lv2BundleUnderTest> {
protected:
    void SetUp() override {
        std::string error;
        d = lv2Descriptor(GetParam(), error);
        ASSERT_NE(d, nullptr) << error;
    }
    const LV2_Descriptor* d = nullptr;
};
// Run, on the converter too.
class Lv2Run : public Lv2Driver {};

std::string describe(const HookCounts& n) {
    return std::to_string(n.allocations) + " allocations, " + std::to_string(n.frees) + " frees, " +
           std::to_string(n.locks) + " locks";
}

TEST_P(Lv2Driver, TwoHundredInstancesLeaveNoBlockAllocated) {
    ASSERT_TRUE(AllocationHook::active());
    const LV2_Feature* const features[] = {nullptr};
    AllocationHook::arm();
    for (int i = 0; i < 200; ++i) {
        LV2_Handle h = d->instantiate(d, 44100.0 + i, "", features);
        ASSERT_NE(h, nullptr);
        d->activate(h);
        d->deactivate(h);
        d->cleanup(h);
    }
    const HookCounts heap = AllocationHook::disarm();
    EXPECT_GT(heap.allocations, 200); // the hook saw the instances being built
    EXPECT_EQ(heap.allocations, heap.frees) << "blocks left allocated by 200 instances";
}

// Zero, negative, infinite or NaN would make every filter NaN: no instance at all.
TEST_P(Lv2Driver, ARateThatIsNoRateGetsNoInstance) {
    const LV2_Feature* const features[] = {nullptr};
    for (double bad : {0.0, -48000.0, std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN(), 1e300}) {
        LV2_Handle h = d->instantiate(d, bad, "", features);
        EXPECT_EQ(h, nullptr) << "rate " << bad;
        if (h != nullptr) d->cleanup(h);
    }
    LV2_Handle h = d->instantiate(d, 8000.0, "", features);
    EXPECT_NE(h, nullptr);
    if (h != nullptr) d->cleanup(h);
}

TEST_P(Lv2Run, RunNeitherAllocatesNorLocksWhateverTheControls) {
    ASSERT_TRUE(AllocationHook::active());
    const Lv2BundleUnderTest& b = GetParam();
    const LV2_Feature* const features[] = {nullptr};
    // The hook must see the plug-in's own heap, or the counts below prove nothing.
    AllocationHook::arm();
    LV2_Handle h = d->instantiate(d, 48000.0, "", features);
    ASSERT_GT(AllocationHook::disarm().allocations, 0);
    ASSERT_NE(h, nullptr);
    constexpr int kLongest = 3 * 4096 + 7; // past the default work buffers
    Audio in = noise(b.inputs > b.outputs ? b.inputs : b.outputs, kLongest, 21, 0.5f);
    Audio out(b.outputs, kLongest);
    std::vector<float*> inPtr = in.pointers(), outPtr = out.pointers();
    float controls[16] = {1.0f, 1.0f, 380.0f, 0.0f, 8.0f, 8.0f, 0.0f};
    if (!b.decoder)
        for (int k = 0; k < b.controls; ++k) controls[k] = lv2PresetValue(b, 0, k);
    for (int k = 0; k < b.controls; ++k)
        d->connect_port(h, static_cast<uint32_t>(b.inputs + b.outputs + k), &controls[k]);
    float decoderInUse = -1.0f;
    if (b.controlOutputs > 0)
        d->connect_port(h, static_cast<uint32_t>(b.inputs + b.outputs + b.controls), &decoderInUse);
    d->activate(h);

    // In range at both ends and inside, then hostile.
    const float values[] = {0.0f,
                            0.5f,
                            1.0f,
                            2.0f,
                            6.0f,
                            8.0f,
                            1200.f,
                            50.0f,
                            std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(),
                            -std::numeric_limits<float>::infinity(),
                            -1e30f,
                            1e30f,
                            -1.0f,
                            3.7f,
                            2e9f,
                            -2e9f,
                            1e-40f,
                            -1e-40f,
                            std::numeric_limits<float>::denorm_min()};
    const int lengths[] = {0, 1, 3, 64, 511, 4096, kLongest};
    int round = 0;
    for (float value : values) {
        for (int k = 0; k < b.controls; ++k) {
            const float kept = controls[k];
            controls[k] = value;
            for (bool inPlace : {false, true}) {
                const int n = lengths[round++ % (sizeof lengths / sizeof lengths[0])];
                for (int j = 0; j < b.inputs; ++j)
                    d->connect_port(h, static_cast<uint32_t>(j),
                                    inPtr[static_cast<std::size_t>(j)]);
                for (int j = 0; j < b.outputs; ++j)
                    d->connect_port(h, static_cast<uint32_t>(b.inputs + j),
                                    (inPlace ? inPtr : outPtr)[static_cast<std::size_t>(j)]);
                AllocationHook::arm();
                d->run(h, static_cast<uint32_t>(n));
                const HookCounts counts = AllocationHook::disarm();
                EXPECT_EQ(counts.total(), 0) << describe(counts) << " in a block of " << n
                                             << " with control " << k << " at " << value;
                // The decoder in use is always one of the seven, whatever the control holds;
                // the headphone monitor's output control is its latency, at most 1024 frames.
                if (b.controlOutputs > 0) {
                    const float most = b.decoder ? 6.0f : 1024.0f;
                    EXPECT_EQ(decoderInUse, std::floor(decoderInUse)) << value;
                    EXPECT_TRUE(decoderInUse >= 0.0f && decoderInUse <= most) << decoderInUse;
                }
                const Audio& result = inPlace ? in : out;
                for (int j = 0; j < b.outputs; ++j)
                    for (int i = 0; i < n; ++i)
                        ASSERT_TRUE(std::isfinite(result[j][static_cast<std::size_t>(i)]))
                            << "control " << k << " at " << value;
            }
            if (!std::isfinite(value)) controls[k] = kept; // the next rounds start in range
        }
    }
    d->deactivate(h);
    d->cleanup(h);
}

INSTANTIATE_TEST_SUITE_P(Lv2Bundles, Lv2Driver, ::testing::ValuesIn(lv2BundlesUnderTest()),
                         [](const auto& info) { return std::string(info.param.name); });
INSTANTIATE_TEST_SUITE_P(Lv2Bundles, Lv2Run, ::testing::ValuesIn(allLv2BundlesUnderTest()),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
