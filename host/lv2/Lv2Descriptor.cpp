// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/lv2/Lv2Descriptor.h"

#include <new>

#include "host/lv2/Lv2Decoder.h"

namespace kiv::lv2 {

namespace {

Lv2Decoder* decoderOf(LV2_Handle handle) {
    return static_cast<Lv2Decoder*>(handle);
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    decoderOf(handle)->connectPort(port, data);
}

void activate(LV2_Handle handle) {
    decoderOf(handle)->activate();
}

void run(LV2_Handle handle, uint32_t frames) {
    decoderOf(handle)->run(frames);
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle handle) {
    delete decoderOf(handle);
}

const void* extensionData(const char*) {
    return nullptr;
}

} // namespace

LV2_Descriptor decoderDescriptor(const char* uri, InstantiateFunction instantiate) {
    return LV2_Descriptor{uri, instantiate, connectPort, activate,
                          run, deactivate,  cleanup,     extensionData};
}

LV2_Handle instantiateDecoder(const ProductDescription& product, double rate,
                              const LV2_Feature* const* features) {
    // A host must not be brought down by an allocation that fails here.
    try {
        return Lv2Decoder::create(product, rate, features).release();
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace kiv::lv2
