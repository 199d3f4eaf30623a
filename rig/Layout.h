// SPDX-License-Identifier: GPL-3.0-or-later
// A loudspeaker rig as the user describes it: its speakers (direction, distance, output) and,
// when the file carried one, the decoder that file gives for it. Plain data, any thread.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct Speaker {
    std::string name;
    double azimuthDegrees = 0.0;   // anticlockwise seen from above, 0 straight ahead
    double elevationDegrees = 0.0; // up positive
    double distanceMetres = 2.0;
    bool imaginary = false; // helps the design, feeds no output
    int outputChannel = 0;  // 1-based output of a real speaker; 0 for an imaginary one
    // Linear gain: a real speaker's trim; for an imaginary one, the share of its signal that
    // is handed to its neighbours on the hull (0: dropped).
    double gain = 1.0;
};

// The scaling a decoder matrix expects of its input channels.
enum class Normalisation { FuMa, SN3D, N3D };

// A decoder given by the file itself, in the file's own terms.
struct PresetDecoder {
    int order = 1;               // highest order among its channels
    std::vector<int> acnColumns; // the ACN channel of each matrix column
    Normalisation coeffScale = Normalisation::SN3D;
    bool twoBand = false;
    // One row per real speaker, in the order of their output channels; one value per column.
    // With one band only lf is used.
    std::vector<std::vector<double>> lf, hf;
    std::vector<double> lfOrderGain, hfOrderGain; // a gain per order 0, 1, ... (missing = 1)
    double crossoverHz = 400.0;
    double crossoverRatioDb = 0.0; // > 0: LF lowered by half of it, HF raised by the other half
    enum class NearField { None, Input, Output } nearField = NearField::None;
    bool delayCompensation = false;
    bool levelCompensation = false;
};

struct Layout {
    static constexpr int kMinSpeakers = 2;
    static constexpr int kMaxSpeakers = 32;

    std::string name;
    std::string description;
    std::vector<Speaker> speakers; // real ones in output order, imaginary ones anywhere
    std::optional<PresetDecoder> decoder;
    bool subwoofer = false; // bass management feeds one more output after the speakers

    int realCount() const;
    // The real speakers in the order of their output channels.
    std::vector<const Speaker*> realSpeakers() const;
    bool distancesDiffer() const;
};

// Checks what every reader and every factory layout must satisfy; throws RigError with
// `where` ("FILE" or "FILE: key") in front of the first fault: 2 to 32 real speakers, finite
// directions, distances above 0 and at most 1000 m, no two speakers at one place, output
// channels 1 to 32 used once, a preset matrix with a row per real speaker.
void validateLayout(const Layout& layout, const std::string& where);
