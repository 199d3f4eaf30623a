// SPDX-License-Identifier: GPL-3.0-or-later
// The monitor's plan for a set and a rig: for each speaker feed, the set's interpolated
// response pair at that speaker's direction. Not on the audio thread.
#pragma once

#include <memory>
#include <vector>

#include "engine/BinauralPlan.h"
#include "hrtf/HrtfSet.h"

struct BinauralDirection {
    double azimuthDegrees = 0.0;   // anticlockwise seen from above, 0 straight ahead
    double elevationDegrees = 0.0; // up positive
};

// One feed per direction, in order (at most BinauralPlan::kMaxFeeds; throws
// std::invalid_argument beyond), at the set's sampleRate() and length().
std::shared_ptr<const BinauralPlan>
makeBinauralPlan(const HrtfSet& set, const std::vector<BinauralDirection>& speakers);
