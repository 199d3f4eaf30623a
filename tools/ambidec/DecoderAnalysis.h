// SPDX-License-Identifier: GPL-3.0-or-later
// The picture of a decoder as measured through the plug-in's audio path: plane waves from
// every azimuth (horizontal, 1 degree steps by default) at a low and a high frequency, each
// speaker's steady-state gain, and from those the velocity vector rV (low frequency) and
// the energy vector rE (high frequency) with their direction errors.
//
// Thread: the main thread.
#pragma once

#include "tools/ambidec/DirectionVectors.h"
#include "tools/ambidec/PlaneWaveMeasurement.h"
#include "tools/ambidec/SpeakerLayout.h"

namespace kiv::ambidec {

struct DecoderAnalysis {
    SpeakerLayout layout;
    double lowHz = 100.0;
    double highHz = 5000.0;
    std::vector<double> azimuthsDeg;
    // [azimuth][speaker]: the layout's speakers only (outputs beyond them carry silence).
    std::vector<std::vector<std::complex<double>>> lowGains, highGains;
    std::vector<DirectionFigure> velocity; // rV at lowHz, per azimuth
    std::vector<DirectionFigure> energy;   // rE at highHz, per azimuth
    // Layouts with height: the same gains for sources in the median plane, by angle from the
    // front upwards (0 front, 90 up, 180 behind, 270 down); empty for the others.
    std::vector<double> medianAnglesDeg;
    std::vector<std::vector<std::complex<double>>> medianLowGains, medianHighGains;
};

// Starts the plug-in at settings.sampleRateHz and measures it with its current program and
// parameters.
DecoderAnalysis analyseDecoder(PluginSession& plugin, const SpeakerLayout& layout,
                               double stepDeg = 1.0,
                               const MeasurementSettings& settings = MeasurementSettings{});

} // namespace kiv::ambidec
