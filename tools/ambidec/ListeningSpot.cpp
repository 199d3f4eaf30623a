// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/ListeningSpot.h"

#include <algorithm>
#include <cmath>

namespace kiv::ambidec {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSpeedOfSound = 343.0;

void applyPaths(std::vector<std::vector<std::complex<double>>>& table, double frequencyHz,
                const std::vector<double>& distances, double farthest) {
    const double k = 2.0 * kPi * frequencyHz / kSpeedOfSound;
    for (auto& gains : table)
        for (std::size_t s = 0; s < gains.size() && s < distances.size(); ++s)
            if (distances[s] > 0.0) // a speaker without a distance is taken as it is
                gains[s] *= std::polar(farthest / distances[s], -k * (distances[s] - farthest));
}

} // namespace

void arriveAtListeningSpot(DecoderAnalysis& analysis, const std::vector<double>& distancesMetres) {
    double farthest = 0.0;
    for (double d : distancesMetres) farthest = std::max(farthest, d);
    if (!(farthest > 0.0)) return;
    applyPaths(analysis.lowGains, analysis.lowHz, distancesMetres, farthest);
    applyPaths(analysis.highGains, analysis.highHz, distancesMetres, farthest);
    applyPaths(analysis.medianLowGains, analysis.lowHz, distancesMetres, farthest);
    applyPaths(analysis.medianHighGains, analysis.highHz, distancesMetres, farthest);
    for (std::size_t i = 0; i < analysis.azimuthsDeg.size(); ++i) {
        analysis.velocity[i] =
            velocityVector(analysis.lowGains[i], analysis.layout.speakers, analysis.azimuthsDeg[i]);
        analysis.energy[i] =
            energyVector(analysis.highGains[i], analysis.layout.speakers, analysis.azimuthsDeg[i]);
    }
}

} // namespace kiv::ambidec
