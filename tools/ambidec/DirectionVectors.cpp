// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/DirectionVectors.h"

#include <cmath>
#include <limits>

namespace kiv::ambidec {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegrees = 180.0 / kPi;
constexpr double kTiny = 1e-12;

struct Vector3 {
    double x = 0, y = 0, z = 0;
};

Vector3 unitVector(const SpeakerDirection& d) {
    const double az = d.azimuthDeg / kDegrees;
    const double el = d.elevationDeg / kDegrees;
    return {std::cos(az) * std::cos(el), std::sin(az) * std::cos(el), std::sin(el)};
}

DirectionFigure figureOf(const Vector3& r, double sourceAzimuthDeg) {
    const double magnitude = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z);
    if (!(magnitude > kTiny)) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return {magnitude, nan, nan, nan};
    }
    const double azimuth = std::atan2(r.y, r.x) * kDegrees;
    const double elevation = std::asin(r.z / magnitude) * kDegrees;
    return {magnitude, azimuth, elevation, angleDifferenceDeg(azimuth, sourceAzimuthDeg)};
}

} // namespace

double angleDifferenceDeg(double a, double b) {
    double d = std::fmod(a - b, 360.0);
    if (d > 180.0) d -= 360.0;
    if (d <= -180.0) d += 360.0;
    return d;
}

DirectionFigure velocityVector(const std::vector<std::complex<double>>& gains,
                               const std::vector<SpeakerDirection>& speakers,
                               double sourceAzimuthDeg) {
    std::complex<double> pressure = 0;
    std::complex<double> vx = 0, vy = 0, vz = 0;
    for (std::size_t i = 0; i < speakers.size() && i < gains.size(); ++i) {
        const Vector3 u = unitVector(speakers[i]);
        pressure += gains[i];
        vx += gains[i] * u.x;
        vy += gains[i] * u.y;
        vz += gains[i] * u.z;
    }
    const double power = std::norm(pressure);
    if (!(power > kTiny)) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan, nan, nan};
    }
    const std::complex<double> p = std::conj(pressure);
    const Vector3 r{(vx * p).real() / power, (vy * p).real() / power, (vz * p).real() / power};
    return figureOf(r, sourceAzimuthDeg);
}

DirectionFigure energyVector(const std::vector<std::complex<double>>& gains,
                             const std::vector<SpeakerDirection>& speakers,
                             double sourceAzimuthDeg) {
    double energy = 0;
    Vector3 sum;
    for (std::size_t i = 0; i < speakers.size() && i < gains.size(); ++i) {
        const Vector3 u = unitVector(speakers[i]);
        const double e = std::norm(gains[i]);
        energy += e;
        sum.x += e * u.x;
        sum.y += e * u.y;
        sum.z += e * u.z;
    }
    if (!(energy > kTiny)) {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        return {nan, nan, nan, nan};
    }
    return figureOf({sum.x / energy, sum.y / energy, sum.z / energy}, sourceAzimuthDeg);
}

} // namespace kiv::ambidec
