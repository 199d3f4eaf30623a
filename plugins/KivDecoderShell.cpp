// SPDX-License-Identifier: GPL-3.0-or-later
#include "plugins/KivDecoderShell.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/HostText.h"
#include "product/NormalisedValue.h"
#include "product/OutputPinNames.h"

namespace {

// The interface's parameter display text: 8 characters and the terminator.
constexpr int kDisplayBytes = 9;

bool validIndex(VstInt32 index, VstInt32 count) {
    return static_cast<std::uint32_t>(index) < static_cast<std::uint32_t>(count);
}

} // namespace

template <typename Value>
KivDecoderShell<Value>::KivDecoderShell(audioMasterCallback audioMaster,
                                        const ProductDescription& product)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams), product(product),
      decList(product.decList) {
    setNumInputs(product.numInputs);
    setNumOutputs(product.numOutputs);
    canProcessReplacing(true);
    setUniqueID(product.uniqueID);
    // The sample rate arrives with the host's first effSetSampleRate.
    engine = new KivAmbisonicDecoder(kDecListSize, decList, product.numInputs, product.numOutputs,
                                     blockSize);
    programs = new DecProgram<Value>[kNumPrograms];
    static_assert(kNumPrograms == kNumFactoryPrograms);
    for (int i = 0; i < kNumPrograms; ++i) {
        const FactoryProgram& factory = product.programs[i];
        for (int k = 0; k < kNumParams; ++k) programs[i].values[k] = factory.values[k];
        // The record holds 23 characters: a longer factory name is seen by its beginning.
        copyHostText(programs[i].name, factory.name, DecProgram<Value>::kNameBytes - 1);
    }
    setProgram(0);
}

template <typename Value> KivDecoderShell<Value>::~KivDecoderShell() {
    delete engine;
    delete[] programs;
}

template <typename Value> void KivDecoderShell<Value>::resume() {
    engine->resume();
}

template <typename Value> void KivDecoderShell<Value>::setSampleRate(float rate) {
    // Zero, negative, infinite or NaN is no rate: it would make every filter NaN for good.
    // Such a request is ignored and the rate stays what it was.
    if (!(rate > 0.0f) || !std::isfinite(rate)) return;
    sampleRate = rate;
    engine->setFS(rate);
}

template <typename Value> void KivDecoderShell<Value>::setBlockSize(VstInt32 n) {
    blockSize = n;
    engine->setBlockSize(n);
}

template <typename Value>
void KivDecoderShell<Value>::processReplacing(float** inputs, float** outputs,
                                              VstInt32 sampleFrames) {
    engine->processReplacing(inputs, outputs, sampleFrames);
}

template <typename Value> void KivDecoderShell<Value>::setParameter(VstInt32 index, float value) {
    float normalised = 0.0f;
    if (!validIndex(index, kNumParams) || !normalisedValue(value, normalised)) return;
    const ParameterRow& row = kParameters[index];
    programs[curProgram].values[index] = static_cast<Value>(normalised);
    (engine->*row.set)(normalised);
}

template <typename Value> float KivDecoderShell<Value>::getParameter(VstInt32 index) {
    if (!validIndex(index, kNumParams)) return 0.0f;
    const ParameterRow& row = kParameters[index];
    return (engine->*row.get)();
}

template <typename Value> void KivDecoderShell<Value>::setProgram(VstInt32 program) {
    // The dispatcher filters the program number already; a direct caller is held to it too.
    if (!validIndex(program, kNumPrograms)) return;
    curProgram = program;
    for (VstInt32 k = 0; k < kNumParams; ++k)
        setParameter(k, static_cast<float>(programs[program].values[k]));
}

template <typename Value> void KivDecoderShell<Value>::setProgramName(char* name) {
    if (name) copyHostText(programs[curProgram].name, name, DecProgram<Value>::kNameBytes - 1);
}

template <typename Value> void KivDecoderShell<Value>::getProgramName(char* name) {
    const char* stored = programs[curProgram].name;
    if (std::strcmp(stored, "Init") == 0) {
        // The stored name is "Init": "Init <program number from 1>".
        char numbered[24];
        std::snprintf(numbered, sizeof numbered, "Init %d", static_cast<int>(curProgram + 1));
        copyHostText(name, numbered, kHostProgramNameChars);
    } else {
        copyHostText(name, stored, kHostProgramNameChars);
    }
}

template <typename Value>
void KivDecoderShell<Value>::getParameterLabel(VstInt32 index, char* label) {
    if (validIndex(index, kNumParams))
        copyHostText(label, kParameters[index].label, kHostTextChars);
}

template <typename Value>
void KivDecoderShell<Value>::getParameterDisplay(VstInt32 index, char* text) {
    if (!validIndex(index, kNumParams) || !text) return;
    const ParameterRow& row = kParameters[index];
    if (row.display == ParameterDisplay::Text) {
        copyHostText(text, (engine->*row.displayText)(), kHostTextChars);
        return;
    }
    // Rounded as the editor shows it; the host takes the unit from the label.
    formatParameterNumber(row, (engine->*row.displayValue)(), text, kDisplayBytes);
}

template <typename Value>
void KivDecoderShell<Value>::getParameterName(VstInt32 index, char* text) {
    if (validIndex(index, kNumParams)) copyHostText(text, kParameters[index].name, kHostTextChars);
}

template <typename Value>
bool KivDecoderShell<Value>::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    if (!validIndex(index, kNumPrograms) || !text) return false;
    copyHostText(text, programs[index].name, kHostProgramNameChars);
    return true;
}

template <typename Value>
bool KivDecoderShell<Value>::getInputProperties(VstInt32 index, VstPinProperties* properties) {
    if (!properties || !validIndex(index, cEffect.numInputs)) return false;
    copyHostText(properties->label, product.inputs[index].name, kHostPinLabelChars);
    properties->flags = kVstPinIsActive;
    return true;
}

template <typename Value>
bool KivDecoderShell<Value>::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
    if (!properties) return false;
    // The names follow the decoder in use; past the table the host's label stays.
    if (const char* label = outputPinLabel(decList[engine->dec], index))
        copyHostText(properties->label, label, kHostPinLabelChars);
    properties->flags = kVstPinIsActive;
    return true;
}

template <typename Value> bool KivDecoderShell<Value>::getVendorString(char* text) {
    copyHostText(text, product.vendor, kHostTextChars);
    return true;
}

template class KivDecoderShell<float>;
template class KivDecoderShell<double>;
