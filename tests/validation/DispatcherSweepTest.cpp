// SPDX-License-Identifier: GPL-3.0-or-later
// Every opcode, with hostile indexes, values and opts, with a null pointer and with guarded
// buffers of exactly the interface's size: the deterministic half of the dispatcher check
// (the libFuzzer target is the other). Afterwards the instance, set up properly again, must
// decode exactly like a fresh one: no hostile request leaves lasting damage.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "host/VstOpcodes.h"
#include "tests/validation/AllocationHook.h"
#include "tests/validation/Audio.h"
#include "tests/validation/Bundles.h"
#include "tests/validation/DispatchProbe.h"
#include "tests/validation/ParameterSets.h"

using namespace kiv::validation;
using kiv::vsthost::PluginInstance;

namespace {

class DispatcherSweep : public ::testing::TestWithParam<BundleUnderTest> {};

const VstInt32 kIndexes[] = {0,
                             1,
                             6,
                             7,
                             8,
                             -1,
                             1000,
                             std::numeric_limits<VstInt32>::min(),
                             std::numeric_limits<VstInt32>::max()};
const VstIntPtr kValues[] = {0,
                             1,
                             6,
                             7,
                             -1,
                             0x1FF,
                             1 << 20,
                             std::numeric_limits<VstInt32>::max(),
                             VstIntPtr(1) << 31,
                             VstIntPtr(1) << 40,
                             std::numeric_limits<VstIntPtr>::min(),
                             std::numeric_limits<VstIntPtr>::max()};
const float kOpts[] = {0.0f,
                       1.0f,
                       -1.0f,
                       3.7f,
                       48000.0f,
                       std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(),
                       -std::numeric_limits<float>::infinity(),
                       1e-40f,
                       std::numeric_limits<float>::max()};
const std::string kTexts[] = {"",
                              "bypass",
                              "receiveVstTimeInfo",
                              "0.5",
                              "Init",
                              std::string(23, 'n'),
                              std::string(24, 'o'),
                              std::string(300, 'x')};

bool skipped(VstInt32 opcode, VstInt32 index) {
    // Closing is the lifecycle's; our own snapshot request writes the file ptr names.
    return opcode == effClose || (opcode == effVendorSpecific && index == kKivSnapshot);
}

std::vector<VstInt32> opcodes() {
    std::vector<VstInt32> all;
    for (VstInt32 op = 0; op <= 100; ++op) all.push_back(op);
    for (VstInt32 op :
         {1000, -1, std::numeric_limits<VstInt32>::min(), std::numeric_limits<VstInt32>::max()})
        all.push_back(op);
    return all;
}

// Sweeps one opcode over the hostile arguments; the record stays usable throughout.
void sweep(PluginInstance& instance, VstInt32 opcode, std::vector<std::string>& violations) {
    const bool textIn = contractOf(opcode).use == PointerUse::TextIn ||
                        contractOf(opcode).use == PointerUse::ChunkIn;
    auto run = [&](VstInt32 index, VstIntPtr value, float opt) {
        if (skipped(opcode, index)) return;
        for (bool withPointer : {false, true}) {
            for (const std::string& text : kTexts) {
                ProbeCall call{opcode, index, value, opt, withPointer, text};
                for (std::string& v : probe(instance.effect(), call).violations)
                    violations.push_back(std::move(v));
                if (!textIn) break; // one text is enough where none is read
            }
        }
    };
    // Every index with every value; every opt with the plain index and value (few opcodes
    // read opt, and none reads it together with the others in a way that matters).
    for (VstInt32 index : kIndexes)
        for (VstIntPtr value : kValues) run(index, value, 0.0f);
    for (float opt : kOpts) run(0, 0, opt);
}

} // namespace

TEST_P(DispatcherSweep, EveryOpcodeKeepsToItsBuffersAndLeavesNoDamage) {
    auto instance = startedInstance(GetParam(), 48000.0f, 512);
    std::vector<std::string> violations;
    violations.reserve(1024);
    AllocationHook::arm();
    for (VstInt32 opcode : opcodes()) sweep(*instance, opcode, violations);
    const HookCounts heap = AllocationHook::disarm();
    // Whatever block size the host announces, the instance asks for no more than a few
    // megabytes at once (a host's absurd number must not become a failed allocation, which
    // would end the host's process).
    EXPECT_LT(heap.largestBytes, 16u << 20);
    for (std::string& v : auditTexts(instance->effect())) violations.push_back(std::move(v));
    EXPECT_TRUE(violations.empty())
        << violations.size()
        << " violations, the first: " << (violations.empty() ? "" : violations.front());

    // Set up properly again, as a host would after all that: the same audio as a fresh one.
    const Audio input = noise(GetParam().inputs, 512 * 8, 17, 0.5f);
    Audio want(GetParam().outputs, 0), got(GetParam().outputs, 0);
    for (PluginInstance* target : {instance.get(), static_cast<PluginInstance*>(nullptr)}) {
        std::unique_ptr<PluginInstance> fresh;
        if (!target) {
            fresh = newInstance(GetParam());
            target = fresh.get();
        }
        target->stop();
        target->dispatch(effSetProgram, 0, 2);
        apply(*target, chainVariants()[1]);
        std::string name = "Restored";
        target->dispatch(effSetProgramName, 0, 0, name.data());
        target->start(48000.0f, 512);
        (fresh ? want : got) = render(*target, input, 512);
    }
    EXPECT_EQ(firstDifference(got, want), "");
}

// The texts the host reads back stay within their limits even after hostile names.
TEST_P(DispatcherSweep, LongProgramNamesAreCutToTwentyThreeCharacters) {
    auto instance = startedInstance(GetParam(), 48000.0f, 512);
    if (!GetParam().decoder) {
        // The converter's and LayoutDecoder's program names say what the programs are: a host's
        // name changes nothing, and what is read back stays within the limits.
        std::vector<std::string> names;
        for (int program = 0; program < GetParam().programs; ++program)
            names.push_back(instance->programNameIndexed(program));
        for (int program = 0; program < GetParam().programs; ++program) {
            instance->dispatch(effSetProgram, 0, program);
            std::string name(200, 'a');
            instance->dispatch(effSetProgramName, 0, 0, name.data());
            EXPECT_EQ(instance->programName(), names[program]);
            EXPECT_EQ(instance->programNameIndexed(program), names[program]);
        }
        EXPECT_TRUE(auditTexts(instance->effect()).empty());
        return;
    }
    for (int program = 0; program < 7; ++program) {
        instance->dispatch(effSetProgram, 0, program);
        std::string name(200, static_cast<char>('a' + program));
        instance->dispatch(effSetProgramName, 0, 0, name.data());
        EXPECT_EQ(instance->programName(), std::string(23, static_cast<char>('a' + program)));
    }
    // No name spilled into its neighbour's record.
    for (int program = 0; program < 7; ++program)
        EXPECT_EQ(instance->programNameIndexed(program),
                  std::string(23, static_cast<char>('a' + program)));
    EXPECT_TRUE(auditTexts(instance->effect()).empty());
}

INSTANTIATE_TEST_SUITE_P(Bundles, DispatcherSweep, ::testing::ValuesIn(allBundlesUnderTest()),
                         BundleName());
