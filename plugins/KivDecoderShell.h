// SPDX-License-Identifier: GPL-3.0-or-later
// What the two effect classes have in common: one decoding engine, seven programs, seven
// host parameters that map one to one onto engine settings (ParameterTable.h), audio,
// sample rate, block size and resume handed straight to the engine, and the pin names.
// Value is the bundle's program storage type. The shell is built from the bundle's product
// description: it fills the factory programs from it and applies program 0.
//
// Threads: processReplacing on the audio thread; setParameter on any thread (it writes the
// program record and calls the engine setter in place); everything else on the host's
// user-interface thread.
#pragma once

#include "engine/KivAmbisonicDecoder.h"
#include "host/AudioEffectX.h"
#include "plugins/DecProgram.h"
#include "product/ParameterTable.h"
#include "product/ProductDescription.h"

template <typename Value> class KivDecoderShell : public AudioEffectX {
public:
    static constexpr VstInt32 kNumPrograms = 7;
    static constexpr VstInt32 kNumParams = kNumParameters;

    KivDecoderShell(audioMasterCallback audioMaster, const ProductDescription& product);
    ~KivDecoderShell() override;

    void resume() override;
    void setSampleRate(float sampleRate) override;
    void setBlockSize(VstInt32 blockSize) override;
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    VstInt32 getProgram() override { return curProgram; }
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterName(VstInt32 index, char* text) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;
    bool getInputProperties(VstInt32 index, VstPinProperties* properties) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;
    bool getVendorString(char* text) override;

    const KivAmbisonicDecoder& getEngine() const { return *engine; }
    const ProductDescription& getProduct() const { return product; }

protected:
    DecProgram<Value>* programs = nullptr; // kNumPrograms records
    KivAmbisonicDecoder* engine = nullptr;
    const ProductDescription& product;
    const DecShape* decList;
};

extern template class KivDecoderShell<float>;
extern template class KivDecoderShell<double>;
