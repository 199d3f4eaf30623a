// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/PlaneWaveMeasurement.h"

#include "tools/ambidec/BFormat.h"

#include <algorithm>
#include <cmath>

namespace kiv::ambidec {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

std::vector<PlaneWaveResponse> measurePlaneWaves(PluginSession& plugin, double frequencyHz,
                                                 const std::vector<double>& azimuthsDeg,
                                                 const MeasurementSettings& settings) {
    const int inputs = plugin.inputs();
    const int outputs = plugin.outputs();
    const int block = settings.blockSize;
    const double omega = 2.0 * kPi * frequencyHz / settings.sampleRateHz;

    // A whole number of periods, so that sine and cosine are orthogonal over the window.
    const double periodFrames = settings.sampleRateHz / frequencyHz;
    const double periods = std::max(1.0, std::round(settings.measureSeconds * frequencyHz));
    const long measureFrames = std::lround(periods * periodFrames);
    const long settleFrames = std::lround(settings.settleSeconds * settings.sampleRateHz);
    const long totalFrames = settleFrames + measureFrames;

    std::vector<std::vector<float>> in(inputs, std::vector<float>(block));
    std::vector<std::vector<float>> out(outputs, std::vector<float>(block));
    std::vector<float*> inPointers, outPointers;
    for (auto& channel : in) inPointers.push_back(channel.data());
    for (auto& channel : out) outPointers.push_back(channel.data());

    std::vector<PlaneWaveResponse> responses;
    responses.reserve(azimuthsDeg.size());
    std::vector<double> sine(block), cosine(block);
    for (double azimuthDeg : azimuthsDeg) {
        const BFormatGains encode =
            encodePlaneWave(azimuthDeg * kPi / 180.0, settings.elevationDeg * kPi / 180.0);
        const double channelGain[4] = {encode.w, encode.x, encode.y, encode.z};
        plugin.restart();
        std::vector<double> inPhase(outputs, 0.0), quadrature(outputs, 0.0);
        for (long start = 0; start < totalFrames; start += block) {
            const int n = static_cast<int>(std::min<long>(block, totalFrames - start));
            for (int i = 0; i < n; ++i) {
                const double phase = omega * static_cast<double>(start + i);
                sine[i] = std::sin(phase);
                cosine[i] = std::cos(phase);
            }
            for (int c = 0; c < inputs; ++c)
                for (int i = 0; i < n; ++i)
                    in[c][i] = static_cast<float>(sine[i] * (c < 4 ? channelGain[c] : 0.0));
            plugin.instance().processReplacing(inPointers.data(), outPointers.data(), n);
            for (int i = 0; i < n; ++i) {
                if (start + i < settleFrames) continue;
                for (int c = 0; c < outputs; ++c) {
                    inPhase[c] += out[c][i] * sine[i];
                    quadrature[c] += out[c][i] * cosine[i];
                }
            }
        }
        // y = A sin(wt + phi) = A cos(phi) sin(wt) + A sin(phi) cos(wt).
        PlaneWaveResponse response{azimuthDeg, {}};
        const double scale = 2.0 / static_cast<double>(measureFrames);
        for (int c = 0; c < outputs; ++c)
            response.gains.emplace_back(inPhase[c] * scale, quadrature[c] * scale);
        responses.push_back(std::move(response));
    }
    return responses;
}

} // namespace kiv::ambidec
