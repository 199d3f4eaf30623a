// SPDX-License-Identifier: GPL-3.0-or-later
#include "rig/PlaneWave.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr double kPi = 3.141592653589793;
}

Vec3 unitVector(double azimuthDegrees, double elevationDegrees) {
    const double a = azimuthDegrees * kPi / 180.0, e = elevationDegrees * kPi / 180.0;
    return {std::cos(a) * std::cos(e), std::sin(a) * std::cos(e), std::sin(e)};
}

std::array<double, 4> fumaOfDirection(const Vec3& u) {
    return {std::sqrt(0.5), u[0], u[1], u[2]};
}

PlaneWaveResponse planeWaveResponse(const double (*matrix)[4], const std::vector<Vec3>& speakers,
                                    const Vec3& direction) {
    const std::array<double, 4> in = fumaOfDirection(direction);
    PlaneWaveResponse r;
    for (size_t s = 0; s < speakers.size(); ++s) {
        double g = 0.0;
        for (int c = 0; c < 4; ++c) g += matrix[s][c] * in[c];
        r.pressure += g;
        r.energy += g * g;
        for (int k = 0; k < 3; ++k) {
            r.rV[k] += g * speakers[s][k];
            r.rE[k] += g * g * speakers[s][k];
        }
    }
    for (int k = 0; k < 3; ++k) {
        r.rV[k] = r.pressure != 0.0 ? r.rV[k] / r.pressure : 0.0;
        r.rE[k] = r.energy != 0.0 ? r.rE[k] / r.energy : 0.0;
    }
    return r;
}

double lengthOf(const Vec3& v) {
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

double angleDegrees(const Vec3& v, const Vec3& direction) {
    const double n = lengthOf(v);
    if (n == 0.0) return 180.0;
    const double c = (v[0] * direction[0] + v[1] * direction[1] + v[2] * direction[2]) / n;
    return std::acos(std::clamp(c, -1.0, 1.0)) * 180.0 / kPi;
}

std::vector<Vec3> sampleDirections(int count, bool horizontal) {
    std::vector<Vec3> d;
    d.reserve(static_cast<size_t>(count));
    if (horizontal) {
        for (int i = 0; i < count; ++i) {
            const double a = 2.0 * kPi * (i + 0.5) / count;
            d.push_back({std::cos(a), std::sin(a), 0.0});
        }
        return d;
    }
    const double golden = kPi * (3.0 - std::sqrt(5.0));
    for (int i = 0; i < count; ++i) {
        const double z = 1.0 - (2.0 * i + 1.0) / count;
        const double r = std::sqrt(std::max(0.0, 1.0 - z * z));
        const double a = golden * i;
        d.push_back({r * std::cos(a), r * std::sin(a), z});
    }
    return d;
}
