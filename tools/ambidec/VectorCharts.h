// SPDX-License-Identifier: GPL-3.0-or-later
// Line charts of the velocity and energy vectors against source azimuth (-180 to 180
// degrees, positive to the left): their magnitudes, and their direction errors (the
// vector's azimuth minus the source's). Speaker azimuths are marked along the top edge.
#pragma once

#include "tools/ambidec/DirectionVectors.h"
#include "tools/ambidec/PlotCanvas.h"
#include "tools/ambidec/SpeakerLayout.h"

#include <string>
#include <vector>

namespace kiv::ambidec {

struct VectorSeries {
    std::string label;
    const std::vector<DirectionFigure>* figures;
    Colour colour;
};

struct VectorChartData {
    std::string title;
    const std::vector<double>* azimuthsDeg;
    std::vector<VectorSeries> series;
    const SpeakerLayout* layout;
};

// Magnitudes, 0 to at least 1, with the ideal of 1 marked.
void drawMagnitudeChart(PlotCanvas& canvas, double x, double y, double w, double h,
                        const VectorChartData& data);
// Direction errors in degrees, symmetric about 0.
void drawErrorChart(PlotCanvas& canvas, double x, double y, double w, double h,
                    const VectorChartData& data);

} // namespace kiv::ambidec
