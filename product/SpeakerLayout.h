// SPDX-License-Identifier: GPL-3.0-or-later
// The loudspeaker directions of the decoders the two products offer, per catalogue
// decoder, in output-channel order (they agree with the output pin labels of
// OutputPinNames.h). Degrees; azimuth anticlockwise from straight ahead (positive is
// left), elevation positive upwards. The editor draws them; the tools mark the speakers
// in their plots and weigh the speaker gains into velocity and energy vectors.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "engine/DecShape.h"

struct SpeakerDirection {
    double azimuthDeg;
    double elevationDeg;
};

struct SpeakerLayout {
    std::string description; // such as "ITU 5.0, 4 speakers (no centre)"
    std::vector<SpeakerDirection> speakers;
    bool withHeight;
};

// Empty for a catalogue decoder that neither product offers.
std::optional<SpeakerLayout> speakerLayoutOf(DecShape decoder);
// The same by catalogue number; empty also for numbers outside the catalogue.
std::optional<SpeakerLayout> speakerLayoutOf(int decoderNumber);
