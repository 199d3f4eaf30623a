// SPDX-License-Identifier: GPL-3.0-or-later
// Polar chart of every speaker's gain against source azimuth, front at the top and left to
// the left, as a listener sees the layout from above; or, seen from the left, against the
// source's angle in the median plane (front to the right, up at the top). Linear amplitude;
// a speaker above ear height is dotted, the stretch of a curve where the speaker plays in
// opposite phase to the total pressure is dashed (dash-dotted above). The speakers are
// marked on the rim with their numbers from 1 (circle: ear height, triangles: above or
// below); in the side view those on the right sit further out.
#pragma once

#include "tools/ambidec/PlotCanvas.h"
#include "tools/ambidec/SpeakerLayout.h"

#include <complex>
#include <string>
#include <vector>

namespace kiv::ambidec {

struct PolarGainData {
    std::string title; // above the chart
    // Source directions: azimuths, or in the side view the angle in the median plane from
    // the front upwards (0 front, 90 up, 180 behind, 270 down).
    const std::vector<double>* azimuthsDeg;
    const std::vector<std::vector<std::complex<double>>>* gains; // [azimuth][speaker]
    const SpeakerLayout* layout;
    double fullScale; // gain at the rim
    bool sideView = false;
};

// Draws into the square whose top-left corner is (x, y) with side size.
void drawPolarGainChart(PlotCanvas& canvas, double x, double y, double size,
                        const PolarGainData& data);

// A round full-scale value at or above peak (0.25, 0.5, 0.75, 1, 1.25, 1.5, 2, ...).
double niceFullScale(double peak);

} // namespace kiv::ambidec
