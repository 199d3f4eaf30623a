// State kept the way hosts keep it: the seven parameter values and the program name read
// back through the record and the dispatcher, handed to a fresh instance, must give the
// same audio to the bit, for every program and after edits of every parameter.
#include <gtest/gtest.h>

#include <array>

#include "host/VstOpcodes.h"
#include "tests/validation/Audio.h"
#include "tests/validation/Bundles.h"

using namespace kiv::validation;
using kiv::vsthost::PluginInstance;

namespace {

class State : public ::testing::TestWithParam<BundleUnderTest> {};

constexpr float kRate = 48000.0f;
constexpr int kBlock = 512;

struct SavedState {
    std::array<float, 7> values;
    std::string programName;
};

SavedState save(PluginInstance& instance) {
    SavedState state;
    for (int k = 0; k < 7; ++k) state.values[k] = instance.getParameter(k);
    state.programName = instance.programName();
    return state;
}

// How hosts restore: either on the fresh instance's current program, or after selecting
// the program the state came from.
std::unique_ptr<PluginInstance> restored(const BundleUnderTest& bundle, const SavedState& state,
                                         int selectProgram) {
    auto instance = newInstance(bundle);
    if (selectProgram >= 0) instance->dispatch(effSetProgram, 0, selectProgram);
    for (int k = 0; k < 7; ++k) instance->setParameter(k, state.values[k]);
    std::string name = state.programName;
    instance->dispatch(effSetProgramName, 0, 0, name.data());
    instance->start(kRate, kBlock);
    return instance;
}

// Renders after the host switches the instance off and on, as it does around a restore.
Audio renderAfterRestart(PluginInstance& instance, const Audio& input) {
    instance.stop();
    instance.dispatch(effMainsChanged, 0, 1);
    return render(instance, input, kBlock);
}

void expectSameAudio(const BundleUnderTest& bundle, PluginInstance& original,
                     const std::string& what) {
    const Audio input = noise(bundle.inputs, kBlock * 16, 31, 0.5f);
    const SavedState state = save(original);
    const Audio want = renderAfterRestart(original, input);
    for (int selectProgram : {-1, original.dispatch(effGetProgram) == 0 ? 3 : 0,
                              static_cast<int>(original.dispatch(effGetProgram))}) {
        auto copy = restored(bundle, state, selectProgram);
        EXPECT_EQ(firstDifference(render(*copy, input, kBlock), want), "")
            << what << (selectProgram < 0 ? "" : ", restored on program ")
            << (selectProgram < 0 ? "" : std::to_string(selectProgram));
        EXPECT_EQ(copy->programName(), state.programName) << what;
        for (int k = 0; k < 7; ++k)
            EXPECT_EQ(copy->getParameter(k), state.values[k]) << what << ", parameter " << k;
    }
}

} // namespace

TEST_P(State, EveryProgramSurvivesASaveAndRestore) {
    for (int program = 0; program < 7; ++program) {
        auto original = startedInstance(GetParam(), kRate, kBlock);
        // Some audio first with another program, as in a session.
        original->dispatch(effSetProgram, 0, (program + 1) % 7);
        render(*original, noise(GetParam().inputs, kBlock * 4, 1), kBlock);
        original->dispatch(effSetProgram, 0, program);
        expectSameAudio(GetParam(), *original, "program " + std::to_string(program));
    }
}

TEST_P(State, EditedParametersSurviveASaveAndRestore) {
    // Values a host or its automation may leave: ends, middles and odd fractions.
    const float values[] = {0.0f, 1.0f, 0.5f, 0.3f, 0.123456f, 0.987654f, 0.0666667f, 0.7f};
    for (int k = 0; k < 7; ++k) {
        for (float v : values) {
            auto original = startedInstance(GetParam(), kRate, kBlock);
            original->dispatch(effSetProgram, 0, 2);
            original->setParameter(k, v);
            if (k != 4) original->setParameter(4, 0.2f); // near-field compensation on
            expectSameAudio(GetParam(), *original,
                            "parameter " + std::to_string(k) + " at " + std::to_string(v));
        }
    }
}

TEST_P(State, RenamedProgramsSurviveASaveAndRestore) {
    const std::string names[] = {"My Hall", "Init", "", "A name of exactly 23 ch"};
    for (const std::string& name : names) {
        auto original = startedInstance(GetParam(), kRate, kBlock);
        original->dispatch(effSetProgram, 0, 4);
        std::string text = name;
        original->dispatch(effSetProgramName, 0, 0, text.data());
        expectSameAudio(GetParam(), *original, "program named \"" + name + "\"");
    }
}

INSTANTIATE_TEST_SUITE_P(Bundles, State, ::testing::ValuesIn(bundlesUnderTest()), BundleName());
