// SPDX-License-Identifier: GPL-3.0-or-later
// Velocity and energy vectors of a decoder's speaker gains for one source: the figures of
// localisation at low frequencies (rV, from the signed amplitudes) and at high frequencies
// (rE, from the energies). Gains are complex (amplitude and phase relative to the source);
// rV is the real part of V / P with P = sum g_i and V = sum g_i u_i, so a speaker in
// antiphase counts negative; rE = sum |g_i|^2 u_i / sum |g_i|^2.
#pragma once

#include "tools/ambidec/SpeakerLayout.h"

#include <complex>
#include <vector>

namespace kiv::ambidec {

struct DirectionFigure {
    double magnitude;  // |r|, 1 for a single speaker in the source's direction
    double azimuthDeg; // direction of r
    double elevationDeg;
    double azimuthErrorDeg; // azimuth of r minus the source's, -180 to 180; NaN when |r| ~ 0
};

DirectionFigure velocityVector(const std::vector<std::complex<double>>& gains,
                               const std::vector<SpeakerDirection>& speakers,
                               double sourceAzimuthDeg);

DirectionFigure energyVector(const std::vector<std::complex<double>>& gains,
                             const std::vector<SpeakerDirection>& speakers,
                             double sourceAzimuthDeg);

// a - b wrapped to -180 .. 180 degrees.
double angleDifferenceDeg(double a, double b);

} // namespace kiv::ambidec
