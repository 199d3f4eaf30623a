// SPDX-License-Identifier: GPL-3.0-or-later
// One DecoderPlan running at one sample rate: the input stage (pattern weighting in the
// seed's three spatial-EQ modes, near-field compensation on the directional inputs, bass
// management, the plan's band split), the matrix, per-speaker near-field compensation and
// the distance compensation's delay lines and gains. LayoutDecoderEngine owns two of these
// while it crossfades from one plan to the next.
//
// Threads: construction (which allocates everything) off the audio thread; apply, process
// and reset on the audio thread, or on any thread while no block runs. Nothing here
// allocates, locks or calls the system once constructed.
#pragma once

#include <vector>

#include "engine/DecoderPlan.h"

// The seed's parameters in physical units, as KivAmbisonicDecoder keeps them.
struct DecoderSettings {
    float lpGain = 1.3f;   // low-frequency pattern 0 to 2: W weighted 2 - p, X, Y, Z by p
    float hpGain = 1.5f;   // high-frequency pattern 0 to 2
    float fCut = 380.0f;   // pattern cut-off, Hz
    float distComp = 8.0f; // loudspeaker distance for a plan without its own, m; 8 = off
    float nfc = 8.0f;      // encoded distance, m; 8 = none
    float seq = 1.0f;      // spatial-EQ selector (spatialEQModeOf)
};

class PlanDecoder {
public:
    static constexpr int kMaxOutputs = DecoderPlan::kMaxSpeakers;
    static constexpr float kSpeedOfSoundMetresPerSecond = 343.0f; // for the delays

    // capacity: the longest block process accepts, frames (at least 1).
    PlanDecoder(const DecoderPlan& plan, float sampleRateHz, int capacity,
                const DecoderSettings& settings);

    PlanDecoder(const PlanDecoder&) = delete;
    PlanDecoder& operator=(const PlanDecoder&) = delete;

    // Distance compensation of a plan: speaker s delayed by (d_max - d) / c, rounded to whole
    // frames at the rate, and scaled by d / d_max (each where the plan asks for it; a speaker
    // without a valid distance is left alone).
    static int compensationDelayFrames(const DecoderPlan& plan, int speaker, float sampleRateHz);
    static float compensationGain(const DecoderPlan& plan, int speaker);

    const DecoderPlan& plan() const { return plan_; }
    float sampleRate() const { return fs_; }
    int capacity() const { return capacity_; }
    int delayFrames(int speaker) const { return delay_[speaker]; } // distance compensation
    int longestDelayFrames() const { return longestDelay_; }
    float speakerGain(int speaker) const { return gain_[speaker]; } // distance compensation

    // Takes new settings for the next n frames: gains at once, near-field coefficients
    // glide towards their targets as the seed's smoothers do (about 0.2 % a sample).
    void apply(const DecoderSettings& settings, int n);
    // n <= capacity frames; outputs 0 to numOutputs - 1 are written, those the plan does not
    // feed with zeros. Every input is read before any output is written, so outputs may be
    // the inputs' buffers.
    void process(const float* const* in, float* const* out, int numOutputs, int n);
    void reset(); // clears every filter state and delay line

private:
    enum class Pattern { SingleBand, Crossover, Shelf };

    void designPattern(const DecoderSettings& s);
    void nearFieldTargets(const DecoderSettings& s);
    void glideNearField(int n);
    void inputStage(const float* const* in, int n);
    void speakerStageDirect(float* const* out, int n);
    void speakerStageNearField(float* const* out, int n);
    float* delayTarget(int speaker, float* scratch, int n);
    void delayOut(int speaker, const float* src, float* dst, int n);
    void flushNonFinite();

    DecoderPlan plan_;
    float fs_;
    int capacity_;
    int speakers_;   // the plan's
    int lanes_;      // speakers_ rounded up to whole vectors (8 or 16 speakers)
    int columns_;    // work channels: 4 (W X Y Z) or 8 (low band, then high band)
    bool subwoofer_; // and room for it among the outputs is checked in process

    // ---- input stage: lanes W, X, Y, Z ----
    DecoderSettings settings_;
    Pattern pattern_ = Pattern::Shelf;
    float patA_[4] = {}, patB_[4] = {}, patGain_[4] = {}, patLow_[4] = {}, patHigh_[4] = {};
    float patZ_[4] = {};
    bool inputNearField_ = false; // on the directional inputs
    float inNfTarget_[3][4] = {}; // g, d, c per lane (lane 0 stays 0: W is never filtered)
    float inNf_[3][4] = {};
    float inNfZ_[4] = {};
    // bass management: Butterworth high-pass and low-pass sections, each run twice
    float hpB_[3] = {}, hpA_[2] = {}, lpB_[3] = {}, lpA_[2] = {};
    float bassState_[4][4][4] = {}; // section (hp1, hp2, lp1, lp2), x1 x2 y1 y2, lane
    // the plan's band split: two one-pole low-passes; the all-pass is 2 * first - input
    float splitK_ = 0.0f, splitA_ = 0.0f;
    float splitState_[4][4] = {}; // x1, y1 of the first, x1, y1 of the second, lane

    std::vector<float> work_; // columns_ x capacity_
    std::vector<float> sub_;  // capacity_

    // ---- speaker stage ----
    std::vector<float> coef_; // [column][lane], distance gain folded in
    bool speakerNearField_ = false;
    std::vector<float> nfTarget_, nf_; // [g, d, c][lane]
    std::vector<float> nfZ_;           // [lane]
    std::vector<float> runs_;          // speakers_ x capacity_, the delayed speakers' feeds
    std::vector<float> feed_;          // capacity_

    int delay_[kMaxOutputs] = {};
    float gain_[kMaxOutputs] = {};
    std::vector<float> ring_; // speakers_ x ringSize_
    int longestDelay_ = 0;
    int ringSize_ = 0; // a power of two, or 0 when nothing is delayed
    int writePos_ = 0;
};
