// SPDX-License-Identifier: GPL-3.0-or-later
// A value typed as a plug-in shows it, for parameters whose units ambidec does not know: one
// of the parameter's display texts ("On", "Cube"), or a number with the parameter's unit
// ("-6dB"). The parameter is stepped through its range and what the plug-in displays at each
// step is read back; the value chosen is the middle of the steps that show the text, or that
// show the number closest to the one typed.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace kiv::ambidec {

// A run of normalised values that the plug-in displays alike.
struct DisplayRun {
    float first;
    float last;
    std::string display;
};

// The runs of a parameter, from displayAt(v) for v = 0, 1/steps, ..., 1.
std::vector<DisplayRun> displayRuns(const std::function<std::string(float)>& displayAt,
                                    int steps = 1000);

// The normalised value that text stands for. label is the parameter's unit label ("dB"); a
// number is read with it or its start ("-6dB", "2.5m" for "Metres"). Throws ToolError naming
// the parameter and what it takes.
float valueFromDisplays(const std::vector<DisplayRun>& runs, const std::string& text,
                        const std::string& label, const std::string& parameterName);

} // namespace kiv::ambidec
