// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/validation/Lv2Plugin.h"

#include <dlfcn.h>

#include <cstring>

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>

#include "product/ConverterProduct.h"
#include "product/HeadphoneMonitorProduct.h"
#include "product/LayoutDecoderProduct.h"
#include "product/ProductDescription.h"
#include "tools/lv2ttl/PresetValue.h"

namespace kiv::validation {

std::vector<Lv2BundleUnderTest> lv2BundlesUnderTest() {
    return {
        {"RegularDecoder", KIV_REGULAR_LV2 "/RegularDecoder.so", kRegularDecoderProduct.uri, 4, 8,
         kNumParameters, kNumFactoryPrograms, true, 1},
        {"IrregularDecoder", KIV_IRREGULAR_LV2 "/IrregularDecoder.so", kIrregularDecoderProduct.uri,
         3, 5, kNumParameters, kNumFactoryPrograms, true, 1},
    };
}

std::vector<Lv2BundleUnderTest> allLv2BundlesUnderTest() {
    std::vector<Lv2BundleUnderTest> all = lv2BundlesUnderTest();
    all.push_back({"BFormatConverter", KIV_CONVERTER_LV2 "/BFormatConverter.so",
                   kBFormatConverterProduct.uri, kConverterChannels, kConverterChannels,
                   kConverterParameters, kConverterPrograms, false, 0});
    all.push_back({"LayoutDecoder", KIV_LAYOUT_LV2 "/LayoutDecoder.so", kLayoutDecoderProduct.uri,
                   4, 32, kLayoutDecoderParameters, factoryLayoutCount(), false, 0});
    all.push_back({"HeadphoneMonitor", KIV_HEADPHONE_LV2 "/HeadphoneMonitor.so",
                   kHeadphoneMonitorProduct.uri, 32, 2, kHeadphoneMonitorParameters, 1, false, 1});
    return all;
}

const LV2_Descriptor* lv2Descriptor(const Lv2BundleUnderTest& bundle, std::string& error) {
    void* library = dlopen(bundle.so.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        error = dlerror();
        return nullptr;
    }
    using Entry = const LV2_Descriptor* (*)(uint32_t);
    auto entry = reinterpret_cast<Entry>(dlsym(library, "lv2_descriptor"));
    if (entry == nullptr) {
        error = bundle.so + " exports no lv2_descriptor";
        return nullptr;
    }
    const LV2_Descriptor* d = entry(0);
    if (d == nullptr || bundle.uri != d->URI)
        error = bundle.so + ": descriptor 0 is not " + bundle.uri;
    return error.empty() ? d : nullptr;
}

namespace {

const ProductDescription& productOf(const Lv2BundleUnderTest& bundle) {
    return std::strcmp(bundle.name, "RegularDecoder") == 0 ? kRegularDecoderProduct
                                                           : kIrregularDecoderProduct;
}

} // namespace

namespace {
bool isLayoutDecoder(const Lv2BundleUnderTest& bundle) {
    return std::strcmp(bundle.name, "LayoutDecoder") == 0;
}
} // namespace

float lv2ControlValue(const Lv2BundleUnderTest& bundle, int k, float normalised) {
    if (isLayoutDecoder(bundle)) return ldPhysical(k, normalised);
    if (std::strcmp(bundle.name, "HeadphoneMonitor") == 0) return hmPhysical(k, normalised);
    // The converter's direction runs from 0 to 1: physical and normalised are one.
    if (!bundle.decoder) return normalised;
    bool exact = false;
    return lv2ttl::physicalFor(kParameters[k], normalised, exact);
}

float lv2PresetValue(const Lv2BundleUnderTest& bundle, int p, int k) {
    if (isLayoutDecoder(bundle)) return ldPhysical(k, ldFactoryProgramValues(p)[k]);
    // HeadphoneMonitor has no presets: its one program is the defaults, as the VST's.
    if (std::strcmp(bundle.name, "HeadphoneMonitor") == 0)
        return hmPhysical(k, hmDefaultValues()[k]);
    if (!bundle.decoder) return kBFormatConverterProduct.directions[p].value;
    return lv2ControlValue(bundle, k, productOf(bundle).programs[p].values[k]);
}

LV2_URID Lv2HostFeatures::map(LV2_URID_Map_Handle, const char* uri) {
    constexpr int kMost = 64;
    static const char* uris[kMost];
    static int count = 0;
    for (int i = 0; i < count; ++i)
        if (std::strcmp(uris[i], uri) == 0) return static_cast<LV2_URID>(i + 1);
    if (count == kMost) return 0;
    // The plug-ins ask with string literals of their own binaries, which stay loaded.
    uris[count] = uri;
    return static_cast<LV2_URID>(++count);
}

Lv2HostFeatures::Lv2HostFeatures(int maxBlockLength, const LV2_Feature* extra)
    : maxBlockLength_(maxBlockLength) {
    list_[2] = extra;
    options_[0] = {LV2_OPTIONS_INSTANCE,
                   0,
                   map(nullptr, LV2_BUF_SIZE__maxBlockLength),
                   sizeof(std::int32_t),
                   map(nullptr, LV2_ATOM__Int),
                   &maxBlockLength_};
    options_[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
}

} // namespace kiv::validation
