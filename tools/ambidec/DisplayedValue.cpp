// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/DisplayedValue.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>

#include "tools/ambidec/NumberText.h"
#include "tools/ambidec/ParameterValue.h"
#include "tools/ambidec/ToolError.h"

namespace kiv::ambidec {

namespace {

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string lowerWithoutBlanks(const std::string& text) {
    std::string out;
    for (char c : text)
        if (c != ' ') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// "-6dB" as -6 and "db"; nothing when text does not start with a number.
std::optional<double> numberWithUnit(const std::string& text, std::string& unit) {
    std::size_t end = text.size();
    while (end > 0 && std::isalpha(static_cast<unsigned char>(text[end - 1]))) --end;
    unit = foldName(text.substr(end));
    return parseNumber(trimmed(text.substr(0, end)));
}

// The value standing for a run: an end of the range when the run reaches it (a switch is 0 or
// 1), otherwise its middle, away from the rounding at its edges.
float middle(const DisplayRun& run) {
    if (run.first == 0.0f) return 0.0f;
    if (run.last == 1.0f) return 1.0f;
    return 0.5f * (run.first + run.last);
}

std::string numberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

} // namespace

std::vector<DisplayRun> displayRuns(const std::function<std::string(float)>& displayAt, int steps) {
    std::vector<DisplayRun> runs;
    for (int k = 0; k <= steps; ++k) {
        const float v = static_cast<float>(k) / static_cast<float>(steps);
        const std::string shown = trimmed(displayAt(v));
        if (!runs.empty() && runs.back().display == shown)
            runs.back().last = v;
        else
            runs.push_back({v, v, shown});
    }
    return runs;
}

float valueFromDisplays(const std::vector<DisplayRun>& runs, const std::string& typed,
                        const std::string& label, const std::string& parameterName) {
    const std::string text = trimmed(typed);
    const std::string name = trimmed(parameterName);
    // A text as displayed, without regard to case or blanks; numbers are read with their
    // unit below, so that "6.0" never stands for "-6.0".
    const std::string wanted = lowerWithoutBlanks(text);
    for (const DisplayRun& run : runs)
        if (!wanted.empty() && !parseNumber(run.display) &&
            lowerWithoutBlanks(run.display) == wanted)
            return middle(run);

    // The runs that show a number, for a value typed with its unit.
    double lowest = INFINITY, highest = -INFINITY;
    for (const DisplayRun& run : runs)
        if (const auto shown = parseNumber(run.display)) {
            lowest = std::fmin(lowest, *shown);
            highest = std::fmax(highest, *shown);
        }
    const bool numeric = lowest <= highest;
    const std::string unit = foldName(label);
    std::string typedUnit;
    const auto number = numberWithUnit(text, typedUnit);
    if (numeric && number && !typedUnit.empty() && unit.rfind(typedUnit, 0) == 0) {
        if (*number < lowest || *number > highest)
            throw ToolError(name + ": '" + text + "' is out of range (" + numberText(lowest) +
                                trimmed(label) + " to " + numberText(highest) + trimmed(label) +
                                ")",
                            ToolError::kUsage);
        const DisplayRun* best = nullptr;
        double bestDistance = INFINITY;
        for (const DisplayRun& run : runs)
            if (const auto shown = parseNumber(run.display))
                if (std::fabs(*shown - *number) < bestDistance) {
                    bestDistance = std::fabs(*shown - *number);
                    best = &run;
                }
        return middle(*best);
    }

    std::string takes = "a normalised value, 0 to 1";
    if (numeric) {
        takes += ", or a value from " + numberText(lowest) + trimmed(label) + " to " +
                 numberText(highest) + trimmed(label);
    } else if (runs.size() <= 40) {
        takes += ", or one of: ";
        for (std::size_t i = 0; i < runs.size(); ++i) takes += (i ? ", " : "") + runs[i].display;
    }
    throw ToolError(name + ": cannot read '" + text + "' (" + takes + ")", ToolError::kUsage);
}

} // namespace kiv::ambidec
