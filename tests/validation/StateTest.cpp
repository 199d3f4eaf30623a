// SPDX-License-Identifier: GPL-3.0-or-later
// State kept the way hosts keep it: the seven parameter values and the program name read
// back through the record and the dispatcher (VST), or the seven control port values (LV2),
// handed to a fresh instance, must give the same audio to the bit, for every program and
// after edits of every parameter.
#include <gtest/gtest.h>

#include <array>

#include "host/VstOpcodes.h"
#include "tests/validation/Audio.h"
#include "tests/validation/Face.h"

using namespace kiv::validation;
using kiv::vsthost::PluginInstance;

namespace {

class State : public ::testing::TestWithParam<FaceUnderTest> {};
// Program names: the VST record's alone.
class StateVst : public ::testing::TestWithParam<FaceUnderTest> {};

constexpr float kRate = 48000.0f;
constexpr int kBlock = 512;

struct SavedState {
    std::vector<float> values;
    std::string programName; // VST
};

SavedState save(Face& instance) {
    SavedState state;
    state.values = instance.saved();
    if (PluginInstance* vst = instance.vst()) state.programName = vst->programName();
    return state;
}

// How hosts restore: either on the fresh instance's current program, or after selecting
// the program the state came from.
std::unique_ptr<Face> restored(const FaceUnderTest& face, const SavedState& state,
                               int selectProgram) {
    auto instance = newFace(face);
    if (selectProgram >= 0) instance->selectProgram(selectProgram);
    instance->restore(state.values);
    if (PluginInstance* vst = instance->vst()) {
        std::string name = state.programName;
        vst->dispatch(effSetProgramName, 0, 0, name.data());
    }
    instance->start(kRate, kBlock);
    return instance;
}

// Renders after the host switches the instance off and on, as it does around a restore.
Audio renderAfterRestart(Face& instance, const Audio& input) {
    instance.restart();
    return render(instance, input, kBlock);
}

// program: the one the host last selected (the VST record reports its own).
void expectSameAudio(const FaceUnderTest& face, Face& original, int program,
                     const std::string& what) {
    const Audio input = noise(face.inputs, kBlock * 16, 31, 0.5f);
    const SavedState state = save(original);
    ASSERT_EQ(state.values.size(), 7u) << what;
    const Audio want = renderAfterRestart(original, input);
    ASSERT_GT(peak(want), 0.01f) << what; // silence against silence would prove nothing
    if (PluginInstance* vst = original.vst())
        program = static_cast<int>(vst->dispatch(effGetProgram));
    for (int selectProgram : {-1, program == 0 ? 3 : 0, program}) {
        auto copy = restored(face, state, selectProgram);
        EXPECT_EQ(firstDifference(render(*copy, input, kBlock), want), "")
            << what << (selectProgram < 0 ? "" : ", restored on program ")
            << (selectProgram < 0 ? "" : std::to_string(selectProgram));
        // What the record reads back; an LV2 host keeps the control values itself.
        PluginInstance* vst = copy->vst();
        if (!vst) continue;
        EXPECT_EQ(vst->programName(), state.programName) << what;
        for (int k = 0; k < 7; ++k)
            EXPECT_EQ(vst->getParameter(k), state.values[k]) << what << ", parameter " << k;
    }
}

std::vector<FaceUnderTest> vstDecoderFaces() {
    std::vector<FaceUnderTest> faces;
    for (const FaceUnderTest& face : decoderFaces())
        if (face.format == Format::Vst) faces.push_back(face);
    return faces;
}

} // namespace

TEST_P(State, EveryProgramSurvivesASaveAndRestore) {
    for (int program = 0; program < 7; ++program) {
        auto original = startedFace(GetParam(), kRate, kBlock);
        // Some audio first with another program, as in a session.
        original->selectProgram((program + 1) % 7);
        render(*original, noise(GetParam().inputs, kBlock * 4, 1), kBlock);
        original->selectProgram(program);
        expectSameAudio(GetParam(), *original, program, "program " + std::to_string(program));
    }
}

TEST_P(State, EditedParametersSurviveASaveAndRestore) {
    // Values a host or its automation may leave: ends, middles and odd fractions.
    const float values[] = {0.0f, 1.0f, 0.5f, 0.3f, 0.123456f, 0.987654f, 0.0666667f, 0.7f};
    for (int k = 0; k < 7; ++k) {
        for (float v : values) {
            auto original = startedFace(GetParam(), kRate, kBlock);
            original->selectProgram(2);
            original->setParameter(k, v);
            if (k != 4) original->setParameter(4, 0.2f); // near-field compensation on
            expectSameAudio(GetParam(), *original, 2,
                            "parameter " + std::to_string(k) + " at " + std::to_string(v));
        }
    }
}

TEST_P(StateVst, RenamedProgramsSurviveASaveAndRestore) {
    const std::string names[] = {"My Hall", "Init", "", "A name of exactly 23 ch"};
    for (const std::string& name : names) {
        auto original = startedFace(GetParam(), kRate, kBlock);
        original->selectProgram(4);
        std::string text = name;
        original->vst()->dispatch(effSetProgramName, 0, 0, text.data());
        expectSameAudio(GetParam(), *original, 4, "program named \"" + name + "\"");
    }
}

INSTANTIATE_TEST_SUITE_P(Bundles, State, ::testing::ValuesIn(decoderFaces()), BundleName());
INSTANTIATE_TEST_SUITE_P(Bundles, StateVst, ::testing::ValuesIn(vstDecoderFaces()), BundleName());
