// SPDX-License-Identifier: GPL-3.0-or-later
// An effect that answers the host's questions about itself (effect name, vendor, product and
// vendor version) from its product description: any record with name, vendor,
// productString and vendorVersion.
#pragma once

#include "host/AudioEffectX.h"
#include "host/HostText.h"

template <class Product> class ProductTextEffect : public AudioEffectX {
public:
    ProductTextEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams,
                      const Product& description)
        : AudioEffectX(audioMaster, numPrograms, numParams), description_(description) {}

    bool getEffectName(char* name) override {
        copyHostText(name, description_.name, kHostTextChars);
        return true;
    }
    bool getVendorString(char* text) override {
        copyHostText(text, description_.vendor, kHostTextChars);
        return true;
    }
    bool getProductString(char* text) override {
        copyHostText(text, description_.productString, kHostTextChars);
        return true;
    }
    VstInt32 getVendorVersion() override { return description_.vendorVersion; }

private:
    const Product& description_;
};
