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

// How many channels a file of this format must have to feed a plug-in with pluginInputs
// inputs: FuMa files match the inputs; AmbiX files are full first order (4 channels), and a
// 3-input plug-in ignores their Z.
int fileChannelsFor(InputFormat format, int pluginInputs);

// Splits frames of interleaved file samples into the plug-in's input channels, converting
// AmbiX (ACN 0 to 3 = W, Y, Z, X with SN3D) to FuMa: W = ACN0 / sqrt 2, X = ACN3,
// Y = ACN1, Z = ACN2. fileChannels must be fileChannelsFor(format, pluginInputs).
void splitToPluginInputs(const float* interleaved, int fileChannels, InputFormat format,
                         long frames, float* const* inputs, int pluginInputs);

} // namespace kiv::ambidec
