// SPDX-License-Identifier: GPL-3.0-or-later
// PipeWire channel positions for a rig's speaker feeds: each speaker gets the standard
// position nearest its direction (ear level and the height ring), no position twice; a
// speaker with no standard position within 45 degrees gets AUX<output index>, a subwoofer
// feed LFE. A session manager links and remixes streams by these names.
#pragma once

#include <string>
#include <vector>

namespace kiv::pwchain {

struct SpeakerFeed {
    double azimuthDegrees;   // anticlockwise from straight ahead, any turn
    double elevationDegrees; // up positive
    bool subwoofer;
};

// One position name per feed, in feed order.
std::vector<std::string> channelPositions(const std::vector<SpeakerFeed>& feeds);

} // namespace kiv::pwchain
