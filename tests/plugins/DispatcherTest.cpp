// SPDX-License-Identifier: GPL-3.0-or-later
// The dispatcher's answers through the record of each plug-in.
#include "PluginBundles.h"

namespace {

class Dispatcher : public PluginTest {};

TEST_P(Dispatcher, FixedAnswers) {
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
        {effString2Parameter, 0, 0, 0},
        {effSetBypass, 0, 1, 0},
        {effSetProcessPrecision, 0, 1, 0},
        {effGetCurrentMidiProgram, 0, 0, -1},
        {effSetTotalSampleToProcess, 0, 512, 512},
        {effIdentify, 0, 0, 0x4E764566},
        {effGetVu, 0, 0, 0},
        {80, 0, 0, 0},
        {1000, 0, 0, 0},
        {effGetPlugCategory, 0, 0, 0},
        {effGetVendorVersion, 0, 0, 1000},
        {effGetChunk, 0, 0, 0},
        {effProcessEvents, 0, 0, 0},
        {effGetNumMidiInputChannels, 0, 0, 0},
        {effGetNumMidiOutputChannels, 0, 0, 0},
        {effStartProcess, 0, 0, 0},
        {effStopProcess, 0, 0, 0},
        {effBeginSetProgram, 0, 0, 0},
        {effShellGetNextPlugin, 0, 0, 0},
    };
    for (const auto& row : rows)
        EXPECT_EQ(dispatch(row.opcode, row.index, row.value), row.answer) << row.opcode;
}

TEST_P(Dispatcher, CanDoAndEffectName) {
    for (const char* text : {"bypass", "receiveVstTimeInfo", "receiveVstMidiEvent", ""})
        EXPECT_EQ(dispatch(effCanDo, 0, 0, const_cast<char*>(text)), 0) << text;
    char name[64] = "untouched";
    EXPECT_EQ(dispatch(effGetEffectName, 0, 0, name), 0);
    EXPECT_STREQ(name, "untouched");
}

TEST_P(Dispatcher, SpeakerArrangementStoresNulls) {
    VstSpeakerArrangement dummy{};
    VstSpeakerArrangement* inputs = &dummy;
    VstSpeakerArrangement* outputs = &dummy;
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&inputs), &outputs),
              0);
    EXPECT_EQ(inputs, nullptr);
    EXPECT_EQ(outputs, nullptr);
}

TEST_P(Dispatcher, ProgramSelection) {
    dispatch(effSetProgram, 0, 7);
    EXPECT_EQ(dispatch(effGetProgram), 0);
    dispatch(effSetProgram, 0, 6);
    EXPECT_EQ(dispatch(effGetProgram), 6);
    EXPECT_EQ(plugin->programName(), facts().programNames[6]);
}

TEST_P(Dispatcher, EditorBeforeAnyOpen) {
    ERect rect{};
    ASSERT_TRUE(plugin->editorRect(rect));
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.bottom, 260);
    EXPECT_EQ(rect.right, 560);
    EXPECT_EQ(dispatch(effEditIdle), 0);
    EXPECT_EQ(dispatch(effEditKeyDown, 65, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(dispatch(effEditKeyUp, 65, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(dispatch(effEditClose), 0);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(dispatch(effSetEditKnobMode, 0, 0), 1);
    // The rectangle stays valid after an open and a close.
    ASSERT_TRUE(plugin->editorRect(rect));
    EXPECT_EQ(rect.right, 560);
}

TEST_P(Dispatcher, MainsAndRatesAnswerZero) {
    EXPECT_EQ(dispatch(effOpen), 0);
    EXPECT_EQ(dispatch(effSetSampleRate, 0, 0, nullptr, 96000.0f), 0);
    EXPECT_EQ(dispatch(effSetBlockSize, 0, 128), 0);
    EXPECT_EQ(dispatch(effMainsChanged, 0, 5), 0);
    EXPECT_EQ(dispatch(effMainsChanged, 0, 0), 0);
}

TEST_P(Dispatcher, NothingReachesTheHostButTheVersionQuery) {
    plugin->start(48000.0f, 512);
    for (VstInt32 opcode = 0; opcode < 80; ++opcode) {
        // Closing, opening a window and the rate and size requests (which would take 0)
        // have tests of their own.
        if (opcode == effClose || opcode == effEditOpen || opcode == effSetSampleRate ||
            opcode == effSetBlockSize)
            continue;
        char buffer[256] = {};
        // Calls whose ptr is a buffer of the host's: text, pins, and pointer slots.
        dispatch(opcode, 0, 0, buffer, 0.0f);
    }
    const auto calls = plugin->hostCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
}

KIV_BOTH_BUNDLES(Dispatcher);

} // namespace
