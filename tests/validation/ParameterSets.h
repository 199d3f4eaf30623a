// SPDX-License-Identifier: GPL-3.0-or-later
// Named parameter sets (normalised values, parameter order 0 to 6) that between them run
// every variant of the processing chain: the three spatial-EQ modes, near-field
// compensation off, pole only and full, and several layouts.
#pragma once

#include <array>
#include <limits>
#include <vector>

#include "tools/vsthost/VstHost.h"

namespace kiv::validation {

struct ParameterSet {
    const char* name;
    std::array<float, 7> values;
};

inline const std::vector<ParameterSet>& chainVariants() {
    static const std::vector<ParameterSet> sets = {
        {"shelf, no compensation", {0.65f, 0.75f, 0.28695652f, 0.0f, 1.0f, 1.0f, 1.0f}},
        {"crossover, full near-field", {0.4f, 0.8f, 0.5f, 3.0f / 6.0f, 0.2f, 0.0666667f, 0.5f}},
        {"single band, pole-only near-field", {0.7f, 0.3f, 0.1f, 1.0f, 0.1f, 1.0f, 0.1f}},
        {"shelf, full near-field", {0.55f, 0.9f, 0.9f, 5.0f / 6.0f, 0.0f, 0.3f, 0.8f}},
    };
    return sets;
}

// Normalised values a hostile host sends through setParameter: the ends, out of range,
// non-finite and subnormal.
inline constexpr float kHostileValues[] = {0.0f,
                                           1.0f,
                                           0.5f,
                                           std::numeric_limits<float>::quiet_NaN(),
                                           std::numeric_limits<float>::infinity(),
                                           -std::numeric_limits<float>::infinity(),
                                           -1.0f,
                                           2.0f,
                                           1e-40f,
                                           -1e-40f,
                                           std::numeric_limits<float>::denorm_min(),
                                           std::numeric_limits<float>::min() / 2.0f,
                                           std::numeric_limits<float>::max()};

// Sets all seven values through the record, in parameter order.
inline void apply(vsthost::PluginInstance& instance, const ParameterSet& set) {
    for (int k = 0; k < 7; ++k) instance.setParameter(k, set.values[k]);
}

} // namespace kiv::validation
