// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/BFormatConversion.h"

namespace {

// out[c] = in[source[c]] x gain[c], one frame at a time.
struct ChannelMap {
    int source[kBFormatChannels];
    float gain[kBFormatChannels];
};

// FuMa W, X, Y, Z from ACN 0, 3, 1, 2.
constexpr ChannelMap kAmbiXToFuMa = {{0, 3, 1, 2}, {kAmbiXToFuMaW, 1.0f, 1.0f, 1.0f}};
// ACN 0, 1, 2, 3 from FuMa W, Y, Z, X.
constexpr ChannelMap kFuMaToAmbiX = {{0, 2, 3, 1}, {kFuMaToAmbiXW, 1.0f, 1.0f, 1.0f}};

} // namespace

void convertBFormat(BFormatDirection direction, const float* const* inputs, float* const* outputs,
                    long frames) {
    const ChannelMap& map =
        direction == BFormatDirection::FuMaToAmbiX ? kFuMaToAmbiX : kAmbiXToFuMa;
    const float* in0 = inputs[0];
    const float* in1 = inputs[1];
    const float* in2 = inputs[2];
    const float* in3 = inputs[3];
    for (long i = 0; i < frames; ++i) {
        const float frame[kBFormatChannels] = {in0[i], in1[i], in2[i], in3[i]};
        for (int c = 0; c < kBFormatChannels; ++c)
            outputs[c][i] = frame[map.source[c]] * map.gain[c];
    }
}
