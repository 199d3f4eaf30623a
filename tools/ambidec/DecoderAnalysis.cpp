// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/DecoderAnalysis.h"

#include <cmath>

namespace kiv::ambidec {

namespace {

std::vector<std::vector<std::complex<double>>>
speakerGains(const std::vector<PlaneWaveResponse>& responses, std::size_t speakers) {
    std::vector<std::vector<std::complex<double>>> gains;
    for (const auto& response : responses)
        gains.emplace_back(response.gains.begin(),
                           response.gains.begin() +
                               static_cast<long>(std::min(speakers, response.gains.size())));
    return gains;
}

} // namespace

DecoderAnalysis analyseDecoder(PluginSession& plugin, const SpeakerLayout& layout, double stepDeg,
                               const MeasurementSettings& settings) {
    DecoderAnalysis analysis;
    analysis.layout = layout;
    const int steps = static_cast<int>(std::lround(360.0 / stepDeg));
    for (int i = 0; i < steps; ++i) analysis.azimuthsDeg.push_back(i * stepDeg);

    plugin.start(static_cast<float>(settings.sampleRateHz), settings.blockSize);
    const std::size_t speakers = layout.speakers.size();
    analysis.lowGains = speakerGains(
        measurePlaneWaves(plugin, analysis.lowHz, analysis.azimuthsDeg, settings), speakers);
    analysis.highGains = speakerGains(
        measurePlaneWaves(plugin, analysis.highHz, analysis.azimuthsDeg, settings), speakers);
    for (std::size_t i = 0; i < analysis.azimuthsDeg.size(); ++i) {
        analysis.velocity.push_back(
            velocityVector(analysis.lowGains[i], layout.speakers, analysis.azimuthsDeg[i]));
        analysis.energy.push_back(
            energyVector(analysis.highGains[i], layout.speakers, analysis.azimuthsDeg[i]));
    }
    return analysis;
}

} // namespace kiv::ambidec
