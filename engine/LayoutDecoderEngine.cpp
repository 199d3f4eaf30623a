// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/LayoutDecoderEngine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/KivAmbisonicDecoder.h"

LayoutDecoderEngine::LayoutDecoderEngine(int outputs, int blockSize)
    : numOutputs(std::clamp(outputs, 0, kMaxOutputs)) {
    setFS(44100.0f);
    setBlockSize(blockSize);
}

LayoutDecoderEngine::~LayoutDecoderEngine() {
    delete current_;
    delete next_;
    delete pending_.exchange(nullptr);
    freeRetired();
}

void LayoutDecoderEngine::freeRetired() {
    for (auto& slot : retired_) delete slot.exchange(nullptr, std::memory_order_acq_rel);
}

int LayoutDecoderEngine::freeRetiredSlot() const {
    for (int k = 0; k < kRetiredSlots; ++k)
        if (retired_[k].load(std::memory_order_acquire) == nullptr) return k;
    return -1;
}

// ---- parameters: the seed's mappings ----

void LayoutDecoderEngine::setLPGain(float v) {
    lpGain.store(2.0f * v);
}
void LayoutDecoderEngine::setHPGain(float v) {
    hpGain.store(2.0f * v);
}
void LayoutDecoderEngine::setFCut(float v) {
    fCut.store(v * 1150.0f + 50.0f);
}
void LayoutDecoderEngine::setDistComp(float v) {
    distComp.store(v * 7.5f + 0.5f);
}
void LayoutDecoderEngine::setNFC(float v) {
    nfc.store(v * 7.5f + 0.5f);
}
void LayoutDecoderEngine::setSEQ(float v) {
    seq.store(v);
}

const char* LayoutDecoderEngine::getSEQDisplay() const {
    return spatialEQName(seq.load());
}

DecoderSettings LayoutDecoderEngine::settings() const {
    DecoderSettings s;
    s.lpGain = lpGain.load(std::memory_order_relaxed);
    s.hpGain = hpGain.load(std::memory_order_relaxed);
    s.fCut = fCut.load(std::memory_order_relaxed);
    s.distComp = distComp.load(std::memory_order_relaxed);
    s.nfc = nfc.load(std::memory_order_relaxed);
    s.seq = seq.load(std::memory_order_relaxed);
    return s;
}

// ---- plans ----

std::unique_ptr<PlanDecoder> LayoutDecoderEngine::build(const DecoderPlan& plan) const {
    return std::make_unique<PlanDecoder>(plan, fs_, capacity_, settings());
}

void LayoutDecoderEngine::rebuildAll() {
    delete current_;
    delete next_;
    delete pending_.exchange(nullptr);
    freeRetired();
    current_ = next_ = nullptr;
    fadePos_ = 0;
    if (hasPlan_) current_ = build(plan_).release();
}

void LayoutDecoderEngine::setFS(float sampleRateHz) {
    std::lock_guard<std::mutex> lock(control_);
    // A host's zero or nonsense rate keeps the previous one.
    if (sampleRateHz > 0.0f && std::isfinite(sampleRateHz)) fs_ = sampleRateHz;
    const int fade = std::max(1, static_cast<int>(std::lround(kCrossfadeSeconds * fs_)));
    fadeGain_.resize(static_cast<size_t>(fade));
    // A raised cosine from 0 towards 1; the incoming decoder alone once it has run out.
    for (int k = 0; k < fade; ++k)
        fadeGain_[static_cast<size_t>(k)] = static_cast<float>(
            0.5 - 0.5 * std::cos(3.141592653589793 * (k + 1) / static_cast<double>(fade + 1)));
    rebuildAll();
}

void LayoutDecoderEngine::setBlockSize(long n) {
    std::lock_guard<std::mutex> lock(control_);
    // No size announced yet: pieces of 1024 until there is one.
    capacity_ = n > 0 ? static_cast<int>(std::min<long>(n, kMaxWorkFrames)) : 1024;
    scratch_.assign(static_cast<size_t>(kMaxOutputs) * static_cast<size_t>(capacity_), 0.0f);
    rebuildAll();
}

void LayoutDecoderEngine::setPlan(const DecoderPlan& plan) {
    std::lock_guard<std::mutex> lock(control_);
    plan_ = plan;
    hasPlan_ = true;
    rebuildAll();
}

void LayoutDecoderEngine::submitPlan(const DecoderPlan& plan) {
    std::lock_guard<std::mutex> lock(control_);
    plan_ = plan;
    hasPlan_ = true;
    PlanDecoder* fresh = build(plan).release();
    delete pending_.exchange(fresh, std::memory_order_acq_rel); // one the audio never took
    freeRetired();
}

void LayoutDecoderEngine::reclaim() {
    std::lock_guard<std::mutex> lock(control_);
    freeRetired();
}

void LayoutDecoderEngine::resume() {
    if (current_ != nullptr) current_->reset();
    if (next_ != nullptr) {
        // A fade cannot resume halfway: the incoming plan takes over at once.
        delete current_;
        current_ = next_;
        next_ = nullptr;
        current_->reset();
    }
}

DecoderPlan LayoutDecoderEngine::plan() const {
    std::lock_guard<std::mutex> lock(control_);
    return hasPlan_ ? plan_ : DecoderPlan{};
}

int LayoutDecoderEngine::compensationDelayFrames(int speaker) const {
    std::lock_guard<std::mutex> lock(control_);
    return PlanDecoder::compensationDelayFrames(plan_, speaker, fs_);
}

float LayoutDecoderEngine::compensationGain(int speaker) const {
    std::lock_guard<std::mutex> lock(control_);
    return PlanDecoder::compensationGain(plan_, speaker);
}

// ---- audio ----

void LayoutDecoderEngine::processReplacing(float** in, float** out, int n) {
    if (n <= 0) return;
    const int piece = capacity_;
    if (n <= piece) {
        processPiece(in, out, n);
        return;
    }
    float* inPiece[kInputs];
    float* outPiece[kMaxOutputs];
    for (int done = 0; done < n; done += piece) {
        const int len = std::min(piece, n - done);
        for (int j = 0; j < kInputs; ++j) inPiece[j] = in[j] + done;
        for (int s = 0; s < numOutputs; ++s) outPiece[s] = out[s] + done;
        processPiece(inPiece, outPiece, len);
    }
}

void LayoutDecoderEngine::processPiece(float** in, float** out, int n) {
    // A new plan is taken only while there is a free slot to hand the outgoing one back in
    // (only this thread fills the slots, so the slot stays free until the fade ends).
    if (next_ == nullptr && freeRetiredSlot() >= 0) {
        PlanDecoder* incoming = pending_.exchange(nullptr, std::memory_order_acq_rel);
        if (incoming != nullptr) {
            if (current_ == nullptr) {
                current_ = incoming; // nothing to fade from
            } else {
                // The incoming decoder runs unheard until its delay lines hold signal and its
                // filters have settled a little; only then does the fade begin.
                next_ = incoming;
                fadePos_ = -(incoming->longestDelayFrames() +
                             static_cast<int>(kSettleSeconds * incoming->sampleRate()));
            }
        }
    }
    if (current_ == nullptr) {
        for (int s = 0; s < numOutputs; ++s)
            std::memset(out[s], 0, sizeof(float) * static_cast<size_t>(n));
        return;
    }
    const DecoderSettings s = settings();
    current_->apply(s, n);
    if (next_ == nullptr) {
        current_->process(in, out, numOutputs, n);
        return;
    }

    // Crossfade: the incoming decoder into the scratch buffers first (it only reads the
    // inputs), then the outgoing one into the outputs (which may be the inputs).
    next_->apply(s, n);
    float* incoming[kMaxOutputs];
    for (int o = 0; o < numOutputs; ++o)
        incoming[o] = scratch_.data() + static_cast<size_t>(o) * static_cast<size_t>(capacity_);
    next_->process(in, incoming, numOutputs, n);
    current_->process(in, out, numOutputs, n);
    const int fade = static_cast<int>(fadeGain_.size());
    const int unheard = std::clamp(-fadePos_, 0, n); // frames before the fade begins
    const int mixed = std::min(n - unheard, fade - std::max(fadePos_, 0));
    const float* gain = fadeGain_.data();
    const int first = std::max(fadePos_, 0) - unheard; // fade index of frame i is first + i
    for (int o = 0; o < numOutputs; ++o) {
        float* __restrict y = out[o];
        const float* __restrict x = incoming[o];
        for (int i = unheard; i < unheard + mixed; ++i)
            y[i] = y[i] + (x[i] - y[i]) * gain[first + i];
        for (int i = unheard + mixed; i < n; ++i) y[i] = x[i];
    }
    fadePos_ += n;
    if (fadePos_ >= fade) {
        retired_[freeRetiredSlot()].store(current_, std::memory_order_release);
        current_ = next_;
        next_ = nullptr;
    }
}
