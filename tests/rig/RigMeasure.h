// SPDX-License-Identifier: GPL-3.0-or-later
// Plane waves through a plan, for the rig tests: speaker directions of a layout and the worst
// rE direction error of a matrix over a set of directions.
#pragma once

#include <vector>

#include "engine/DecoderPlan.h"
#include "rig/Layout.h"
#include "rig/PlaneWave.h"

std::vector<Vec3> speakerDirections(const Layout& layout);

// The largest angle between rE and the wave's direction, degrees.
double worstReErrorDegrees(const double (*matrix)[4], const std::vector<Vec3>& speakers,
                           const std::vector<Vec3>& directions);

// Directions of the sphere from the lowest real speaker's elevation up (or the horizon for a
// horizontal layout): what a rig that is closed above can be asked to reproduce.
std::vector<Vec3> spannedDirections(const Layout& layout);
