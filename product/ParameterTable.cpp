// SPDX-License-Identifier: GPL-3.0-or-later
#include "product/ParameterTable.h"

#include <cmath>
#include <cstdio>

float physicalFromNormalised(const ParameterRow& row, float normalised) {
    // The same single-precision steps as the engine's setters (value x span + minimum).
    const float physical = normalised * (row.maximum - row.minimum) + row.minimum;
    return row.unit == ParameterUnit::Choice ? std::floor(physical + 0.5f) : physical;
}

float normalisedFromPhysical(const ParameterRow& row, float physical) {
    if (row.unit == ParameterUnit::Choice) physical = std::floor(physical + 0.5f);
    // A choice k of n + 1 gives k / n, the value the factory programs store.
    return (physical - row.minimum) / (row.maximum - row.minimum);
}

void formatParameterNumber(const ParameterRow& row, float shown, char* text, int size) {
    if (!text || size <= 0) return;
    if (row.display == ParameterDisplay::NumberOrOff && shown == kDistanceOffMetres) {
        std::snprintf(text, static_cast<std::size_t>(size), "%s", row.offText);
        return;
    }
    // Rounded as the editor's displays round; the interface's display text is 8 characters.
    char rounded[32];
    std::snprintf(rounded, sizeof rounded, "%1.*f", row.decimals, static_cast<double>(shown));
    std::snprintf(text, static_cast<std::size_t>(size), "%.8s", rounded);
}
