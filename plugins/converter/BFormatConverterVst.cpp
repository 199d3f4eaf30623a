// SPDX-License-Identifier: GPL-3.0-or-later
// The converter as a VST 2.4 effect: four inputs, four outputs, one parameter (the
// direction, normalised: below 0.5 AmbiX to FuMa, from 0.5 on FuMa to AmbiX) and one
// program per direction. Program and pin names follow the direction; there is no editor
// (the host's generic controls show the parameter).
//
// Threads: processReplacing on the audio thread; setParameter on any thread; the rest on the
// host's user-interface thread. The parameter is one 32-bit value that processReplacing
// reads once per block: no lock.
#include <atomic>
#include <cstdint>

#include "engine/BFormatConversion.h"
#include "host/AudioEffectX.h"
#include "host/HostText.h"
#include "host/ProductTextEffect.h"
#include "product/ConverterProduct.h"
#include "product/NormalisedValue.h"

namespace {

bool validIndex(VstInt32 index, VstInt32 count) {
    return static_cast<std::uint32_t>(index) < static_cast<std::uint32_t>(count);
}

class BFormatConverterEffect : public ProductTextEffect<ConverterProduct> {
public:
    explicit BFormatConverterEffect(audioMasterCallback audioMaster)
        : ProductTextEffect(audioMaster, kConverterPrograms, kConverterParameters,
                            kBFormatConverterProduct) {
        setNumInputs(kConverterChannels);
        setNumOutputs(kConverterChannels);
        canProcessReplacing(true);
        noTail(true);
        setUniqueID(product.uniqueID);
    }

    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override {
        if (sampleFrames <= 0 || !inputs || !outputs) return;
        convertBFormat(direction(), inputs, outputs, sampleFrames);
    }

    void setParameter(VstInt32 index, float value) override {
        float normalised = 0.0f;
        if (!validIndex(index, kConverterParameters) || !normalisedValue(value, normalised)) return;
        parameter.store(normalised, std::memory_order_relaxed);
    }
    float getParameter(VstInt32 index) override {
        return validIndex(index, kConverterParameters) ? parameter.load(std::memory_order_relaxed)
                                                       : 0.0f;
    }

    // The program is the direction: choosing one sets the parameter, and the parameter
    // decides which one is current.
    VstInt32 getProgram() override { return static_cast<VstInt32>(direction()); }
    void setProgram(VstInt32 program) override {
        if (validIndex(program, kConverterPrograms))
            setParameter(0, product.directions[program].value);
    }
    // The names say what the programs do: they stay.
    void setProgramName(char*) override {}
    void getProgramName(char* name) override {
        copyHostText(name, describeDirection(direction()).name, kHostProgramNameChars);
    }
    bool getProgramNameIndexed(VstInt32, VstInt32 index, char* text) override {
        if (!validIndex(index, kConverterPrograms) || !text) return false;
        copyHostText(text, product.directions[index].name, kHostProgramNameChars);
        return true;
    }

    void getParameterName(VstInt32 index, char* text) override {
        if (validIndex(index, kConverterParameters))
            copyHostText(text, product.parameterName, kHostTextChars);
    }
    void getParameterLabel(VstInt32 index, char* label) override {
        if (validIndex(index, kConverterParameters)) copyHostText(label, "", kHostTextChars);
    }
    void getParameterDisplay(VstInt32 index, char* text) override {
        if (validIndex(index, kConverterParameters))
            copyHostText(text, describeDirection(direction()).name, kHostTextChars);
    }

    bool getInputProperties(VstInt32 index, VstPinProperties* properties) override {
        if (!properties || !validIndex(index, kConverterChannels)) return false;
        copyHostText(properties->label, describeDirection(direction()).inputPins[index],
                     kHostPinLabelChars);
        properties->flags = kVstPinIsActive;
        return true;
    }
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override {
        if (!properties || !validIndex(index, kConverterChannels)) return false;
        copyHostText(properties->label, describeDirection(direction()).outputPins[index],
                     kHostPinLabelChars);
        properties->flags = kVstPinIsActive;
        return true;
    }

    VstInt32 getPlugCategory() override { return 0; } // kPlugCategUnknown, as the decoders

private:
    BFormatDirection direction() const {
        return directionFromNormalised(parameter.load(std::memory_order_relaxed));
    }

    const ConverterProduct& product = kBFormatConverterProduct;
    std::atomic<float> parameter{kBFormatConverterProduct.directions[0].value};
    static_assert(std::atomic<float>::is_always_lock_free);
};

} // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new BFormatConverterEffect(audioMaster);
}
