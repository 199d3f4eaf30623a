// SPDX-License-Identifier: GPL-3.0-or-later
// First-order all-pass, used as a complementary two-band crossover with a gain per band.
// The low band (x + ap) / 2 and the high band (x - ap) / 2 sum to the input.
// Audio thread: Reset, DoAllPass, ProcessAudio. Any thread while no block runs: SetCutOff.
#pragma once

class AllPass {
public:
    explicit AllPass(int capacity); // longest block the filter accepts
    ~AllPass();

    AllPass(const AllPass&) = delete;
    AllPass& operator=(const AllPass&) = delete;

    void Reset() { z = 0.0f; }
    void SetCutOff(float cutoffHz, float sampleRateHz);

    // All-pass with the coefficient given here, not the stored one.
    void DoAllPass(const float* src, float* dst, long n, float coef);

    // Linear band gains: out = low band * gLow + high band * gHigh.
    void ProcessAudio(float* io, float gLow, float gHigh, long n);
    void ProcessAudio(const float* src, float* dst, float gLow, float gHigh, long n);
    // Band gains in dB; the high band is taken as (ap - x), so equal gains give g * ap.
    void ProcessAudio(const float* src, float* dst, float dBLow, float dBHigh, long n, bool);
    void ProcessAudio(float* io, float dBLow, float dBHigh, long n, bool);

    // Clears a state that a non-finite input has poisoned.
    void flushNonFinite();

    float fs = 44100.0f;
    float fc = 700.0f;
    float a = -0.9049287f; // coefficient of 700 Hz at 44100 Hz
    float* buf;
    float z = 0.0f;
    int capacity;

private:
    void combine(const float* src, float* dst, float gLow, float gHigh, long n, bool dBForm);
};

// The all-pass coefficient for a split frequency; shared with the engine's fast path.
float allPassCoefficient(float cutoffHz, float sampleRateHz);
