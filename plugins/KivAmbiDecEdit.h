// SPDX-License-Identifier: GPL-3.0-or-later
// The class each bundle instantiates: the bundle's effect class (Effect) with its editor
// window (Editor) attached, the vendor and product texts and the vendor version of the
// product description, and category 0. Every parameter change reaches the editor after the
// effect. Threads as the effect class.
#pragma once

#include "host/HostText.h"
#include "host/VstOpcodes.h"
#include "plugins/KivDecoderShell.h"
#include "product/NormalisedValue.h"

// Editor is the bundle's editor window class (KivAmbiEditorJex).
template <class Effect, class Editor> class KivAmbiDecEdit : public Effect {
public:
    explicit KivAmbiDecEdit(audioMasterCallback audioMaster) : Effect(audioMaster) {
        // The editor registers itself with setEditor, which flags the record.
        gui = new Editor(this);
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
        copyHostText(text, this->getProduct().vendor, kHostTextChars);
        return true;
    }
    bool getProductString(char* text) override {
        copyHostText(text, this->getProduct().productString, kHostTextChars);
        return true;
    }
    VstInt32 getVendorVersion() override { return this->getProduct().vendorVersion; }
    VstInt32 getPlugCategory() override { return 0; } // kPlugCategUnknown

    // Our own request: the editor window drawn offscreen into the PNG file named by ptr.
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override {
        if (index == kKivSnapshot && ptr && gui)
            return gui->writeSnapshot(static_cast<const char*>(ptr)) ? 1 : 0;
        return Effect::vendorSpecific(index, value, ptr, opt);
    }

private:
    Editor* gui = nullptr; // owned by the effect base (deleted in its destructor)
};
