// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/DecoderAnalysis.h"

#include "tools/ambidec/MedianPlane.h"

#include <algorithm>
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
    if (layout.withHeight) {
        // The median plane, one elevation at a time: ahead and behind at each.
        const double medianStepDeg = std::max(stepDeg, 2.0);
        const int count = static_cast<int>(std::lround(360.0 / medianStepDeg));
        for (int i = 0; i < count; ++i) analysis.medianAnglesDeg.push_back(i * medianStepDeg);
        for (const double angle : analysis.medianAnglesDeg) {
            const SpeakerDirection d = medianPlaneDirection(angle);
            MeasurementSettings at = settings;
            at.elevationDeg = d.elevationDeg;
            analysis.medianLowGains.push_back(speakerGains(
                measurePlaneWaves(plugin, analysis.lowHz, {d.azimuthDeg}, at), speakers)[0]);
            analysis.medianHighGains.push_back(speakerGains(
                measurePlaneWaves(plugin, analysis.highHz, {d.azimuthDeg}, at), speakers)[0]);
        }
    }
    for (std::size_t i = 0; i < analysis.azimuthsDeg.size(); ++i) {
        analysis.velocity.push_back(
            velocityVector(analysis.lowGains[i], layout.speakers, analysis.azimuthsDeg[i]));
        analysis.energy.push_back(
            energyVector(analysis.highGains[i], layout.speakers, analysis.azimuthsDeg[i]));
    }
    return analysis;
}

} // namespace kiv::ambidec
