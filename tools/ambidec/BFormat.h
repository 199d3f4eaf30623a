// SPDX-License-Identifier: GPL-3.0-or-later
// First-order B-format as the decoders take it: W, X, Y, Z (FuMa order and weighting, W
// at -3 dB), azimuth anticlockwise from straight ahead (positive Y is left), elevation
// positive upwards, angles in radians.
#pragma once

#include "tools/ambidec/CommandLine.h"

namespace kiv::ambidec {

struct BFormatGains {
    double w, x, y, z;
};

// The channel gains of a plane wave of unit pressure arriving from a direction.
BFormatGains encodePlaneWave(double azimuthRadians, double elevationRadians);

// Whether a file with fileChannels channels holds first-order B-format of this format:
// FuMa W, X, Y or W, X, Y, Z (3 or 4 channels); AmbiX ACN 0 to 3 (4 channels).
bool acceptsFileChannels(InputFormat format, int fileChannels);

// Splits frames of interleaved file samples into the plug-in's input channels, converting
// AmbiX (ACN 0 to 3 = W, Y, Z, X with SN3D) to FuMa: W = ACN0 / sqrt 2, X = ACN3,
// Y = ACN1, Z = ACN2. A file without Z feeds a silent Z; a plug-in without a Z input
// ignores the file's. fileChannels must be accepted by acceptsFileChannels.
void splitToPluginInputs(const float* interleaved, int fileChannels, InputFormat format,
                         long frames, float* const* inputs, int pluginInputs);

} // namespace kiv::ambidec
