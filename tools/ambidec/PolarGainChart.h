// SPDX-License-Identifier: GPL-3.0-or-later
// Polar chart of every speaker's gain against source azimuth, front at the top and left to
// the left, as a listener sees the layout from above. Linear amplitude; the stretch of a
// curve where the speaker plays in opposite phase to the total pressure is dashed. The
// speakers are marked on the rim with their numbers (circle: ear height, triangles: above
// or below).
#pragma once

#include "tools/ambidec/PlotCanvas.h"
#include "tools/ambidec/SpeakerLayout.h"

#include <complex>
#include <string>
#include <vector>

namespace kiv::ambidec {

struct PolarGainData {
    std::string title;                                           // above the chart
    const std::vector<double>* azimuthsDeg;                      // source directions
    const std::vector<std::vector<std::complex<double>>>* gains; // [azimuth][speaker]
    const SpeakerLayout* layout;
    double fullScale; // gain at the rim
};

// Draws into the square whose top-left corner is (x, y) with side size.
void drawPolarGainChart(PlotCanvas& canvas, double x, double y, double size,
                        const PolarGainData& data);

// A round full-scale value at or above peak (0.25, 0.5, 0.75, 1, 1.25, 1.5, 2, ...).
double niceFullScale(double peak);

} // namespace kiv::ambidec
