// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/CommandLine.h"

#include "tools/ambidec/NumberText.h"
#include "tools/ambidec/ToolError.h"

#include <cstring>

namespace kiv::ambidec {

namespace {

const char kUsage[] =
    "usage:\n"
    "  ambidec info BUNDLE [--program N|NAME] [--layout FILE|NAME]\n"
    "  ambidec render BUNDLE IN OUT [--program N|NAME] [--set PARAM=VALUE]... [--block N]\n"
    "                 [--input fuma|ambix] [--all-outputs] [--force] [--layout FILE|NAME]\n"
    "                 [--headphones] [--hrtf FILE]\n"
    "  ambidec plot BUNDLE OUT.png [--program N|NAME] [--set PARAM=VALUE]... [--force]\n"
    "               [--layout FILE|NAME]\n"
    "  ambidec snapshot BUNDLE OUT.png [--program N|NAME] [--set PARAM=VALUE]... [--force]\n"
    "  ambidec testsignal OUT [--channels 3|4] [--seconds S] [--elevation DEG] [--rate HZ]\n"
    "                     [--force]\n"
    "\n"
    "BUNDLE is a .vst bundle directory or the plug-in's .so. info --program lists the\n"
    "speakers of that program's layout: direction, output, VST pin and LV2 port.\n"
    "\n"
    "render decodes IN (a file, or - for standard input) into OUT, whose extension picks the\n"
    "format: .wav (also without one), .rf64, .w64, .aiff, .caf, .flac or .ogg. It writes the\n"
    "layout's speakers only (--all-outputs: every plug-in output), with their positions\n"
    "where the layout has standard ones (WAV channel mask, CAF and AIFF layout) and none\n"
    "where it has not; FLAC and Ogg take only the layouts their fixed channel orders stand\n"
    "for.\n"
    "\n"
    "PARAM is a parameter's number (0 to 6), its LV2 symbol (lf_pattern, hf_pattern, cutoff,\n"
    "layout, distance, encoded_distance, spatial_eq) or its name without blanks or brackets\n"
    "(LowFPattern, CutoffF, EncodedSpeakerDistanceNFC, ...). VALUE is normalised (0 to 1)\n"
    "or carries the unit the editor shows: 500Hz, 2.5m, off; a layout by its name or any\n"
    "word only one name has (cube, octagon with cf); the spatial EQ as No-Use LF (single),\n"
    "Kiv EQ (crossover) or Mavo EQ (shelf). For the two patterns a plain number is the\n"
    "ratio (0 to 2), as the editor shows it. Other bundles take a text they display\n"
    "(Subwoofer=on) or a number with their unit (Level=-6dB).\n"
    "\n"
    "Speakers, outputs and channels are numbered from 1; parameters and programs from 0, as\n"
    "hosts number them.\n"
    "\n"
    "--layout (LayoutDecoder) loads a layout file (.ambdec, IEM .json, speaker list) or a\n"
    "factory or user layout by name: render writes its N speakers (N + 1 with the subwoofer),\n"
    "plot draws its rV and rE as they arrive at the listening spot, info prints its speakers,\n"
    "compensation and matrices.\n"
    "\n"
    "render --headphones decodes IN through BUNDLE and the HeadphoneMonitor bundle beside it\n"
    "(its layout follows the decoder's) into a stereo OUT for headphones; --hrtf FILE takes\n"
    "that SOFA set (or a user set by name) instead of the default. Rendering through the\n"
    "HeadphoneMonitor bundle itself, IN holds the speaker feeds: as many channels as its\n"
    "layout (--layout) has speakers, or 32. The monitor's latency is taken out.\n";

struct Reader {
    int argc;
    const char* const* argv;
    int next = 2;

    bool done() const { return next >= argc; }
    std::string take() { return argv[next++]; }
    std::string valueOf(const std::string& option) {
        if (done()) throw ToolError(option + " needs a value", ToolError::kUsage);
        return take();
    }
};

struct Shape {
    int positionals;
    bool program, settings, block, input, force, signal;
    bool layout = false;
};

Shape shapeOf(CommandKind kind) {
    switch (kind) {
    case CommandKind::Info:
        return {1, true, false, false, false, false, false, true};
    case CommandKind::Render:
        return {3, true, true, true, true, true, false, true};
    case CommandKind::Plot:
    case CommandKind::Snapshot:
        return {2, true, true, false, false, true, false, kind == CommandKind::Plot};
    case CommandKind::TestSignal:
        return {1, false, false, false, false, true, true};
    case CommandKind::Help:
        break;
    }
    return {0, false, false, false, false, false, false};
}

CommandKind kindOf(const std::string& word) {
    if (word == "info") return CommandKind::Info;
    if (word == "render") return CommandKind::Render;
    if (word == "plot") return CommandKind::Plot;
    if (word == "snapshot") return CommandKind::Snapshot;
    if (word == "testsignal") return CommandKind::TestSignal;
    if (word == "help" || word == "--help" || word == "-h") return CommandKind::Help;
    throw ToolError("unknown command '" + word +
                        "' (use info, render, plot, snapshot or testsignal; ambidec help)",
                    ToolError::kUsage);
}

double numberIn(const std::string& option, const std::string& text, double low, double high,
                const char* range) {
    const auto value = parseNumber(text);
    if (!value || *value < low || *value > high)
        throw ToolError(option + " '" + text + "': expected a number from " + range,
                        ToolError::kUsage);
    return *value;
}

} // namespace

const char* usageText() {
    return kUsage;
}

Command parseCommandLine(int argc, const char* const* argv) {
    Command command;
    if (argc < 2) throw ToolError("no command given (ambidec help)", ToolError::kUsage);
    command.kind = kindOf(argv[1]);
    if (command.kind == CommandKind::Help) return command;

    const Shape shape = shapeOf(command.kind);
    const char* name = argv[1];
    std::vector<std::string> positionals;
    Reader in{argc, argv};
    while (!in.done()) {
        const std::string word = in.take();
        const auto refuse = [&] {
            throw ToolError(std::string(name) + " takes no option " + word, ToolError::kUsage);
        };
        if (word.size() < 2 || word.compare(0, 2, "--") != 0) {
            positionals.push_back(word);
        } else if (word == "--program") {
            if (!shape.program) refuse();
            command.program = in.valueOf(word);
        } else if (word == "--layout") {
            if (!shape.layout) refuse();
            command.layout = in.valueOf(word);
        } else if (word == "--set") {
            if (!shape.settings) refuse();
            const std::string setting = in.valueOf(word);
            if (setting.find('=') == std::string::npos)
                throw ToolError("--set '" + setting + "': expected PARAM=VALUE", ToolError::kUsage);
            command.settings.push_back(setting);
        } else if (word == "--block") {
            if (!shape.block) refuse();
            const std::string text = in.valueOf(word);
            const auto value = parseInteger(text);
            if (!value || *value < 1 || *value > 65536)
                throw ToolError("--block '" + text + "': expected a whole number from 1 to 65536",
                                ToolError::kUsage);
            command.blockSize = static_cast<int>(*value);
        } else if (word == "--input") {
            if (!shape.input) refuse();
            const std::string text = in.valueOf(word);
            if (text == "fuma")
                command.inputFormat = InputFormat::FuMa;
            else if (text == "ambix")
                command.inputFormat = InputFormat::AmbiX;
            else
                throw ToolError("--input '" + text + "': expected fuma or ambix",
                                ToolError::kUsage);
        } else if (word == "--all-outputs") {
            if (!shape.block) refuse();
            command.allOutputs = true;
        } else if (word == "--headphones" && command.kind == CommandKind::Render) {
            command.headphones = true;
        } else if (word == "--hrtf" && command.kind == CommandKind::Render) {
            command.hrtf = in.valueOf(word);
        } else if (word == "--force") {
            if (!shape.force) refuse();
            command.force = true;
        } else if (word == "--channels" && shape.signal) {
            const std::string text = in.valueOf(word);
            if (text != "3" && text != "4")
                throw ToolError("--channels '" + text + "': expected 3 or 4", ToolError::kUsage);
            command.channels = text == "3" ? 3 : 4;
        } else if (word == "--seconds" && shape.signal) {
            command.seconds = numberIn(word, in.valueOf(word), 0.1, 3600, "0.1 to 3600");
        } else if (word == "--elevation" && shape.signal) {
            command.elevationDeg = numberIn(word, in.valueOf(word), 0, 90, "0 to 90");
        } else if (word == "--rate" && shape.signal) {
            command.sampleRateHz = numberIn(word, in.valueOf(word), 8000, 384000, "8000 to 384000");
        } else {
            refuse();
        }
    }
    if (static_cast<int>(positionals.size()) != shape.positionals)
        throw ToolError(std::string(name) + " expects " + std::to_string(shape.positionals) +
                            " file argument" + (shape.positionals == 1 ? "" : "s") + ", got " +
                            std::to_string(positionals.size()) + " (ambidec help)",
                        ToolError::kUsage);

    if (command.kind == CommandKind::TestSignal) {
        command.output = positionals[0];
        if (command.channels == 3 && command.elevationDeg != 0.0)
            throw ToolError("--elevation needs --channels 4 (a 3-channel file has no Z)",
                            ToolError::kUsage);
        return command;
    }
    command.bundle = positionals[0];
    if (command.kind == CommandKind::Render) {
        command.input = positionals[1];
        command.output = positionals[2];
    } else if (shape.positionals == 2) {
        command.output = positionals[1];
    }
    return command;
}

} // namespace kiv::ambidec
