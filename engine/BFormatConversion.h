// SPDX-License-Identifier: GPL-3.0-or-later
// First-order B-format between its two conventions: FuMa (W, X, Y, Z, W 3 dB down), which
// the decoders take, and AmbiX (ACN 0 to 3 = W, Y, Z, X with SN3D weighting, W at full
// level). AmbiX to FuMa: W = ACN0 / sqrt 2, X = ACN3, Y = ACN1, Z = ACN2; FuMa to AmbiX is
// the inverse. No state; any thread; allocates nothing.
#pragma once

enum class BFormatDirection : int {
    AmbiXToFuMa = 0,
    FuMaToAmbiX = 1,
};

constexpr int kBFormatChannels = 4;

// The gain applied to W on the way from AmbiX to FuMa (1 / sqrt 2 in single precision) and
// back (sqrt 2).
inline constexpr float kAmbiXToFuMaW = 0.70710678118654752440f;
inline constexpr float kFuMaToAmbiXW = 1.41421356237309504880f;

// Converts frames of four channels. Each output channel may be the very buffer of any input
// channel (the host's in-place processing): a frame is read whole before it is written.
// Buffers that overlap only partly are not supported.
void convertBFormat(BFormatDirection direction, const float* const* inputs, float* const* outputs,
                    long frames);
