// SPDX-License-Identifier: GPL-3.0-or-later
// Directions in the median plane, the vertical plane through front, top, back and bottom:
// an angle from the front upwards (0 front, 90 up, 180 behind, 270 down), degrees.
#pragma once

#include "tools/ambidec/SpeakerLayout.h"

namespace kiv::ambidec {

// The angle of a direction projected onto the median plane, 0 to 360.
double medianPlaneAngleDeg(const SpeakerDirection& direction);
// The direction at an angle of the median plane (azimuth 0 or 180).
SpeakerDirection medianPlaneDirection(double angleDeg);

} // namespace kiv::ambidec
