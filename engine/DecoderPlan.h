// SPDX-License-Identifier: GPL-3.0-or-later
// A first-order decoder for a loudspeaker rig of up to 32 speakers, as the layout decoder
// runs it: the matrices designed for the rig or read from a preset, with everything the
// preset's own input scaling, order gains and band ratio asked for already folded in, and
// the speakers' distances for compensation. Plain data: built off the audio thread, handed
// whole to the engine, which copies what it needs when it is prepared.
#pragma once

struct DecoderPlan {
    static constexpr int kMaxSpeakers = 32;
    static constexpr int kInputs = 4; // FuMa W, X, Y, Z

    enum class NearField {
        None,   // no near-field compensation
        Input,  // once, at nearFieldDistanceMetres, on the directional inputs
        Output, // per speaker, each at its own distance
    };

    int numSpeakers = 0;

    // Gain from each FuMa input (W, X, Y, Z) to each speaker. With one band only `lf` is
    // used, at every frequency; with two, `lf` below crossoverHz and `hf` above it.
    bool twoBand = false;
    double crossoverHz = 400.0;
    double lf[kMaxSpeakers][kInputs] = {};
    double hf[kMaxSpeakers][kInputs] = {};

    // Each speaker's distance from the listener, metres (> 0).
    double distanceMetres[kMaxSpeakers] = {};
    // Delay each speaker by (d_max - d) / c and scale it by d / d_max.
    bool delayCompensation = false;
    bool levelCompensation = false;

    NearField nearField = NearField::None;
    double nearFieldDistanceMetres = 0.0; // with NearField::Input

    // Bass management: W low-passed at subCrossoverHz to output numSpeakers (0-based), the
    // speaker feeds high-passed at the same frequency (Linkwitz-Riley, 4th order).
    bool subwoofer = false;
    double subCrossoverHz = 80.0;
};
