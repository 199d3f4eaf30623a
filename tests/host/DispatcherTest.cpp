// SPDX-License-Identifier: GPL-3.0-or-later
// The basic and extended dispatchers and the record's entries, on an effect that keeps
// every default.
#include <gtest/gtest.h>

#include <cstring>

#include "RecordingHost.h"
#include "host/AEffEditor.h"
#include "host/CanDos.h"

namespace {

class Dispatcher : public ::testing::Test {
protected:
    void SetUp() override { RecordingHost::reset(); }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return record->dispatcher(record, opcode, index, value, ptr, opt);
    }
    PlainEffect* effect = new PlainEffect();
    AEffect* record = effect->getAeffect();
    void TearDown() override {
        if (record) dispatch(effClose);
    }
};

TEST_F(Dispatcher, RecordAtBaseConstruction) {
    EXPECT_EQ(record->magic, 0x56737450);
    EXPECT_EQ(record->numPrograms, 7);
    EXPECT_EQ(record->numParams, 7);
    EXPECT_EQ(record->numInputs, 1);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->flags, effFlagsCanReplacing);
    EXPECT_EQ(record->uniqueID, 0x4E6F4566);
    EXPECT_EQ(record->version, 1);
    EXPECT_EQ(record->ioRatio, 1.0f);
    EXPECT_EQ(record->object, effect);
    EXPECT_EQ(record->user, nullptr);
    EXPECT_EQ(record->resvd1, 0);
    const char zeros[sizeof record->future] = {};
    EXPECT_EQ(std::memcmp(record->future, zeros, sizeof zeros), 0);
}

TEST_F(Dispatcher, FlagSetters) {
    struct Row {
        void (*set)(PlainEffect&, bool);
        VstInt32 bit;
    };
    const Row rows[] = {
        {[](PlainEffect& e, bool s) { e.canDoubleReplacing(s); }, effFlagsCanDoubleReplacing},
        {[](PlainEffect& e, bool s) { e.programsAreChunks(s); }, effFlagsProgramChunks},
        {[](PlainEffect& e, bool s) { e.__hasVuDeprecated(s); }, effFlagsHasVu},
        {[](PlainEffect& e, bool s) { e.__hasClipDeprecated(s); }, effFlagsHasClip},
        {[](PlainEffect& e, bool s) { e.__canMonoDeprecated(s); }, effFlagsCanMono},
        {[](PlainEffect& e, bool s) { e.isSynth(s); }, effFlagsIsSynth},
        {[](PlainEffect& e, bool s) { e.noTail(s); }, effFlagsNoSoundInStop},
        {[](PlainEffect& e, bool s) { e.__wantAsyncOperationDeprecated(s); }, effFlagsExtIsAsync},
        {[](PlainEffect& e, bool s) { e.__hasExternalBufferDeprecated(s); }, effFlagsExtHasBuffer},
    };
    for (const auto& row : rows) {
        row.set(*effect, true);
        EXPECT_EQ(record->flags, effFlagsCanReplacing | row.bit) << row.bit;
        row.set(*effect, false);
        EXPECT_EQ(record->flags, effFlagsCanReplacing) << row.bit;
    }
    effect->isSynth(true);
    EXPECT_EQ(dispatch(effGetPlugCategory), 2);
}

TEST_F(Dispatcher, AnswersOfTheDefaults) {
    struct Row {
        VstInt32 opcode;
        VstInt32 index;
        VstIntPtr value;
        VstIntPtr answer;
    };
    const Row rows[] = {
        {effGetVstVersion, 0, 0, 2400},
        {effCanBeAutomated, 0, 0, 1},
        {effCanBeAutomated, 1000, 0, 1},
        {effGetTailSize, 0, 0, 0},
        {effGetParameterProperties, 0, 0, 0},
        {effGetEffectName, 0, 0, 0},
        {effString2Parameter, 0, 0, 0},
        {effSetBypass, 0, 1, 0},
        {effSetProcessPrecision, 0, 1, 0},
        {effGetCurrentMidiProgram, 0, 0, -1},
        {effSetTotalSampleToProcess, 0, 512, 512},
        {effSetTotalSampleToProcess, 0, -3, -3},
        {effIdentify, 0, 0, 0x4E764566},
        {effGetVu, 0, 0, 0},
        {80, 0, 0, 0},
        {1000, 0, 0, 0},
        {-1, 0, 0, 0},
        {effGetPlugCategory, 0, 0, 0},
        {effGetVendorVersion, 0, 0, 0},
        {effGetProgram, 0, 0, 0},
        {effGetChunk, 0, 0, 0},
        {effSetChunk, 1, 16, 0},
        {effEditGetRect, 0, 0, 0},
        {effEditOpen, 0, 0, 0},
        {effEditKeyDown, 65, 0, 0},
        {effSetEditKnobMode, 0, 2, 0},
        {effGetNumMidiInputChannels, 0, 0, 0},
        {effStartProcess, 0, 0, 0},
        {effGetProgramNameIndexed, 0, 0, 0},
        {effGetInputProperties, 0, 0, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(dispatch(row.opcode, row.index, row.value), row.answer) << row.opcode;
    // Deprecated numbers inside the extended range answer 0.
    for (VstInt32 opcode : {28, 30, 31, 32, 36, 37, 43, 46, 53, 54, 55, 57})
        EXPECT_EQ(dispatch(opcode, 1, 1), 0) << opcode;
    EXPECT_TRUE(RecordingHost::calls.empty()) << "no default calls the host";
}

TEST_F(Dispatcher, CanDoKnowsNoCapability) {
    for (const char* text : PlugCanDos)
        EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>(text)), 0) << text;
    EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>("")), 0);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(Dispatcher, SpeakerArrangementQueryStoresNulls) {
    VstSpeakerArrangement dummy{};
    VstSpeakerArrangement* inputs = &dummy;
    VstSpeakerArrangement* outputs = &dummy;
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&inputs), &outputs),
              0);
    EXPECT_EQ(inputs, nullptr);
    EXPECT_EQ(outputs, nullptr);
    EXPECT_EQ(dispatch(effGetSpeakerArrangement), 0) << "null pointers are not written";
}

TEST_F(Dispatcher, ProgramSelectionIsRangeChecked) {
    const VstIntPtr refused[] = {7, 8, -1, -7, static_cast<VstIntPtr>(1) << 40};
    for (VstIntPtr value : refused) dispatch(effSetProgram, 0, value);
    EXPECT_TRUE(effect->programCalls.empty());
    dispatch(effSetProgram, 0, 6);
    ASSERT_EQ(effect->programCalls.size(), 1u);
    EXPECT_EQ(dispatch(effGetProgram), 6);
}

TEST_F(Dispatcher, MainsSampleRateBlockSize) {
    dispatch(effMainsChanged, 0, 5);
    dispatch(effMainsChanged, 0, 0);
    EXPECT_EQ(effect->resumes, 1);
    EXPECT_EQ(effect->suspends, 1);
    dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f);
    dispatch(effSetBlockSize, 0, 256);
    EXPECT_EQ(effect->getSampleRate(), 96000.0f);
    EXPECT_EQ(effect->getBlockSize(), 256);
}

TEST_F(Dispatcher, TextDefaultsWriteEmptyStrings) {
    for (VstInt32 opcode :
         {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName}) {
        char text[8] = "garbage";
        EXPECT_EQ(dispatch(opcode, 0, 0, text), 0);
        EXPECT_STREQ(text, "") << opcode;
        EXPECT_EQ(dispatch(opcode, 0, 0, nullptr), 0) << "a null buffer is not written";
    }
}

TEST_F(Dispatcher, DeprecatedProcessLeavesOutputsAlone) {
    float in[4] = {1, 2, 3, 4};
    float out[4] = {9, 9, 9, 9};
    float* ins[] = {in};
    float* outs[] = {out};
    record->process(record, ins, outs, 4);
    for (float v : out) EXPECT_EQ(v, 9.0f);
    double din[2] = {1, 2}, dout[2] = {7, 7};
    double* dins[] = {din};
    double* douts[] = {dout};
    record->processDoubleReplacing(record, dins, douts, 2);
    EXPECT_EQ(dout[0], 7.0);
    EXPECT_EQ(record->getParameter(record, 3), 0.0f);
}

TEST_F(Dispatcher, CloseThroughTheRecordDestroysTheInstance) {
    ASSERT_EQ(PlainEffect::alive, 1);
    EXPECT_EQ(dispatch(effClose), 1);
    record = nullptr;
    EXPECT_EQ(PlainEffect::alive, 0);
}

TEST_F(Dispatcher, CloseThroughTheVirtualDispatcherAnswersZero) {
    EXPECT_EQ(effect->dispatcher(effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(PlainEffect::alive, 1);
}

// An editor that records what the dispatcher hands it.
class ProbeEditor : public AEffEditor {
public:
    explicit ProbeEditor(AudioEffect* e) : AEffEditor(e) {}
    ~ProbeEditor() override { ++destroyed; }
    bool onKeyDown(VstKeyCode& key) override {
        last = key;
        return answer;
    }
    bool onKeyUp(VstKeyCode& key) override {
        last = key;
        return answer;
    }
    bool setKnobMode(VstInt32 mode) override {
        knob = mode;
        return true;
    }
    void idle() override { ++idles; }
    VstKeyCode last{};
    bool answer = true;
    VstInt32 knob = -1;
    int idles = 0;
    static inline int destroyed = 0;
};

TEST_F(Dispatcher, EditorOpcodesReachTheEditor) {
    auto* editor = new ProbeEditor(effect);
    effect->setEditor(editor);
    EXPECT_EQ(record->flags & effFlagsHasEditor, effFlagsHasEditor);

    EXPECT_EQ(dispatch(effEditKeyDown, 65, 0x1FF, nullptr, 3.7f), 1);
    EXPECT_EQ(editor->last.character, 65);
    EXPECT_EQ(editor->last.virt, 0xFF);
    EXPECT_EQ(editor->last.modifier, 3);
    editor->answer = false;
    EXPECT_EQ(dispatch(effEditKeyUp, 66, 2, nullptr, 0.0f), 0);
    EXPECT_EQ(editor->last.character, 66);

    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(editor->knob, 2);
    dispatch(effEditIdle);
    EXPECT_EQ(editor->idles, 1);
    // AEffEditor's own defaults: no rectangle, open answers 0 but keeps the window.
    ERect* rect = reinterpret_cast<ERect*>(1);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    int window = 0;
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, &window), 0);
    EXPECT_TRUE(editor->isOpen());
    EXPECT_EQ(dispatch(effEditClose), 0);
    EXPECT_FALSE(editor->isOpen());

    ProbeEditor::destroyed = 0;
    dispatch(effClose);
    record = nullptr;
    EXPECT_EQ(ProbeEditor::destroyed, 1) << "the effect deletes its editor";
}

TEST_F(Dispatcher, SetEditorNullClearsTheFlag) {
    auto* editor = new ProbeEditor(effect);
    effect->setEditor(editor);
    effect->setEditor(nullptr);
    EXPECT_EQ(record->flags & effFlagsHasEditor, 0);
    delete editor;
}

TEST_F(Dispatcher, ArrangementHelpers) {
    VstSpeakerArrangement* arrangement = nullptr;
    ASSERT_TRUE(effect->allocateArrangement(&arrangement, 5));
    EXPECT_EQ(arrangement->numChannels, 5);
    EXPECT_EQ(arrangement->speakers[4].azimuth, 0.0f);
    std::strcpy(arrangement->speakers[1].name, "Left");
    arrangement->speakers[1].azimuth = 1.5f;
    arrangement->type = 7;

    VstSpeakerArrangement* copy = nullptr;
    ASSERT_TRUE(effect->matchArrangement(&copy, arrangement));
    EXPECT_EQ(copy->type, 7);
    EXPECT_EQ(copy->numChannels, 5);
    EXPECT_STREQ(copy->speakers[1].name, "Left");
    EXPECT_EQ(copy->speakers[1].azimuth, 1.5f);
    EXPECT_FALSE(effect->matchArrangement(&copy, nullptr));

    VstSpeakerProperties from{}, to{};
    std::memset(from.name, 'n', sizeof from.name); // unterminated
    EXPECT_TRUE(effect->copySpeaker(&to, &from));
    EXPECT_EQ(std::strlen(to.name), 63u);
    EXPECT_FALSE(effect->copySpeaker(nullptr, &from));

    EXPECT_TRUE(effect->deallocateArrangement(&arrangement));
    EXPECT_EQ(arrangement, nullptr);
    EXPECT_TRUE(effect->deallocateArrangement(&copy));
}

} // namespace
