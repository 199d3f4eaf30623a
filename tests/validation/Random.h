// SPDX-License-Identifier: GPL-3.0-or-later
// A small random source for the storms: the same sequence for the same seed.
#pragma once

#include <cstdint>

namespace kiv::validation {

struct Random {
    std::uint32_t state;
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint32_t>(n)); }
    float unit() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }
};

} // namespace kiv::validation
