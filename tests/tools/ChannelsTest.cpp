// SPDX-License-Identifier: GPL-3.0-or-later
// Which output feeds which speaker, through the real bundles: `ambidec info --program`, the
// channels render writes (the layout's speakers only, in the order the format stands for)
// and the positions a second reader, ffprobe, finds in the files.
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

using namespace kiv::ambidec::testing;

namespace {

// What ffprobe reads: "channels=N layout=NAME".
std::string probe(const std::string& path) {
    const std::string command = "ffprobe -v error -show_entries stream=channels,channel_layout "
                                "-of default=nw=1 '" +
                                path + "' </dev/null 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return "cannot run ffprobe";
    std::string text;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
    const int status = ::pclose(pipe);
    if (status != 0) return "ffprobe failed: " + text;
    std::istringstream lines(text);
    std::string channels, layout;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("channels=", 0) == 0) channels = line;
        if (line.rfind("channel_layout=", 0) == 0) layout = "layout=" + line.substr(15);
    }
    return channels + " " + layout;
}

// Noise on all four B-format channels, so that every speaker gets a signal of its own.
std::vector<float> noise(int frames) {
    std::vector<float> out;
    unsigned state = 777;
    for (int i = 0; i < 4 * frames; ++i) {
        state = state * 1103515245u + 12345u;
        out.push_back(static_cast<float>((state >> 8) & 0xFFFF) / 65536.0f * 0.4f - 0.2f);
    }
    return out;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

} // namespace

TEST(AmbidecChannels, FfprobeReadsTheTruePositionsOrNone) {
    ASSERT_EQ(std::system("command -v ffprobe >/dev/null"), 0)
        << "ffprobe (Debian's ffmpeg, scripts/deps.sh test) is needed";
    ScratchDir dir;
    writeWav(dir / "in.wav", 4, 48000, noise(2000));
    const struct {
        const std::string* bundle;
        const char* program;
        const char* extension;
        const char* read; // by ffprobe; empty: the render is refused
    } cases[] = {
        // The square: quad in every format that states positions; W64 states none.
        {&kRegular, "0", "wav", "channels=4 layout=quad"},
        {&kRegular, "0", "rf64", "channels=4 layout=quad"},
        {&kRegular, "0", "caf", "channels=4 layout=quad"},
        {&kRegular, "0", "flac", "channels=4 layout=quad"},
        {&kRegular, "0", "ogg", "channels=4 layout=quad"},
        {&kRegular, "0", "w64", "channels=4 layout=unknown"},
        // ITU 5.0 without its silent centre: the surround pair at the sides in WAV.
        {&kIrregular, "ITU Full Range v1", "wav", "channels=4 layout=quad(side)"},
        {&kIrregular, "ITU Full Range v1", "flac", "channels=4 layout=quad"},
        {&kIrregular, "ITU Full Range v1", "ogg", "channels=4 layout=quad"},
        // ITU 5.0 with the centre: reordered to each format's five-channel order.
        {&kIrregular, "ITU LF Optimised v1", "wav", "channels=5 layout=5.0(side)"},
        {&kIrregular, "ITU LF Optimised v1", "caf", "channels=5 layout=5.0(side)"},
        {&kIrregular, "ITU LF Optimised v1", "flac", "channels=5 layout=5.0(side)"},
        {&kIrregular, "ITU LF Optimised v1", "ogg", "channels=5 layout=5.0"},
        {&kIrregular, "ITU LF Optimised v1", "aiff", "channels=5 layout=5.0(side)"},
        // No standard positions: mask 0 or no layout, never 5.1 or 7.1; FLAC and Ogg, whose
        // six and eight channels mean 5.1 and 7.1, are refused.
        {&kRegular, "1", "wav", "channels=6 layout=unknown"},
        {&kRegular, "1", "caf", "channels=6 layout=unknown"},
        {&kRegular, "1", "flac", ""},
        {&kRegular, "3D Cube", "wav", "channels=8 layout=unknown"},
        {&kRegular, "3D Cube", "rf64", "channels=8 layout=unknown"},
        {&kRegular, "3D Cube", "ogg", ""},
        {&kRegular, "3D Octahedron", "wav", "channels=6 layout=unknown"},
        {&kRegular, "3D Octahedron", "aiff", "channels=6 layout=unknown"},
    };
    for (const auto& c : cases) {
        const std::string out = dir / (std::string("out.") + c.extension);
        SCOPED_TRACE(std::string(c.program) + " " + out);
        const ToolResult r = runAmbidec(
            {"render", *c.bundle, dir / "in.wav", out, "--program", c.program, "--force"});
        if (*c.read == '\0') {
            EXPECT_EQ(r.exitStatus, 2) << r.out;
            EXPECT_NE(r.err.find("stands for fixed speaker positions"), std::string::npos) << r.err;
            EXPECT_NE(r.err.find("write .wav, .rf64, .w64 or .caf"), std::string::npos) << r.err;
            EXPECT_EQ(::access(out.c_str(), F_OK), -1) << "nothing written";
            continue;
        }
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(probe(out), c.read);
        ::unlink(out.c_str());
    }

    // The refusal in full: what the file would mean, and what to write instead.
    const std::string flac = dir / "hexagon.flac";
    const ToolResult r = runAmbidec({"render", kRegular, dir / "in.wav", flac, "--program", "1"});
    EXPECT_EQ(r.err, "ambidec: " + flac +
                         ": a FLAC file of 6 channels stands for fixed speaker positions, which "
                         "the layout \"regular hexagon, speaker ahead\" does not have; write "
                         ".wav, .rf64, .w64 or .caf, which can say that its channels have none\n");

    // B-format has no speaker positions either: not the quad a 4-channel WAV defaults to.
    ASSERT_EQ(runAmbidec({"testsignal", dir / "b.wav", "--seconds", "0.5"}).exitStatus, 0);
    EXPECT_EQ(probe(dir / "b.wav"), "channels=4 layout=unknown");
}

TEST(AmbidecChannels, FilesHoldTheSpeakersInTheFormatsOrder) {
    ScratchDir dir;
    writeWav(dir / "in.wav", 4, 48000, noise(3000));
    // W64, which states no positions, keeps the plug-in's order: FL FR SL SR C for ITU 5.0.
    ASSERT_EQ(runAmbidec({"render", kIrregular, dir / "in.wav", dir / "all.w64", "--program",
                          "ITU LF Optimised v1"})
                  .exitStatus,
              0);
    int channels = 0, rate = 0;
    const auto all = readSound(dir / "all.w64", channels, rate);
    ASSERT_EQ(channels, 5);
    const struct {
        const char* name;
        std::vector<int> outputs; // file channel k carries plug-in output outputs[k]
        double tolerance;
    } cases[] = {{"out.wav", {0, 1, 4, 2, 3}, 0.0},
                 {"out.caf", {0, 1, 4, 2, 3}, 0.0},
                 {"out.flac", {0, 1, 4, 2, 3}, 1.0 / (1 << 22)}}; // 24-bit steps
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolResult r = runAmbidec({"render", kIrregular, dir / "in.wav", dir / c.name,
                                         "--program", "ITU LF Optimised v1"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        const auto file = readSound(dir / c.name, channels, rate);
        ASSERT_EQ(channels, 5);
        ASSERT_EQ(file.size(), all.size());
        for (int k = 0; k < 5; ++k) {
            double worst = 0, peak = 0;
            for (std::size_t i = 0; i < file.size() / 5; ++i) {
                worst = std::max(worst, static_cast<double>(std::fabs(file[i * 5 + k] -
                                                                      all[i * 5 + c.outputs[k]])));
                peak = std::max(peak, static_cast<double>(std::fabs(file[i * 5 + k])));
            }
            EXPECT_LE(worst, c.tolerance) << "file channel " << k + 1;
            EXPECT_GT(peak, 0.01) << "file channel " << k + 1;
        }
        // The report names each file channel's output and position, from 1.
        EXPECT_NE(r.out.find("  channel positions: FL FR FC SL SR\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("\n  3        5       C (may be unused)   FC "), std::string::npos)
            << r.out;
    }
}

TEST(AmbidecInfo, ProgramListsItsSpeakers) {
    const struct {
        const std::string* bundle;
        const char* program;
        std::vector<std::string> lines;
    } cases[] = {
        {&kIrregular,
         "ITU LF Optimised v1",
         {"IrregularDecoder, program 2 \"ITU LF Optimised v1\"", "speakers (5)",
          "  speaker  direction               output  VST pin             LV2 port  position",
          "  1        30° left                1       FL                  fl        FL",
          "  4        110° right              4       SR                  sr        SR",
          "  5        ahead                   5       C (may be unused)   c         FC"}},
        {&kIrregular,
         "0",
         {"speakers (4)",
          "  3        110° left               3       SL                  sl        SL",
          "  silent outputs: 5 (not written by render unless --all-outputs)"}},
        {&kRegular,
         "3D Cube",
         {"RegularDecoder, program 5 \"3D Cube\"", "speakers (8)",
          "  1        45° left, 35.2° up      1       FL_Up               out1      none",
          "  7        135° right, 35.2° down  7       BR_Dn               out7      none"}},
        {&kRegular,
         "1",
         {"  1        ahead                   1       C                   out1      none",
          "  4        behind                  4       B                   out4      none",
          "  silent outputs: 7, 8 (not written by render unless --all-outputs)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        const ToolResult r = runAmbidec({"info", *c.bundle, "--program", c.program});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        const auto lines = linesOf(r.out);
        for (const auto& line : c.lines)
            EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end()) << line << "\n"
                                                                                << r.out;
    }
    const ToolResult r = runAmbidec({"info", kRegular, "--program", "Dodecagon"});
    EXPECT_EQ(r.exitStatus, 2);
    EXPECT_EQ(r.err.rfind("ambidec: RegularDecoder: unknown program 'Dodecagon' (programs are 0 "
                          "to 6 or their names",
                          0),
              0u)
        << r.err;
    EXPECT_EQ(r.out, "");
}
