// SPDX-License-Identifier: GPL-3.0-or-later
// The demo's B-format test signal: a noise source that circles the listener anticlockwise
// (front, left, back, right), once every revolutionSeconds, encoded as FuMa W, X, Y (and Z).
// With height the elevation rises to +elevationDeg and falls to -elevationDeg once per
// revolution; a 3-channel signal stays at ear height. 20 ms fades at both ends.
#pragma once

#include "tools/ambidec/CommandLine.h"

#include <cstdint>
#include <ostream>

namespace kiv::ambidec {

struct TestSignalSettings {
    double sampleRateHz = 48000.0;
    double seconds = 8.0;
    int channels = 4; // 3: W, X, Y; 4: W, X, Y, Z
    double elevationDeg = 0.0;
    double revolutionSeconds = 8.0;
    double level = 0.25; // peak of the noise, as source pressure
    std::uint32_t seed = 0x4B697654u;
};

class TestSignal {
public:
    explicit TestSignal(const TestSignalSettings& settings);
    long long frames() const { return frames_; }
    // Direction of the source at a frame, in degrees.
    double azimuthDegAt(long long frame) const;
    double elevationDegAt(long long frame) const;
    // The next frames frames (fewer at the end), interleaved; answers how many.
    long render(float* interleaved, long frames);

private:
    float noise();
    TestSignalSettings settings_;
    long long frames_;
    long long position_ = 0;
    std::uint32_t state_;
};

// `ambidec testsignal`. Throws ToolError; no output file is left then.
void testSignalCommand(const Command& command, std::ostream& report);

} // namespace kiv::ambidec
