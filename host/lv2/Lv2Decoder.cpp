// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/lv2/Lv2Decoder.h"

#include <cmath>
#include <cstring>

#include "host/lv2/BlockLength.h"
#include "product/NormalisedValue.h"

namespace kiv::lv2 {

std::unique_ptr<Lv2Decoder> Lv2Decoder::create(const ProductDescription& product, double rate,
                                               const LV2_Feature* const* features) {
    const float fs = static_cast<float>(rate);
    // Zero, negative, infinite or NaN is no rate: every filter would turn NaN.
    if (!(rate > 0.0) || !std::isfinite(fs)) return nullptr;
    return std::unique_ptr<Lv2Decoder>(
        new Lv2Decoder(product, fs, blockLengthFromFeatures(features)));
}

Lv2Decoder::Lv2Decoder(const ProductDescription& product, float rate, int blockLength)
    : product_(product), blockLength_(blockLength) {
    // The same steps as the VST face: engine, program 0, then rate and block size.
    engine_ = std::make_unique<KivAmbisonicDecoder>(
        kDecListSize, product.decList, product.numInputs, product.numOutputs, blockLength);
    KivAmbisonicDecoder& engine = *engine_;
    const float* values = product.programs[0].values;
    for (const ParameterRow& row : kParameters) (engine.*row.set)(*values++);
    engine_->setFS(rate);
}

void Lv2Decoder::connectPort(std::uint32_t port, void* data) {
    const std::uint32_t inputs = static_cast<std::uint32_t>(product_.numInputs);
    const std::uint32_t outputs = static_cast<std::uint32_t>(product_.numOutputs);
    if (port < inputs) {
        inputs_[port] = static_cast<float*>(data);
    } else if (port < inputs + outputs) {
        outputs_[port - inputs] = static_cast<float*>(data);
    } else if (port < inputs + outputs + kNumParameters) {
        controls_[port - inputs - outputs] = static_cast<const float*>(data);
    } else if (port == decoderInUsePort(product_)) {
        decoderInUse_ = static_cast<float*>(data);
    }
}

void Lv2Decoder::activate() {
    engine_->resume();
    snapOnRun_ = true;
}

void Lv2Decoder::applyControls() {
    for (int k = 0; k < kNumParameters; ++k) {
        if (controls_[k] == nullptr) continue;
        const float value = *controls_[k];
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        if (haveApplied_[k] && bits == applied_[k]) continue;
        applied_[k] = bits;
        haveApplied_[k] = true;
        // As the VST setParameter: NaN ignored, anything else clamped to the range.
        const ParameterRow& row = kParameters[k];
        float normalised = 0.0f;
        if (!normalisedValue(normalisedFromPhysical(row, value), normalised)) continue;
        (engine_.get()->*row.set)(normalised);
    }
}

void Lv2Decoder::run(std::uint32_t frames) {
    applyControls();
    if (snapOnRun_) {
        engine_->resume();
        snapOnRun_ = false;
    }
    // The slot the layout control has chosen, as the engine holds it (clamped, NaN ignored).
    if (decoderInUse_ != nullptr) *decoderInUse_ = static_cast<float>(engine_->dec);
    for (int j = 0; j < product_.numInputs; ++j)
        if (inputs_[j] == nullptr) return;
    for (int j = 0; j < product_.numOutputs; ++j)
        if (outputs_[j] == nullptr) return;
    // The engine works through long blocks in pieces of its work buffer.
    constexpr std::uint32_t kLongest = 0x7fffffffu;
    engine_->processReplacing(inputs_, outputs_,
                              static_cast<int>(frames < kLongest ? frames : kLongest));
}

} // namespace kiv::lv2
