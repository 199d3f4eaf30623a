// SPDX-License-Identifier: GPL-3.0-or-later
// Steady-state response of a plug-in to sine plane waves: for each source direction the
// plug-in is resumed (filter states cleared), fed the FuMa encoding of a unit sine through
// processReplacing until its filters have settled, and every output's amplitude and phase
// are measured by correlation with the sine over a whole number of periods.
//
// Thread: the main thread; the plug-in must have been started (PluginSession::start) at
// sampleRateHz with blockSize.
#pragma once

#include "tools/ambidec/PluginSession.h"

#include <complex>
#include <vector>

namespace kiv::ambidec {

struct MeasurementSettings {
    double sampleRateHz = 48000.0;
    int blockSize = 480;
    double settleSeconds = 0.25; // longer than every filter's decay at 48 kHz
    double measureSeconds = 0.1; // rounded to whole periods of the frequency
    double elevationDeg = 0.0;
};

// Complex gain of every plug-in output (index = output channel) for one direction:
// amplitude relative to the source's pressure, phase relative to the source's sine.
struct PlaneWaveResponse {
    double azimuthDeg;
    std::vector<std::complex<double>> gains;
};

std::vector<PlaneWaveResponse> measurePlaneWaves(PluginSession& plugin, double frequencyHz,
                                                 const std::vector<double>& azimuthsDeg,
                                                 const MeasurementSettings& settings);

} // namespace kiv::ambidec
