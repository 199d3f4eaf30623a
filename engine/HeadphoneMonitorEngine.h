// SPDX-License-Identifier: GPL-3.0-or-later
// The headphone monitor's engine: up to 32 speaker feeds, each convolved with its pair of
// head-related responses (a BinauralPlan), summed into a left and a right ear.
//
// Latency: the convolution runs in partitions of P frames, P the largest power of two that is
// at most prepare's maxBlock (and at most kMaxPartition); every output frame comes exactly P
// frames after its input frame, whatever the block sizes the host calls with.
//
// Threads:
// - prepare: not on the audio thread, while no block runs.
// - setPlan, hasPlan, reset, reclaim: any thread but the audio thread, while blocks run;
//   they serialise among themselves on a lock the audio thread never takes.
// - setLevelDb, setBypass: any thread (one atomic value each).
// - process: the audio thread. No allocation, lock or system call.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/BinauralPlan.h"
#include "engine/PartitionedConvolver.h"

class HeadphoneMonitorEngine {
public:
    static constexpr int kMaxFeeds = BinauralPlan::kMaxFeeds;
    static constexpr int kMaxTaps = 16384;
    static constexpr int kMaxPartition = 1024;
    static constexpr double kCrossfadeSeconds = 0.02; // plan swap and bypass

    HeadphoneMonitorEngine();
    ~HeadphoneMonitorEngine();
    HeadphoneMonitorEngine(const HeadphoneMonitorEngine&) = delete;
    HeadphoneMonitorEngine& operator=(const HeadphoneMonitorEngine&) = delete;

    // Allocates for blocks up to maxBlock at sampleRate. A plan set before at the same rate is
    // kept (rebuilt for the new partition size); one at another rate is dropped.
    void prepare(double sampleRate, int maxBlock);
    // Builds the convolution of `plan` here and hands it to the audio thread without a lock;
    // the next process() call crossfades to it over kCrossfadeSeconds (the first plan starts
    // at once). Returns false, keeping the old plan, when the plan does not fit: no prepare
    // yet, another rate, no feeds or more than kMaxFeeds, length 0 or over kMaxTaps, a
    // response of the wrong size.
    bool setPlan(std::shared_ptr<const BinauralPlan> plan);
    bool hasPlan() const;
    std::shared_ptr<const BinauralPlan> plan() const; // the last accepted, or null
    void reclaim(); // frees what the audio thread has finished with (setPlan does it too)

    // inputs[0..numInputs-1] (a null pointer is silence), any number of frames (a host that
    // gives more than maxBlock gets the same latency). Feeds beyond the plan's are ignored;
    // non-finite samples are taken as silence. left and right may be input buffers: each
    // range of input is taken before that range of output is written.
    void process(const float* const* inputs, int numInputs, float* left, float* right, int frames);

    int latency() const { return partition_; } // frames, fixed by prepare
    double sampleRate() const { return sampleRate_; }
    // Output level of the headphone render, de-zippered; the bypass is not scaled.
    void setLevelDb(float dB);
    float levelDb() const { return levelDb_.load(); }
    // Feeds 1 and 2 straight to left and right, delayed by latency() so nothing jumps,
    // switched with a crossfade of kCrossfadeSeconds.
    void setBypass(bool on);
    bool bypass() const { return bypass_.load(); }
    // Clears the tails and the delay at the start of the next block.
    void reset();

private:
    using Kernel = PartitionedConvolver::Kernel;
    void takePending();
    void runPartition();
    void freeRetired();

    mutable std::mutex control_; // never taken by the audio thread
    std::shared_ptr<const BinauralPlan> plan_;
    double sampleRate_ = 0;
    int maxBlock_ = 0;
    int partition_ = 0;
    int fadeFrames_ = 1;

    PartitionedConvolver conv_;

    // Audio thread's own.
    Kernel* current_ = nullptr;
    Kernel* next_ = nullptr; // fading in
    int fadePos_ = 0;
    int fill_ = 0;                     // frames of the partition gathered so far
    std::vector<float> in_;            // kMaxFeeds x partition_: the partition being gathered
    std::vector<float> wetL_, wetR_;   // the ears of the last partition
    std::vector<float> nextL_, nextR_; // the incoming kernel's, while fading
    std::vector<float> dryL_, dryR_;   // feeds 1 and 2 of the last partition
    double level_ = 1.0;               // smoothed gain
    double levelCoeff_ = 0.0;
    float bypassMix_ = 0.0f; // 0 = headphone render, 1 = bypass

    std::atomic<float> levelDb_{0.0f};
    std::atomic<bool> bypass_{false};
    std::atomic<bool> resetRequested_{false};

    // The hand-over: pending_ from the control side to the audio thread, retired_ back.
    static constexpr int kRetiredSlots = 4;
    std::atomic<Kernel*> pending_{nullptr};
    std::atomic<Kernel*> retired_[kRetiredSlots] = {};
};
