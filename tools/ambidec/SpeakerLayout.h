// The loudspeaker directions of the decoders the two plug-ins offer, per catalogue number,
// in output-channel order. Degrees; azimuth anticlockwise from straight ahead (positive is
// left), elevation positive upwards. Used to mark the speakers in the plots and to weigh
// the speaker gains into velocity and energy vectors.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kiv::ambidec {

struct SpeakerDirection {
    double azimuthDeg;
    double elevationDeg;
};

struct SpeakerLayout {
    std::string description; // such as "ITU 5.0, 4 speakers (no centre)"
    std::vector<SpeakerDirection> speakers;
    bool withHeight;
};

// Empty for a catalogue number that neither plug-in offers.
std::optional<SpeakerLayout> speakerLayoutOf(int decoderNumber);

} // namespace kiv::ambidec
