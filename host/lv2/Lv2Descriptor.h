// SPDX-License-Identifier: GPL-3.0-or-later
// The descriptor of a decoder bundle: the callbacks every decoder shares around
// Lv2Decoder, and the bundle's own URI and instantiate (which names its product).
#pragma once

#include <lv2/core/lv2.h>

#include "product/ProductDescription.h"

namespace kiv::lv2 {

using InstantiateFunction = LV2_Handle (*)(const LV2_Descriptor*, double rate, const char* bundle,
                                           const LV2_Feature* const* features);

// A descriptor with the shared callbacks; uri must outlive it (the product's URI).
LV2_Descriptor decoderDescriptor(const char* uri, InstantiateFunction instantiate);

// What a bundle's instantiate calls: a new Lv2Decoder of the product, or null.
LV2_Handle instantiateDecoder(const ProductDescription& product, double rate,
                              const LV2_Feature* const* features);

} // namespace kiv::lv2
