// SPDX-License-Identifier: GPL-3.0-or-later
// The converter as an LV2 plug-in on the core C interface: ports in0..in3, out0..out3 and
// the control `direction` (0 AmbiX to FuMa, 1 FuMa to AmbiX), in that index order. The
// control value passes the same guard as the VST parameter: NaN is ignored (the direction
// stays), anything else is clamped to 0..1 and read from one half on as FuMa to AmbiX.
//
// Threads: run on the audio thread; instantiate, cleanup on the host's thread of its
// choice, never at the same time as run (the LV2 threading classes).
#include <lv2/core/lv2.h>

#include <new>

#include "engine/BFormatConversion.h"
#include "product/ConverterLv2Ports.h"
#include "product/ConverterProduct.h"
#include "product/NormalisedValue.h"

namespace {

struct Converter {
    const float* inputs[kConverterChannels] = {};
    float* outputs[kConverterChannels] = {};
    const float* direction = nullptr;
    BFormatDirection current = kBFormatConverterProduct.directions[0].direction;
};

LV2_Handle instantiate(const LV2_Descriptor*, double, const char*, const LV2_Feature* const*) {
    return new (std::nothrow) Converter;
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    auto* converter = static_cast<Converter*>(handle);
    if (port < kLv2FirstOutputPort)
        converter->inputs[port - kLv2FirstInputPort] = static_cast<const float*>(data);
    else if (port < kLv2DirectionPort)
        converter->outputs[port - kLv2FirstOutputPort] = static_cast<float*>(data);
    else if (port == kLv2DirectionPort)
        converter->direction = static_cast<const float*>(data);
}

void activate(LV2_Handle) {}

void run(LV2_Handle handle, uint32_t frames) {
    auto* converter = static_cast<Converter*>(handle);
    float normalised = 0.0f;
    if (converter->direction && normalisedValue(*converter->direction, normalised))
        converter->current = directionFromNormalised(normalised);
    for (int c = 0; c < kConverterChannels; ++c)
        if (!converter->inputs[c] || !converter->outputs[c]) return; // not connected yet
    convertBFormat(converter->current, converter->inputs, converter->outputs,
                   static_cast<long>(frames));
}

void deactivate(LV2_Handle) {}

void cleanup(LV2_Handle handle) {
    delete static_cast<Converter*>(handle);
}

const void* extensionData(const char*) {
    return nullptr;
}

const LV2_Descriptor kDescriptor = {
    kBFormatConverterProduct.uri,
    instantiate,
    connectPort,
    activate,
    run,
    deactivate,
    cleanup,
    extensionData,
};

} // namespace

extern "C" __attribute__((visibility("default"))) const LV2_Descriptor*
lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
