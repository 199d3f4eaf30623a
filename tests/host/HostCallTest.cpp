// SPDX-License-Identifier: GPL-3.0-or-later
// Every host call: the opcode and arguments it sends, how the answer becomes its result,
// and its fallback without a host callback.
#include <gtest/gtest.h>

#include <functional>

#include "RecordingHost.h"

namespace {

int token; // an address to pass as ptr
void* const kPtr = &token;

struct HostCallRow {
    const char* name;
    std::function<VstIntPtr(PlainEffect&)> call;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
    VstIntPtr hostAnswer;
    VstIntPtr result;   // with that answer
    VstIntPtr fallback; // without a host callback
};

VstIntPtr asInt(const void* p) {
    return reinterpret_cast<VstIntPtr>(p);
}

const std::vector<HostCallRow>& rows() {
    using E = PlainEffect;
    auto* f = static_cast<VstFileSelect*>(kPtr);
    // clang-format off
    static const std::vector<HostCallRow> table = {
        {"getMasterVersion", [](E& e) -> VstIntPtr { return e.getMasterVersion(); }, audioMasterVersion, 0, 0, nullptr, 0, 0, 1, 1},
        {"getMasterVersion", [](E& e) -> VstIntPtr { return e.getMasterVersion(); }, audioMasterVersion, 0, 0, nullptr, 0, 2400, 2400, 1},
        {"getCurrentUniqueId", [](E& e) -> VstIntPtr { return e.getCurrentUniqueId(); }, audioMasterCurrentId, 0, 0, nullptr, 0, 77, 77, 0},
        {"getTimeInfo", [](E& e) { return asInt(e.getTimeInfo(0x200)); }, audioMasterGetTime, 0, 0x200, nullptr, 0, asInt(kPtr), asInt(kPtr), 0},
        {"sendVstEventsToHost 1", [](E& e) -> VstIntPtr { return e.sendVstEventsToHost(static_cast<VstEvents*>(kPtr)); }, audioMasterProcessEvents, 0, 0, kPtr, 0, 1, 1, 0},
        {"sendVstEventsToHost 2", [](E& e) -> VstIntPtr { return e.sendVstEventsToHost(static_cast<VstEvents*>(kPtr)); }, audioMasterProcessEvents, 0, 0, kPtr, 0, 2, 0, 0},
        {"ioChanged", [](E& e) -> VstIntPtr { return e.ioChanged(); }, audioMasterIOChanged, 0, 0, nullptr, 0, 5, 1, 0},
        {"sizeWindow", [](E& e) -> VstIntPtr { return e.sizeWindow(560, 260); }, audioMasterSizeWindow, 560, 260, nullptr, 0, 1, 1, 0},
        {"getInputLatency", [](E& e) -> VstIntPtr { return e.getInputLatency(); }, audioMasterGetInputLatency, 0, 0, nullptr, 0, 64, 64, 0},
        {"getOutputLatency", [](E& e) -> VstIntPtr { return e.getOutputLatency(); }, audioMasterGetOutputLatency, 0, 0, nullptr, 0, 32, 32, 0},
        {"getCurrentProcessLevel", [](E& e) -> VstIntPtr { return e.getCurrentProcessLevel(); }, audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0, 2, 2, 0},
        {"getAutomationState", [](E& e) -> VstIntPtr { return e.getAutomationState(); }, audioMasterGetAutomationState, 0, 0, nullptr, 0, 3, 3, 0},
        {"offlineStart", [](E& e) -> VstIntPtr { return e.offlineStart(static_cast<VstAudioFile*>(kPtr), 2, 3); }, audioMasterOfflineStart, 3, 2, kPtr, 0, 9, 1, 0},
        {"offlineRead", [](E& e) -> VstIntPtr { return e.offlineRead(static_cast<VstOfflineTask*>(kPtr), 4, true); }, audioMasterOfflineRead, 1, 4, kPtr, 0, 1, 1, 0},
        {"offlineWrite", [](E& e) -> VstIntPtr { return e.offlineWrite(static_cast<VstOfflineTask*>(kPtr), 4); }, audioMasterOfflineWrite, 0, 4, kPtr, 0, 0, 0, 0},
        {"offlineGetCurrentPass", [](E& e) -> VstIntPtr { return e.offlineGetCurrentPass(); }, audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0, 7, 1, 0},
        {"offlineGetCurrentMetaPass", [](E& e) -> VstIntPtr { return e.offlineGetCurrentMetaPass(); }, audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0, 7, 1, 0},
        {"getHostVendorString", [](E& e) -> VstIntPtr { return e.getHostVendorString(static_cast<char*>(kPtr)); }, audioMasterGetVendorString, 0, 0, kPtr, 0, 1, 1, 0},
        {"getHostProductString", [](E& e) -> VstIntPtr { return e.getHostProductString(static_cast<char*>(kPtr)); }, audioMasterGetProductString, 0, 0, kPtr, 0, 0, 0, 0},
        {"getHostVendorVersion", [](E& e) -> VstIntPtr { return e.getHostVendorVersion(); }, audioMasterGetVendorVersion, 0, 0, nullptr, 0, 7300, 7300, 0},
        {"hostVendorSpecific", [](E& e) { return e.hostVendorSpecific(5, 6, kPtr, 0.5f); }, audioMasterVendorSpecific, 5, 6, kPtr, 0.5f, 44, 44, 0},
        {"canHostDo", [](E& e) -> VstIntPtr { return e.canHostDo(static_cast<char*>(kPtr)); }, audioMasterCanDo, 0, 0, kPtr, 0, -1, 1, 0},
        {"getHostLanguage", [](E& e) -> VstIntPtr { return e.getHostLanguage(); }, audioMasterGetLanguage, 0, 0, nullptr, 0, 1, 1, 0},
        {"getDirectory", [](E& e) { return asInt(e.getDirectory()); }, audioMasterGetDirectory, 0, 0, nullptr, 0, asInt(kPtr), asInt(kPtr), 0},
        {"updateDisplay", [](E& e) -> VstIntPtr { return e.updateDisplay(); }, audioMasterUpdateDisplay, 0, 0, nullptr, 0, 1, 1, 0},
        {"beginEdit", [](E& e) -> VstIntPtr { return e.beginEdit(3); }, audioMasterBeginEdit, 3, 0, nullptr, 0, 1, 1, 0},
        {"endEdit", [](E& e) -> VstIntPtr { return e.endEdit(4); }, audioMasterEndEdit, 4, 0, nullptr, 0, 0, 0, 0},
        {"openFileSelector", [f](E& e) -> VstIntPtr { return e.openFileSelector(f); }, audioMasterOpenFileSelector, 0, 0, kPtr, 0, 1, 1, 0},
        {"closeFileSelector", [f](E& e) -> VstIntPtr { return e.closeFileSelector(f); }, audioMasterCloseFileSelector, 0, 0, kPtr, 0, 1, 1, 0},
        {"__isInputConnected", [](E& e) -> VstIntPtr { return e.__isInputConnectedDeprecated(2); }, audioMasterPinConnected, 2, 0, nullptr, 0, 1, 0, 1},
        {"__isOutputConnected", [](E& e) -> VstIntPtr { return e.__isOutputConnectedDeprecated(3); }, audioMasterPinConnected, 3, 1, nullptr, 0, 0, 1, 1},
        {"__tempoAt", [](E& e) -> VstIntPtr { return e.__tempoAtDeprecated(99); }, audioMasterTempoAt, 0, 99, nullptr, 0, 120, 120, 0},
        {"__getNumAutomatableParameters", [](E& e) -> VstIntPtr { return e.__getNumAutomatableParametersDeprecated(); }, audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0, 6, 6, 0},
        {"__getParameterQuantization", [](E& e) -> VstIntPtr { return e.__getParameterQuantizationDeprecated(); }, audioMasterGetParameterQuantization, 0, 0, nullptr, 0, 6, 6, 0},
        {"__needIdle", [](E& e) -> VstIntPtr { return e.__needIdleDeprecated(); }, audioMasterNeedIdle, 0, 0, nullptr, 0, 2, 1, 0},
        {"__getPreviousPlug", [](E& e) { return asInt(e.__getPreviousPlugDeprecated(0)); }, audioMasterGetPreviousPlug, 0, 0, nullptr, 0, asInt(kPtr), asInt(kPtr), 0},
        {"__getNextPlug", [](E& e) { return asInt(e.__getNextPlugDeprecated(0)); }, audioMasterGetNextPlug, 0, 0, nullptr, 0, asInt(kPtr), asInt(kPtr), 0},
        {"__willProcessReplacing", [](E& e) -> VstIntPtr { return e.__willProcessReplacingDeprecated(); }, audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0, 1, 1, 0},
        {"__getOutputSpeakerArrangement", [](E& e) { return asInt(e.__getOutputSpeakerArrangementDeprecated()); }, audioMasterGetOutputSpeakerArrangement, 0, 0, nullptr, 0, asInt(kPtr), asInt(kPtr), 0},
        {"__getInputSpeakerArrangement", [](E& e) { return asInt(e.__getInputSpeakerArrangementDeprecated()); }, audioMasterGetInputSpeakerArrangement, 0, 0, nullptr, 0, asInt(kPtr), asInt(kPtr), 0},
        {"__openWindow", [](E& e) { return asInt(e.__openWindowDeprecated(kPtr)); }, audioMasterOpenWindow, 0, 0, kPtr, 0, asInt(kPtr), asInt(kPtr), 0},
        {"__closeWindow", [](E& e) -> VstIntPtr { return e.__closeWindowDeprecated(kPtr); }, audioMasterCloseWindow, 0, 0, kPtr, 0, 3, 1, 0},
        {"__getChunkFile", [](E& e) -> VstIntPtr { return e.__getChunkFileDeprecated(kPtr); }, audioMasterGetChunkFile, 0, 0, kPtr, 0, 1, 1, 0},
        {"__setOutputSamplerate", [](E& e) -> VstIntPtr { e.__setOutputSamplerateDeprecated(48000.0f); return 0; }, audioMasterSetOutputSampleRate, 0, 0, nullptr, 48000.0f, 0, 0, 0},
        {"__wantEvents", [](E& e) -> VstIntPtr { e.__wantEventsDeprecated(1); return 0; }, audioMasterWantMidi, 0, 1, nullptr, 0, 0, 0, 0},
        {"masterIdle", [](E& e) -> VstIntPtr { e.masterIdle(); return 0; }, audioMasterIdle, 0, 0, nullptr, 0, 0, 0, 0},
    };
    // clang-format on
    return table;
}

TEST(HostCalls, EachSendsItsOpcodeAndArgumentsAndConvertsTheAnswer) {
    for (const auto& row : rows()) {
        RecordingHost::reset();
        RecordingHost::answers[row.opcode] = row.hostAnswer;
        PlainEffect effect;
        EXPECT_EQ(row.call(effect), row.result) << row.name;
        ASSERT_EQ(RecordingHost::calls.size(), 1u) << row.name;
        const RecordedCall& c = RecordingHost::calls[0];
        EXPECT_EQ(c.effect, effect.getAeffect()) << row.name;
        EXPECT_EQ(c.opcode, row.opcode) << row.name;
        EXPECT_EQ(c.index, row.index) << row.name;
        EXPECT_EQ(c.value, row.value) << row.name;
        EXPECT_EQ(c.ptr, row.ptr) << row.name;
        EXPECT_EQ(c.opt, row.opt) << row.name;
    }
}

TEST(HostCalls, WithoutACallbackEachReturnsItsFallback) {
    for (const auto& row : rows()) {
        RecordingHost::reset();
        PlainEffect effect(nullptr);
        EXPECT_EQ(row.call(effect), row.fallback) << row.name;
        EXPECT_TRUE(RecordingHost::calls.empty());
    }
}

TEST(HostCalls, NullSelectorsAndChunkPathsDoNotReachTheHost) {
    RecordingHost::reset();
    RecordingHost::answers[audioMasterOpenFileSelector] = 1;
    PlainEffect effect;
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_FALSE(effect.closeFileSelector(nullptr));
    EXPECT_FALSE(effect.__getChunkFileDeprecated(nullptr));
    EXPECT_TRUE(RecordingHost::calls.empty());
}

TEST(HostCalls, SampleRateAndBlockSizeTakeOnlyPositiveAnswers) {
    struct Row {
        VstIntPtr answer;
        double rate;
        VstInt32 block;
    };
    for (const Row& row :
         {Row{0, 44100.0, 1024}, Row{-5, 44100.0, 1024}, Row{48000, 48000.0, 48000}}) {
        RecordingHost::reset();
        RecordingHost::answers[audioMasterGetSampleRate] = row.answer;
        RecordingHost::answers[audioMasterGetBlockSize] = row.answer;
        PlainEffect effect;
        EXPECT_EQ(effect.updateSampleRate(), row.rate) << row.answer;
        EXPECT_EQ(effect.getSampleRate(), static_cast<float>(row.rate));
        EXPECT_EQ(effect.updateBlockSize(), row.block) << row.answer;
        EXPECT_EQ(RecordingHost::calls[0].opcode, audioMasterGetSampleRate);
        EXPECT_EQ(RecordingHost::calls[1].opcode, audioMasterGetBlockSize);
    }
}

TEST(HostCalls, AutomatedParameterReachesTheEffectBeforeTheHost) {
    RecordingHost::reset();
    PlainEffect effect;
    effect.setParameterAutomated(2, 0.25f);
    ASSERT_EQ(effect.parameterCalls.size(), 1u);
    EXPECT_EQ(effect.parameterCalls[0], std::make_pair(VstInt32{2}, 0.25f));
    EXPECT_EQ(effect.hostCallsAtSetParameter, 0u);
    ASSERT_EQ(RecordingHost::calls.size(), 1u);
    const RecordedCall& c = RecordingHost::calls[0];
    EXPECT_EQ(c.opcode, audioMasterAutomate);
    EXPECT_EQ(c.index, 2);
    EXPECT_EQ(c.value, 0);
    EXPECT_EQ(c.ptr, nullptr);
    EXPECT_EQ(c.opt, 0.25f);
}

TEST(HostCalls, ResumeAsksForEventsOnlyForSynths) {
    RecordingHost::reset();
    PlainEffect effect;
    effect.AudioEffectX::resume();
    EXPECT_TRUE(RecordingHost::calls.empty());
    effect.isSynth(true);
    effect.AudioEffectX::resume();
    ASSERT_EQ(RecordingHost::calls.size(), 1u);
    EXPECT_EQ(RecordingHost::calls[0].opcode, audioMasterWantMidi);
    EXPECT_EQ(RecordingHost::calls[0].value, 1);
}

} // namespace
