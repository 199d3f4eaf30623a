// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/pwchain/ChannelPositions.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace kiv::pwchain {

namespace {

struct Position {
    const char* name;
    double azimuthDegrees;
    double elevationDegrees;
};

// The positions a surround or height sound card offers, in order of preference on a tie.
const Position kPositions[] = {
    {"FL", 30, 0},    {"FR", -30, 0},  {"FC", 0, 0},     {"SL", 90, 0},    {"SR", -90, 0},
    {"RL", 150, 0},   {"RR", -150, 0}, {"RC", 180, 0},   {"TFL", 30, 45},  {"TFR", -30, 45},
    {"TFC", 0, 45},   {"TSL", 90, 45}, {"TSR", -90, 45}, {"TRL", 150, 45}, {"TRR", -150, 45},
    {"TRC", 180, 45}, {"TC", 0, 90},
};
constexpr double kFurthestDegrees = 45.0;

double angleBetween(double az1, double el1, double az2, double el2) {
    const double r = M_PI / 180.0;
    const double c = std::sin(el1 * r) * std::sin(el2 * r) +
                     std::cos(el1 * r) * std::cos(el2 * r) * std::cos((az1 - az2) * r);
    return std::acos(std::clamp(c, -1.0, 1.0)) / r;
}

} // namespace

std::vector<std::string> channelPositions(const std::vector<SpeakerFeed>& feeds) {
    // Closest pairs first, so that a speaker does not take a position another one sits on.
    std::vector<std::tuple<double, std::size_t, std::size_t>> pairs;
    for (std::size_t f = 0; f < feeds.size(); ++f) {
        if (feeds[f].subwoofer) continue;
        for (std::size_t p = 0; p < std::size(kPositions); ++p) {
            const double angle =
                angleBetween(feeds[f].azimuthDegrees, feeds[f].elevationDegrees,
                             kPositions[p].azimuthDegrees, kPositions[p].elevationDegrees);
            // Rounded, so that a speaker halfway between two positions takes the first.
            if (angle <= kFurthestDegrees + 1e-9) pairs.emplace_back(std::round(angle * 1e6), f, p);
        }
    }
    std::sort(pairs.begin(), pairs.end());
    std::vector<std::string> names(feeds.size());
    std::vector<bool> taken(std::size(kPositions), false);
    bool lfeTaken = false;
    for (const auto& [angle, f, p] : pairs) {
        if (!names[f].empty() || taken[p]) continue;
        names[f] = kPositions[p].name;
        taken[p] = true;
    }
    for (std::size_t f = 0; f < feeds.size(); ++f) {
        if (!names[f].empty()) continue;
        if (feeds[f].subwoofer && !lfeTaken) {
            names[f] = "LFE";
            lfeTaken = true;
        } else {
            names[f] = "AUX" + std::to_string(f);
        }
    }
    return names;
}

} // namespace kiv::pwchain
