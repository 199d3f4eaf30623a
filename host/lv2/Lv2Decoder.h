// SPDX-License-Identifier: GPL-3.0-or-later
// One product's decoder as an LV2 plug-in instance: the engine built from the product
// description, audio ports handed to processReplacing, and control ports in physical units
// that reach the engine through the same normalised values and the same guard as the VST
// face's setParameter.
//
// Port indices: audio inputs, audio outputs, the seven controls in parameter order, then
// the decoder-in-use output (the engine's slot, written once per run).
// Threads: run on the audio thread; everything else in the host's instantiation class.
#pragma once

#include <cstdint>
#include <memory>

#include "engine/KivAmbisonicDecoder.h"
#include "product/ParameterTable.h"
#include "product/ProductDescription.h"

#include <lv2/core/lv2.h>

namespace kiv::lv2 {

class Lv2Decoder {
public:
    // The engine at the given rate with program 0 applied and work buffers for the host's
    // longest block (BlockLength.h). Null when the rate is not a positive finite number.
    static std::unique_ptr<Lv2Decoder> create(const ProductDescription& product, double rate,
                                              const LV2_Feature* const* features);

    Lv2Decoder(const Lv2Decoder&) = delete;
    Lv2Decoder& operator=(const Lv2Decoder&) = delete;

    void connectPort(std::uint32_t port, void* data);
    // The engine's resume; the first run after it applies the controls and then snaps the
    // smoothers again, so a host's initial values start without a glide from program 0.
    void activate();
    // Controls that changed since the last run go to the engine, then the block is
    // decoded. No allocation, lock or system call.
    void run(std::uint32_t frames);

    const KivAmbisonicDecoder& engine() const { return *engine_; }
    // The index of the decoder-in-use output control.
    static std::uint32_t decoderInUsePort(const ProductDescription& product) {
        return static_cast<std::uint32_t>(product.numInputs + product.numOutputs + kNumParameters);
    }
    int blockLength() const { return blockLength_; }

private:
    Lv2Decoder(const ProductDescription& product, float rate, int blockLength);
    void applyControls();

    const ProductDescription& product_;
    std::unique_ptr<KivAmbisonicDecoder> engine_;
    int blockLength_;
    float* inputs_[KivAmbisonicDecoder::kMaxInputs] = {};
    float* outputs_[KivAmbisonicDecoder::kMaxOutputs] = {};
    const float* controls_[kNumParameters] = {};
    float* decoderInUse_ = nullptr;
    // The last value read from each control port, compared bit for bit (a NaN repeats).
    std::uint32_t applied_[kNumParameters] = {};
    bool haveApplied_[kNumParameters] = {};
    bool snapOnRun_ = false;
};

} // namespace kiv::lv2
