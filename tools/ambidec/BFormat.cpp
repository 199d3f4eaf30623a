// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/BFormat.h"

#include <cmath>

namespace kiv::ambidec {

namespace {
constexpr double kInverseSqrt2 = 0.70710678118654752440;
constexpr int kAcnOfFuMa[4] = {0, 3, 1, 2}; // W, X, Y, Z
} // namespace

BFormatGains encodePlaneWave(double azimuthRadians, double elevationRadians) {
    const double horizontal = std::cos(elevationRadians);
    return {kInverseSqrt2, std::cos(azimuthRadians) * horizontal,
            std::sin(azimuthRadians) * horizontal, std::sin(elevationRadians)};
}

bool acceptsFileChannels(InputFormat format, int fileChannels) {
    return format == InputFormat::AmbiX ? fileChannels == 4
                                        : fileChannels == 3 || fileChannels == 4;
}

void splitToPluginInputs(const float* interleaved, int fileChannels, InputFormat format,
                         long frames, float* const* inputs, int pluginInputs) {
    if (format == InputFormat::FuMa) {
        for (long i = 0; i < frames; ++i)
            for (int c = 0; c < pluginInputs; ++c)
                inputs[c][i] = c < fileChannels ? interleaved[i * fileChannels + c] : 0.0f;
        return;
    }
    const float w = static_cast<float>(kInverseSqrt2);
    for (long i = 0; i < frames; ++i) {
        const float* frame = interleaved + i * fileChannels;
        inputs[0][i] = frame[kAcnOfFuMa[0]] * w;
        for (int c = 1; c < pluginInputs && c < 4; ++c) inputs[c][i] = frame[kAcnOfFuMa[c]];
    }
}

} // namespace kiv::ambidec
