// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/AudioEffect.h"

#include <cstring>

#include "host/AEffEditor.h"
#include "host/Conversions.h"
#include "host/HostText.h"

namespace {

constexpr VstInt32 fourChars(char a, char b, char c, char d) {
    return (static_cast<VstInt32>(a) << 24) | (static_cast<VstInt32>(b) << 16) |
           (static_cast<VstInt32>(c) << 8) | static_cast<VstInt32>(d);
}

constexpr VstInt32 kNoEffectId = fourChars('N', 'o', 'E', 'f');
constexpr VstInt32 kIdentifyAnswer = fourChars('N', 'v', 'E', 'f');

AudioEffect* instanceOf(AEffect* e) {
    return static_cast<AudioEffect*>(e->object);
}

// The parameter text opcodes: (opcode, which getter).
struct ParameterTextRow {
    VstInt32 opcode;
    void (AudioEffect::*getter)(VstInt32 index, char* text);
};
constexpr ParameterTextRow kParameterTexts[] = {
    {effGetParamLabel, &AudioEffect::getParameterLabel},
    {effGetParamDisplay, &AudioEffect::getParameterDisplay},
    {effGetParamName, &AudioEffect::getParameterName},
};

} // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : audioMaster(audioMaster), numPrograms(numPrograms), numParams(numParams) {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = &dispatchEffectClass;
    cEffect.process = &__processClassDeprecated;
    cEffect.setParameter = &setParameterClass;
    cEffect.getParameter = &getParameterClass;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = kNoEffectId;
    cEffect.version = 1;
    cEffect.flags = effFlagsCanReplacing;
    cEffect.processReplacing = &processClassReplacing;
    cEffect.processDoubleReplacing = &processClassDoubleReplacing;
}

AudioEffect::~AudioEffect() {
    delete editor;
}

void AudioEffect::setEditor(AEffEditor* newEditor) {
    editor = newEditor;
    setFlag(effFlagsHasEditor, newEditor != nullptr);
}

VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                  float opt) {
    for (const auto& row : kParameterTexts)
        if (row.opcode == opcode) {
            (this->*row.getter)(index, static_cast<char*>(ptr));
            return 0;
        }

    switch (opcode) {
    case effOpen:
        open();
        return 0;
    case effClose:
        close();
        return 0;
    case effSetProgram:
        // Compared as unsigned: a negative program number is refused like one past the end.
        if (static_cast<std::uint64_t>(value) < static_cast<std::uint64_t>(numPrograms))
            setProgram(static_cast<VstInt32>(value));
        return 0;
    case effGetProgram:
        return getProgram();
    case effSetProgramName:
        setProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetProgramName:
        getProgramName(static_cast<char*>(ptr));
        return 0;
    case effSetSampleRate:
        setSampleRate(opt);
        return 0;
    case effSetBlockSize:
        setBlockSize(static_cast<VstInt32>(value));
        return 0;
    case effMainsChanged:
        if (value != 0)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        return editor && editor->getRect(static_cast<ERect**>(ptr)) ? 1 : 0;
    case effEditOpen:
        return editor && editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (editor) editor->close();
        return 0;
    case effEditIdle:
        if (editor) editor->idle();
        return 0;
    case effIdentify:
        return kIdentifyAnswer;
    case effGetChunk:
        return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk:
        return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
    default:
        // Deprecated (effGetVu, effEditDraw, effEditMouse, effEditKey, effEditTop,
        // effEditSleep) and unknown opcodes change nothing.
        return 0;
    }
}

void AudioEffect::processDoubleReplacing(double**, double**, VstInt32) {}
void AudioEffect::setParameter(VstInt32, float) {}
float AudioEffect::getParameter(VstInt32) {
    return 0.0f;
}

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    ask(hostcall::automate, {index, 0, nullptr, value});
}

void AudioEffect::setProgramName(char*) {}
void AudioEffect::getProgramName(char* name) {
    copyHostText(name, "", 0);
}
void AudioEffect::getParameterLabel(VstInt32, char* label) {
    copyHostText(label, "", 0);
}
void AudioEffect::getParameterDisplay(VstInt32, char* text) {
    copyHostText(text, "", 0);
}
void AudioEffect::getParameterName(VstInt32, char* text) {
    copyHostText(text, "", 0);
}
VstInt32 AudioEffect::getChunk(void**, bool) {
    return 0;
}
VstInt32 AudioEffect::setChunk(void*, VstInt32, bool) {
    return 0;
}

VstInt32 AudioEffect::getMasterVersion() {
    return static_cast<VstInt32>(ask(hostcall::version));
}

VstInt32 AudioEffect::getCurrentUniqueId() {
    return static_cast<VstInt32>(ask(hostcall::currentId));
}

void AudioEffect::masterIdle() {
    ask(hostcall::idle);
}

void AudioEffect::dB2string(float value, char* text, VstInt32 maxLen) {
    conversions::dB2string(value, text, maxLen);
}

void AudioEffect::Hz2string(float samples, char* text, VstInt32 maxLen) {
    conversions::Hz2string(sampleRate, samples, text, maxLen);
}

void AudioEffect::ms2string(float samples, char* text, VstInt32 maxLen) {
    conversions::ms2string(sampleRate, samples, text, maxLen);
}

void AudioEffect::float2string(float value, char* text, VstInt32 maxLen) {
    conversions::float2string(value, text, maxLen);
}

void AudioEffect::int2string(VstInt32 value, char* text, VstInt32 maxLen) {
    conversions::int2string(value, text, maxLen);
}

void AudioEffect::__processDeprecated(float**, float**, VstInt32) {}

bool AudioEffect::__isInputConnectedDeprecated(VstInt32 input) {
    return ask(hostcall::pinConnected, {input, 0}) != 0;
}

bool AudioEffect::__isOutputConnectedDeprecated(VstInt32 output) {
    return ask(hostcall::pinConnected, {output, 1}) != 0;
}

// ---- the record's entries ----

VstIntPtr AudioEffect::dispatchEffectClass(AEffect* e, VstInt32 opcode, VstInt32 index,
                                           VstIntPtr value, void* ptr, float opt) {
    AudioEffect* effect = instanceOf(e);
    const VstIntPtr result = effect->dispatcher(opcode, index, value, ptr, opt);
    if (opcode == effClose) {
        // The host lets go of the record here: the instance frees itself.
        delete effect;
        return 1;
    }
    return result;
}

float AudioEffect::getParameterClass(AEffect* e, VstInt32 index) {
    return instanceOf(e)->getParameter(index);
}

void AudioEffect::setParameterClass(AEffect* e, VstInt32 index, float value) {
    instanceOf(e)->setParameter(index, value);
}

void AudioEffect::__processClassDeprecated(AEffect* e, float** inputs, float** outputs,
                                           VstInt32 sampleFrames) {
    instanceOf(e)->__processDeprecated(inputs, outputs, sampleFrames);
}

void AudioEffect::processClassReplacing(AEffect* e, float** inputs, float** outputs,
                                        VstInt32 sampleFrames) {
    instanceOf(e)->processReplacing(inputs, outputs, sampleFrames);
}

void AudioEffect::processClassDoubleReplacing(AEffect* e, double** inputs, double** outputs,
                                              VstInt32 sampleFrames) {
    instanceOf(e)->processDoubleReplacing(inputs, outputs, sampleFrames);
}
