// SPDX-License-Identifier: GPL-3.0-or-later
// The layout decoder's engine: runs a DecoderPlan (FuMa W, X, Y, Z in, up to 32 outputs)
// with the seed's parameters, and swaps in a new plan without a click.
//
// The parameters mirror KivAmbisonicDecoder's: the same normalised setters and getters with
// the same mappings, so a plug-in shell drives either engine the same way. Their meaning for
// a plan:
// - the patterns weight W by 2 - p and X, Y, Z by p ahead of the plan's matrices, in the
//   spatial-EQ mode the selector picks (single band, the all-pass crossover at the cut-off,
//   or the shelf), exactly as the seed does; p = 1 in single-band mode leaves the plan's
//   matrices as they are (a preset decoded as written);
// - the encoded distance sets the numerator of every near-field filter (8 m = none);
// - the loudspeaker distance is the near-field distance of a plan without its own
//   (NearField::None), on the directional inputs, 8 m = off, as the seed does; a plan
//   with NearField::Input or Output uses its own distances.
// The plan's two bands split at its crossoverHz, independently of the pattern cut-off.
// The subwoofer output carries W (after the pattern weighting) low-passed, undelayed.
//
// Threads:
// - processReplacing: the audio thread. It never allocates, locks or calls the system.
// - the parameter setters and getters: any thread, at any time (each is one atomic value,
//   taken by the audio thread at the start of each block).
// - submitPlan, reclaim, plan, compensation queries: any thread but the audio thread,
//   while blocks run; they serialise among themselves on a lock the audio thread never
//   takes.
// - construction, setFS, setBlockSize, setPlan, resume: while no block is being processed.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/DecoderPlan.h"
#include "engine/PlanDecoder.h"

class LayoutDecoderEngine {
public:
    static constexpr int kInputs = DecoderPlan::kInputs;
    static constexpr int kMaxOutputs = 32;
    static constexpr int kMaxWorkFrames = 1 << 16; // longest piece a block is cut into
    static constexpr float kCrossfadeSeconds = 0.02f;
    static constexpr float kSettleSeconds = 0.01f; // the incoming plan runs unheard first

    LayoutDecoderEngine(int numOutputs, int blockSize);
    ~LayoutDecoderEngine();

    LayoutDecoderEngine(const LayoutDecoderEngine&) = delete;
    LayoutDecoderEngine& operator=(const LayoutDecoderEngine&) = delete;

    // Normalised setters (0 to 1) and getters, the seed's mappings.
    void setLPGain(float v);   // low-frequency pattern 0 to 2
    void setHPGain(float v);   // high-frequency pattern 0 to 2
    void setFCut(float v);     // 50 to 1200 Hz
    void setDistComp(float v); // loudspeaker distance 0.5 to 8 m, 8 = off
    void setNFC(float v);      // encoded distance 0.5 to 8 m, 8 = none
    void setSEQ(float v);      // spatial-EQ mode selector
    float getLPGain() const { return lpGain.load() * 0.5f; }
    float getHPGain() const { return hpGain.load() * 0.5f; }
    float getFCut() const { return (fCut.load() - 50.0f) / 1150.0f; }
    float getDistComp() const { return (distComp.load() - 0.5f) / 7.5f; }
    float getNFC() const { return (nfc.load() - 0.5f) / 7.5f; }
    float getSEQ() const { return seq.load(); }
    float getLPGainDisplay() const { return lpGain.load(); }
    float getHPGainDisplay() const { return hpGain.load(); }
    float getFCutDisplay() const { return fCut.load(); }
    float getDistCompDisplay() const { return distComp.load(); }
    float getNFCDisplay() const { return nfc.load(); }
    const char* getSEQDisplay() const; // "No-Use LF", "Kiv EQ" or "Mavo EQ"

    // While no block runs.
    void setFS(float sampleRateHz);
    void setBlockSize(long n);
    void setPlan(const DecoderPlan& plan); // in force from the next block, no crossfade
    void resume();                         // clears filter states and delay lines

    // Off the audio thread while blocks run: prepares the plan here (allocating) and hands
    // it to the audio thread, which starts it at its next block, lets it run unheard until its
    // delay lines are full (and kSettleSeconds more), then crossfades to it over
    // kCrossfadeSeconds (with no plan yet, it starts with it at once). A plan submitted before the
    // audio thread took the previous one replaces it. Also frees what the audio thread handed back.
    void submitPlan(const DecoderPlan& plan);
    // Frees the decoders the audio thread has finished with; call it now and then (submitPlan
    // does it too). The audio thread keeps taking new plans while a few wait here.
    void reclaim();
    // The plan last set or submitted (an empty plan before any), and what its distance
    // compensation does at the current rate: delay in frames and gain per speaker.
    DecoderPlan plan() const;
    int compensationDelayFrames(int speaker) const;
    float compensationGain(int speaker) const;

    // One block: inputs W, X, Y, Z (FuMa), numOutputs outputs; outputs may be the inputs'
    // buffers. Blocks longer than the announced size run in pieces.
    void processReplacing(float** in, float** out, int n);

    bool crossfading() const { return next_ != nullptr; } // audio thread, or no block running

    int numOutputs;

private:
    DecoderSettings settings() const;
    std::unique_ptr<PlanDecoder> build(const DecoderPlan& plan) const;
    void rebuildAll(); // after a rate or block size change
    void processPiece(float** in, float** out, int n);

    std::atomic<float> lpGain{1.3f}, hpGain{1.5f}, fCut{380.0f}, distComp{8.0f}, nfc{8.0f},
        seq{1.0f};

    mutable std::mutex control_; // never taken by the audio thread
    float fs_ = 44100.0f;
    int capacity_ = 0;
    bool hasPlan_ = false;
    DecoderPlan plan_;

    // Audio thread's own.
    PlanDecoder* current_ = nullptr;
    PlanDecoder* next_ = nullptr; // fading in
    int fadePos_ = 0;
    std::vector<float> fadeGain_; // rising, one per frame of the fade
    std::vector<float> scratch_;  // kMaxOutputs x capacity_, the incoming decoder's

    // The hand-over: pending_ from the control side to the audio thread, retired_ back (a
    // few slots, so that plans keep being taken while nobody has collected the last ones).
    static constexpr int kRetiredSlots = 4;
    void freeRetired();
    int freeRetiredSlot() const; // audio thread: a slot it may fill, or -1
    std::atomic<PlanDecoder*> pending_{nullptr};
    std::atomic<PlanDecoder*> retired_[kRetiredSlots] = {};
};
