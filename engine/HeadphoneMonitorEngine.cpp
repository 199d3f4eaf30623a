// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/HeadphoneMonitorEngine.h"

#include <algorithm>
#include <cmath>

namespace {

float gainOfDb(float dB) {
    if (std::isnan(dB)) return 1.0f;
    if (dB <= -120.0f) return 0.0f;
    return std::pow(10.0f, std::min(dB, 40.0f) / 20.0f);
}

} // namespace

HeadphoneMonitorEngine::HeadphoneMonitorEngine() = default;

HeadphoneMonitorEngine::~HeadphoneMonitorEngine() {
    delete current_;
    delete next_;
    delete pending_.exchange(nullptr);
    freeRetired();
}

void HeadphoneMonitorEngine::freeRetired() {
    for (auto& slot : retired_) delete slot.exchange(nullptr);
}

void HeadphoneMonitorEngine::prepare(double sampleRate, int maxBlock) {
    std::lock_guard<std::mutex> lock(control_);
    delete current_;
    delete next_;
    current_ = next_ = nullptr;
    delete pending_.exchange(nullptr);
    freeRetired();

    sampleRate_ = sampleRate;
    maxBlock_ = std::max(maxBlock, 1);
    partition_ = 1;
    while (partition_ * 2 <= std::min(maxBlock_, kMaxPartition)) partition_ *= 2;
    conv_.prepare(partition_, kMaxFeeds, kMaxTaps);

    const size_t p = static_cast<size_t>(partition_);
    in_.assign(kMaxFeeds * p, 0.0f);
    wetL_.assign(p, 0.0f);
    wetR_.assign(p, 0.0f);
    nextL_.assign(p, 0.0f);
    nextR_.assign(p, 0.0f);
    dryL_.assign(p, 0.0f);
    dryR_.assign(p, 0.0f);
    fill_ = 0;
    fadePos_ = 0;
    fadeFrames_ = std::max(1, static_cast<int>(std::lround(kCrossfadeSeconds * sampleRate)));
    // About 5 ms to 63 % of a level change.
    levelCoeff_ = sampleRate > 0 ? std::exp(-1.0 / (0.005 * sampleRate)) : 0.0;
    level_ = gainOfDb(levelDb_.load());
    bypassMix_ = bypass_.load() ? 1.0f : 0.0f;
    resetRequested_.store(false);

    if (plan_ && plan_->sampleRate == sampleRate) current_ = conv_.makeKernel(*plan_).release();
    if (!current_) plan_.reset();
}

bool HeadphoneMonitorEngine::setPlan(std::shared_ptr<const BinauralPlan> plan) {
    std::lock_guard<std::mutex> lock(control_);
    freeRetired();
    if (!plan || partition_ == 0 || plan->sampleRate != sampleRate_ || plan->length > kMaxTaps)
        return false;
    std::unique_ptr<Kernel> kernel = conv_.makeKernel(*plan);
    if (!kernel) return false;
    // A plan the audio thread has not taken yet is simply replaced.
    delete pending_.exchange(kernel.release());
    plan_ = std::move(plan);
    return true;
}

bool HeadphoneMonitorEngine::hasPlan() const {
    std::lock_guard<std::mutex> lock(control_);
    return plan_ != nullptr;
}

std::shared_ptr<const BinauralPlan> HeadphoneMonitorEngine::plan() const {
    std::lock_guard<std::mutex> lock(control_);
    return plan_;
}

void HeadphoneMonitorEngine::reclaim() {
    std::lock_guard<std::mutex> lock(control_);
    freeRetired();
}

void HeadphoneMonitorEngine::setLevelDb(float dB) {
    levelDb_.store(dB);
}
void HeadphoneMonitorEngine::setBypass(bool on) {
    bypass_.store(on);
}
void HeadphoneMonitorEngine::reset() {
    resetRequested_.store(true);
}

void HeadphoneMonitorEngine::takePending() {
    if (next_ || !pending_.load(std::memory_order_acquire)) return;
    if (current_) {
        // The outgoing kernel will need a slot to go back in.
        bool slotFree = false;
        for (auto& slot : retired_) slotFree = slotFree || !slot.load(std::memory_order_acquire);
        if (!slotFree) return;
    }
    Kernel* k = pending_.exchange(nullptr, std::memory_order_acq_rel);
    if (!k) return;
    if (!current_) {
        current_ = k; // nothing to fade from
    } else {
        next_ = k;
        fadePos_ = 0;
    }
}

void HeadphoneMonitorEngine::runPartition() {
    const size_t p = static_cast<size_t>(partition_);
    int feeds = 0;
    if (current_) feeds = current_->feeds;
    if (next_) feeds = std::max(feeds, next_->feeds);
    const float* rows[kMaxFeeds];
    for (int f = 0; f < kMaxFeeds; ++f) rows[f] = in_.data() + f * p;
    conv_.push(rows, feeds);
    std::copy(rows[0], rows[0] + p, dryL_.begin());
    std::copy(rows[1], rows[1] + p, dryR_.begin());

    if (current_) {
        conv_.convolve(*current_, wetL_.data(), wetR_.data());
    } else {
        std::fill(wetL_.begin(), wetL_.end(), 0.0f);
        std::fill(wetR_.begin(), wetR_.end(), 0.0f);
    }
    if (!next_) return;

    // Both kernels run on the same input history, so the incoming one is complete from its
    // first partition: a linear crossfade is all the swap needs.
    conv_.convolve(*next_, nextL_.data(), nextR_.data());
    const float step = 1.0f / static_cast<float>(fadeFrames_);
    for (size_t i = 0; i < p; ++i) {
        const float g = std::min(1.0f, static_cast<float>(fadePos_ + static_cast<int>(i)) * step);
        wetL_[i] += g * (nextL_[i] - wetL_[i]);
        wetR_[i] += g * (nextR_[i] - wetR_[i]);
    }
    fadePos_ += partition_;
    if (fadePos_ < fadeFrames_) return;
    for (auto& slot : retired_) {
        if (slot.load(std::memory_order_acquire)) continue;
        slot.store(current_, std::memory_order_release);
        break; // takePending made sure there is one
    }
    current_ = next_;
    next_ = nullptr;
}

void HeadphoneMonitorEngine::process(const float* const* inputs, int numInputs, float* left,
                                     float* right, int frames) {
    if (partition_ == 0) {
        std::fill(left, left + std::max(frames, 0), 0.0f);
        std::fill(right, right + std::max(frames, 0), 0.0f);
        return;
    }
    if (resetRequested_.exchange(false)) {
        conv_.clear();
        fill_ = 0;
        for (auto* v : {&in_, &wetL_, &wetR_, &dryL_, &dryR_})
            std::fill(v->begin(), v->end(), 0.0f);
    }
    takePending();

    const size_t p = static_cast<size_t>(partition_);
    const int given = inputs ? std::clamp(numInputs, 0, static_cast<int>(kMaxFeeds)) : 0;
    const double levelTarget = gainOfDb(levelDb_.load(std::memory_order_relaxed));
    const float bypassTarget = bypass_.load(std::memory_order_relaxed) ? 1.0f : 0.0f;
    const float bypassStep = 1.0f / static_cast<float>(fadeFrames_);
    const double a = levelCoeff_;

    int done = 0;
    // Blocks longer than maxBlock work as well: the partitions are gathered frame by frame.
    frames = std::max(frames, 0);
    while (done < frames) {
        const int n = std::min(frames - done, partition_ - fill_);
        // Every row is gathered, so a kernel with more feeds can start at any block.
        for (int f = 0; f < kMaxFeeds; ++f) {
            float* row = in_.data() + f * p + fill_;
            if (f < given && inputs[f]) {
                // A non-finite sample would stay in the delay line for the whole response
                // length: it is heard as silence instead.
                const float* src = inputs[f] + done;
                for (int i = 0; i < n; ++i) row[i] = std::isfinite(src[i]) ? src[i] : 0.0f;
            } else
                std::fill(row, row + n, 0.0f);
        }
        for (int i = 0; i < n; ++i) {
            // In double: in float the glide stalls where a step is below half a unit in the
            // last place, 1e-5 short of its target.
            level_ = levelTarget + a * (level_ - levelTarget);
            if (bypassMix_ < bypassTarget)
                bypassMix_ = std::min(bypassTarget, bypassMix_ + bypassStep);
            else if (bypassMix_ > bypassTarget)
                bypassMix_ = std::max(bypassTarget, bypassMix_ - bypassStep);
            const float wet = (1.0f - bypassMix_) * static_cast<float>(level_);
            const size_t j = static_cast<size_t>(fill_ + i);
            left[done + i] = wet * wetL_[j] + bypassMix_ * dryL_[j];
            right[done + i] = wet * wetR_[j] + bypassMix_ * dryR_[j];
        }
        fill_ += n;
        done += n;
        if (fill_ == partition_) {
            runPartition();
            fill_ = 0;
        }
    }
}
