// SPDX-License-Identifier: GPL-3.0-or-later
// RegularDecoder's LV2 entry point.
#include "host/lv2/Lv2Descriptor.h"

namespace {

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
    return kiv::lv2::instantiateDecoder(kRegularDecoderProduct, rate, features);
}

const LV2_Descriptor kDescriptor =
    kiv::lv2::decoderDescriptor(kRegularDecoderProduct.uri, instantiate);

} // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
