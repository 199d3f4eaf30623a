// SPDX-License-Identifier: GPL-3.0-or-later
// Uniformly partitioned FFT convolution (overlap-save, a frequency-domain delay line) of many
// inputs into two outputs: each input is transformed once per partition, the products with
// each response partition are summed per output in the frequency domain, and each output
// takes one inverse transform. The cost per partition is one FFT per input, two inverse
// FFTs, and a multiply-add per input, output and response partition.
//
// The input side (the delay line of input spectra) is kept apart from the responses
// (Kernel): several kernels can run on the same inputs, which is how a new plan takes over
// with its history already in place.
//
// Threads: prepare and makeKernel allocate and plan (under fftwPlanLock): never on the audio
// thread; makeKernel may run while the audio thread calls push/convolve. push, convolve and
// clear: the audio thread (or no audio running); no allocation, lock or system call.
#pragma once

#include <memory>
#include <vector>

#include "engine/BinauralPlan.h"

class PartitionedConvolver {
public:
    // The spectra of one plan's responses, scaled for the inverse transform.
    struct Kernel {
        int feeds = 0;
        int partitions = 0;
        std::vector<float> spectra; // [feed][ear][partition][bin] as (re, im) pairs
    };

    PartitionedConvolver();
    ~PartitionedConvolver();
    PartitionedConvolver(const PartitionedConvolver&) = delete;
    PartitionedConvolver& operator=(const PartitionedConvolver&) = delete;

    // Partitions of partitionSize frames (>= 1), for up to maxInputs inputs and responses
    // of up to maxTaps taps.
    void prepare(int partitionSize, int maxInputs, int maxTaps);
    int partitionSize() const { return size_; }
    int maxTaps() const { return maxPartitions_ * size_; }

    // Off the audio thread: the kernel of `plan` (its responses must fit maxTaps, its feeds
    // maxInputs; returns nullptr otherwise).
    std::unique_ptr<Kernel> makeKernel(const BinauralPlan& plan) const;

    // One partition of input: inputs[0..count-1] hold partitionSize() frames each (nullptr:
    // silence). Inputs from count on are not transformed; an input that comes back after a
    // pause starts from a silent history.
    void push(const float* const* inputs, int count);
    // The two outputs of the last pushed partition through `kernel`, partitionSize() frames
    // each; the kernel's feeds beyond the pushed count are silent.
    void convolve(const Kernel& kernel, float* left, float* right);
    void clear(); // silent history

private:
    struct Buffers;
    std::unique_ptr<Buffers> b_;
    int size_ = 0, bins_ = 0, maxInputs_ = 0, maxPartitions_ = 0;
    int slot_ = 0;   // where the newest spectra are in the delay line
    int pushed_ = 0; // inputs transformed by the last push
};
