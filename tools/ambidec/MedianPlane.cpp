// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/MedianPlane.h"

#include <cmath>

namespace kiv::ambidec {

namespace {
constexpr double kPi = 3.14159265358979323846;
} // namespace

double medianPlaneAngleDeg(const SpeakerDirection& direction) {
    const double az = direction.azimuthDeg * kPi / 180.0;
    const double el = direction.elevationDeg * kPi / 180.0;
    const double angle = std::atan2(std::sin(el), std::cos(el) * std::cos(az)) * 180.0 / kPi;
    return angle < 0.0 ? angle + 360.0 : angle;
}

SpeakerDirection medianPlaneDirection(double angleDeg) {
    if (angleDeg <= 90.0) return {0.0, angleDeg};
    if (angleDeg < 270.0) return {180.0, 180.0 - angleDeg};
    return {0.0, angleDeg - 360.0};
}

} // namespace kiv::ambidec
