// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/PartitionedConvolver.h"

#include <fftw3.h>

#include <algorithm>
#include <cstring>

#include "engine/FftwPlanLock.h"

namespace {

struct FftwFree {
    void operator()(float* p) const { fftwf_free(p); }
};
using FftwBuffer = std::unique_ptr<float[], FftwFree>;

FftwBuffer fftwBuffer(size_t floats) {
    floats = std::max<size_t>(floats, 1);
    auto* p = static_cast<float*>(fftwf_malloc(sizeof(float) * floats));
    if (!p) throw std::bad_alloc();
    std::memset(p, 0, sizeof(float) * floats);
    return FftwBuffer(p);
}

// Spectra are kept split, real parts then imaginary parts: the multiply-add over them is
// then a plain loop over contiguous floats, which the compiler turns into vector code.
void split(const float* interleaved, int bins, float* re, float* im) {
    for (int k = 0; k < bins; ++k) {
        re[k] = interleaved[2 * k];
        im[k] = interleaved[2 * k + 1];
    }
}

} // namespace

struct PartitionedConvolver::Buffers {
    fftwf_plan forward = nullptr, inverse = nullptr;
    // Rows start on 64-byte boundaries: the plans' SIMD code wants every array it is run on
    // aligned as the arrays it was planned with.
    size_t historyStride = 0, binStride = 0;
    FftwBuffer history; // maxInputs x historyStride: the previous and the newest partition
    FftwBuffer spectra; // maxInputs x maxPartitions x 2 x binStride: the delay line, split
    FftwBuffer fresh;   // maxInputs: was the input transformed by the last push
    FftwBuffer timeWork, freqWork; // 2P samples; bins interleaved
    FftwBuffer acc;                // 2 x binStride, split

    ~Buffers() {
        std::lock_guard<std::mutex> lock(fftwPlanLock());
        if (forward) fftwf_destroy_plan(forward);
        if (inverse) fftwf_destroy_plan(inverse);
    }
};

PartitionedConvolver::PartitionedConvolver() = default;
PartitionedConvolver::~PartitionedConvolver() = default;

void PartitionedConvolver::prepare(int partitionSize, int maxInputs, int maxTaps) {
    b_.reset();
    size_ = std::max(partitionSize, 1);
    bins_ = size_ + 1;
    maxInputs_ = std::max(maxInputs, 1);
    maxPartitions_ = std::max((std::max(maxTaps, 1) + size_ - 1) / size_, 1);
    slot_ = 0;
    pushed_ = 0;

    auto b = std::make_unique<Buffers>();
    const size_t n = 2 * static_cast<size_t>(size_);
    auto aligned = [](size_t floats) { return (floats + 15) / 16 * 16; };
    b->historyStride = aligned(n);
    b->binStride = aligned(static_cast<size_t>(bins_));
    b->history = fftwBuffer(static_cast<size_t>(maxInputs_) * b->historyStride);
    b->spectra = fftwBuffer(static_cast<size_t>(maxInputs_) * maxPartitions_ * 2 * b->binStride);
    b->fresh = fftwBuffer(static_cast<size_t>(maxInputs_));
    b->timeWork = fftwBuffer(n);
    b->freqWork = fftwBuffer(2 * static_cast<size_t>(bins_));
    b->acc = fftwBuffer(2 * b->binStride);
    {
        std::lock_guard<std::mutex> lock(fftwPlanLock());
        // ESTIMATE: no timing runs in prepare, and the same plan on every machine.
        auto* freq = reinterpret_cast<fftwf_complex*>(b->freqWork.get());
        b->forward =
            fftwf_plan_dft_r2c_1d(static_cast<int>(n), b->timeWork.get(), freq, FFTW_ESTIMATE);
        b->inverse =
            fftwf_plan_dft_c2r_1d(static_cast<int>(n), freq, b->timeWork.get(), FFTW_ESTIMATE);
    }
    if (!b->forward || !b->inverse) throw std::bad_alloc();
    b_ = std::move(b);
}

std::unique_ptr<PartitionedConvolver::Kernel>
PartitionedConvolver::makeKernel(const BinauralPlan& plan) const {
    if (!b_ || plan.feeds < 1 || plan.feeds > maxInputs_ || plan.length < 1 ||
        plan.length > maxTaps())
        return nullptr;
    for (int f = 0; f < plan.feeds; ++f)
        if (static_cast<int>(plan.left[f].size()) != plan.length ||
            static_cast<int>(plan.right[f].size()) != plan.length)
            return nullptr;

    auto k = std::make_unique<Kernel>();
    k->feeds = plan.feeds;
    k->partitions = (plan.length + size_ - 1) / size_;
    const size_t perPartition = 2 * static_cast<size_t>(bins_);
    k->spectra.assign(static_cast<size_t>(k->feeds) * 2 * k->partitions * perPartition, 0.0f);

    // Own aligned buffers: the shared plan runs on them through the new-array interface,
    // which is thread-safe, while the audio thread uses the plan on its own buffers.
    const size_t n = 2 * static_cast<size_t>(size_);
    FftwBuffer time = fftwBuffer(n), freq = fftwBuffer(perPartition);
    const float scale = 1.0f / static_cast<float>(n); // the inverse transform is unscaled
    for (int f = 0; f < k->feeds; ++f)
        for (int ear = 0; ear < 2; ++ear) {
            const std::vector<float>& h = ear == 0 ? plan.left[f] : plan.right[f];
            for (int p = 0; p < k->partitions; ++p) {
                std::fill(time.get(), time.get() + n, 0.0f);
                const int from = p * size_;
                const int count = std::min(size_, plan.length - from);
                for (int i = 0; i < count; ++i) time[i] = h[from + i] * scale;
                fftwf_execute_dft_r2c(b_->forward, time.get(),
                                      reinterpret_cast<fftwf_complex*>(freq.get()));
                float* re = k->spectra.data() +
                            ((static_cast<size_t>(f) * 2 + ear) * k->partitions + p) * perPartition;
                split(freq.get(), bins_, re, re + bins_);
            }
        }
    return k;
}

void PartitionedConvolver::push(const float* const* inputs, int count) {
    if (!b_) return;
    count = std::clamp(count, 0, maxInputs_);
    slot_ = slot_ + 1 == maxPartitions_ ? 0 : slot_ + 1;
    const size_t perSlot = 2 * b_->binStride;
    for (int i = 0; i < count; ++i) {
        float* hist = b_->history.get() + static_cast<size_t>(i) * b_->historyStride;
        float* line = b_->spectra.get() + static_cast<size_t>(i) * maxPartitions_ * perSlot;
        if (b_->fresh[i] == 0.0f) {
            // Back after a pause: what it had is stale.
            std::fill(hist, hist + 2 * size_, 0.0f);
            std::fill(line, line + maxPartitions_ * perSlot, 0.0f);
            b_->fresh[i] = 1.0f;
        }
        // Overlap-save: the previous partition, then the new one.
        std::copy(hist + size_, hist + 2 * size_, hist);
        if (inputs[i])
            std::copy(inputs[i], inputs[i] + size_, hist + size_);
        else
            std::fill(hist + size_, hist + 2 * size_, 0.0f);
        fftwf_execute_dft_r2c(b_->forward, hist,
                              reinterpret_cast<fftwf_complex*>(b_->freqWork.get()));
        float* re = line + slot_ * perSlot;
        split(b_->freqWork.get(), bins_, re, re + b_->binStride);
    }
    for (int i = count; i < maxInputs_; ++i) b_->fresh[i] = 0.0f;
    pushed_ = count;
}

void PartitionedConvolver::convolve(const Kernel& kernel, float* left, float* right) {
    if (!b_) return;
    const size_t perSlot = 2 * b_->binStride;
    const size_t perPartition = 2 * static_cast<size_t>(bins_);
    const int feeds = std::min(kernel.feeds, pushed_);
    const int parts = std::min(kernel.partitions, maxPartitions_);
    const int bins = bins_;
    float* out[2] = {left, right};
    float* __restrict ar = b_->acc.get();
    float* __restrict ai = ar + b_->binStride;
    for (int ear = 0; ear < 2; ++ear) {
        std::fill(ar, ar + bins, 0.0f);
        std::fill(ai, ai + bins, 0.0f);
        for (int f = 0; f < feeds; ++f) {
            const float* line =
                b_->spectra.get() + static_cast<size_t>(f) * maxPartitions_ * perSlot;
            const float* h = kernel.spectra.data() +
                             (static_cast<size_t>(f) * 2 + ear) * kernel.partitions * perPartition;
            int s = slot_;
            for (int p = 0; p < parts; ++p) {
                const float* __restrict xr = line + s * perSlot;
                const float* __restrict xi = xr + b_->binStride;
                const float* __restrict hr = h + p * perPartition;
                const float* __restrict hi = hr + bins;
                for (int k = 0; k < bins; ++k) {
                    ar[k] += xr[k] * hr[k] - xi[k] * hi[k];
                    ai[k] += xr[k] * hi[k] + xi[k] * hr[k];
                }
                s = s == 0 ? maxPartitions_ - 1 : s - 1;
            }
        }
        float* freq = b_->freqWork.get();
        for (int k = 0; k < bins; ++k) {
            freq[2 * k] = ar[k];
            freq[2 * k + 1] = ai[k];
        }
        fftwf_execute_dft_c2r(b_->inverse, reinterpret_cast<fftwf_complex*>(freq),
                              b_->timeWork.get());
        // The second half is the linear convolution; the first is the wrapped part.
        std::copy(b_->timeWork.get() + size_, b_->timeWork.get() + 2 * size_, out[ear]);
    }
}

void PartitionedConvolver::clear() {
    if (!b_) return;
    for (int i = 0; i < maxInputs_; ++i) b_->fresh[i] = 0.0f; // cleared when next pushed
    pushed_ = 0;
}
