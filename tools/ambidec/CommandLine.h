// SPDX-License-Identifier: GPL-3.0-or-later
// What the user asked ambidec to do, parsed from argv. Parsing checks the form of every
// argument (known command, known option, numbers where numbers belong); what the values
// mean for a given plug-in (program names, parameter names, units) is checked later,
// against the loaded plug-in.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kiv::ambidec {

enum class CommandKind { Info, Render, Plot, Snapshot, TestSignal, Help };

// Channel order and normalisation of a B-format input file.
enum class InputFormat {
    FuMa,  // W, X, Y, Z with W at -3 dB
    AmbiX, // ACN order (W, Y, Z, X), SN3D normalisation
};

struct Command {
    CommandKind kind = CommandKind::Help;
    std::string bundle;                 // info, render, plot, snapshot
    std::string input;                  // render
    std::string output;                 // render, plot, snapshot, testsignal
    std::optional<std::string> program; // --program N|NAME, as typed
    std::optional<std::string> layout;  // --layout FILE|NAME: LayoutDecoder's rig (info, render)
    std::vector<std::string> settings;  // --set PARAM=VALUE, as typed, in order
    int blockSize = 512;                // --block N, frames
    InputFormat inputFormat = InputFormat::FuMa;
    bool force = false;      // --force: an existing output may be replaced
    bool allOutputs = false; // render --all-outputs: every plug-in output, not only the speakers
    bool headphones = false; // render --headphones: through the decoder and HeadphoneMonitor
    std::optional<std::string> hrtf; // render --hrtf FILE: HeadphoneMonitor's SOFA set

    // testsignal
    int channels = 4;            // --channels 3|4
    double seconds = 8.0;        // --seconds S
    double elevationDeg = 0.0;   // --elevation DEG: peak of the rise and fall
    double sampleRateHz = 48000; // --rate HZ
};

// Throws ToolError with status kUsage when the arguments do not form a command.
Command parseCommandLine(int argc, const char* const* argv);

// The text printed by `ambidec help` and after a usage error hint.
const char* usageText();

} // namespace kiv::ambidec
