// SPDX-License-Identifier: GPL-3.0-or-later
// The picture `ambidec plot` writes: a title naming the plug-in, program and decoder; the
// polar gain charts at the low and the high frequency; the rV and rE magnitudes and
// direction errors against azimuth; a legend of the speakers; summary figures.
#pragma once

#include "tools/ambidec/DecoderAnalysis.h"

#include <string>
#include <vector>

namespace kiv::ambidec {

struct PlotTexts {
    std::string title;
    std::vector<std::string> subtitle;      // one line each
    std::vector<std::string> speakerLabels; // the plug-in's output pin labels
    std::string footer;
};

// The lowest, mean and highest finite magnitude of a series, and its largest |error|;
// NaN when no azimuth has one. rV is undefined where the speakers give no pressure.
struct SeriesSummary {
    double minimum, mean, maximum, largestErrorDeg;
    int undefined = 0; // azimuths without a magnitude
    int figures = 0;   // azimuths in all
};
SeriesSummary summarise(const std::vector<DirectionFigure>& figures);

// The summary in words, never "nan": "rV at 100 Hz 0.612 to 0.707 (largest error 3.2 deg)",
// or "rV at 100 Hz undefined at every azimuth (no pressure)". detailed adds the mean and
// the picture's wording.
std::string describeSeries(const std::string& name, const SeriesSummary& s, bool detailed);

// Writes the PNG to the open descriptor fd; path is for messages. Throws ToolError.
void writeDecoderPlot(int fd, const std::string& path, const DecoderAnalysis& analysis,
                      const PlotTexts& texts);

} // namespace kiv::ambidec
