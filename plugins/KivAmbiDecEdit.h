// The class each bundle instantiates: the bundle's effect class (Effect) with the editor
// attached, the vendor and product texts, vendor version 1000 and category 0. Every
// parameter change reaches the editor after the effect. Effect names its product string
// in Effect::kProductString. Threads as the effect class.
#pragma once

#include "host/HostText.h"
#include "plugins/KivDecoderShell.h"
#include "plugins/KivEditorPlaceholder.h"
#include "plugins/NormalisedValue.h"

// The editor every instance attaches.
using KivAmbiDecEditor = KivEditorPlaceholder;

template <class Effect> class KivAmbiDecEdit : public Effect {
public:
    static constexpr VstInt32 kVendorVersion = 1000;

    explicit KivAmbiDecEdit(audioMasterCallback audioMaster) : Effect(audioMaster) {
        // The editor registers itself with setEditor, which flags the record.
        gui = new KivAmbiDecEditor(this);
        this->editor = gui;
        Effect::resume();
    }
    ~KivAmbiDecEdit() override = default;

    void setParameter(VstInt32 index, float value) override {
        float normalised = 0.0f;
        if (static_cast<std::uint32_t>(index) >= static_cast<std::uint32_t>(Effect::kNumParams) ||
            !normalisedValue(value, normalised))
            return;
        Effect::setParameter(index, normalised);
        // The base destructor deletes the editor last, so it is there while this lives.
        if (this->editor == gui && gui) gui->setParameter(index, normalised);
    }

    bool getVendorString(char* text) override {
        copyHostText(text, kVendorString, kHostTextChars);
        return true;
    }
    bool getProductString(char* text) override {
        copyHostText(text, Effect::kProductString, kHostTextChars);
        return true;
    }
    VstInt32 getVendorVersion() override { return kVendorVersion; }
    VstInt32 getPlugCategory() override { return 0; } // kPlugCategUnknown

private:
    AEffGUIEditor* gui = nullptr; // owned by the effect base (deleted in its destructor)
};
