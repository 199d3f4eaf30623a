// SPDX-License-Identifier: GPL-3.0-or-later
// ambidec --layout with LayoutDecoder: a rendered file has the layout's speakers (and the
// subwoofer when it is on), not 32 channels, with or without --layout; info prints the
// speakers, their compensation and the matrices; plot draws the rig as heard at the
// listening spot; a layout that cannot be used, or --layout with another bundle, exits 2 and
// writes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "tests/tools/ToolRun.h"

namespace kiv::ambidec::testing {
namespace {

const std::string kLayout = KIV_LAYOUT_BUNDLE_PATH;

std::string impulseFile(const ScratchDir& dir) {
    std::vector<float> samples(4 * 4800, 0.0f);
    samples[0] = 1.0f; // W
    const std::string path = dir / "in.wav";
    writeWav(path, 4, 48000, samples);
    return path;
}

TEST(AmbidecLayout, RenderWritesTheLayoutsOutputsOnly) {
    ScratchDir dir;
    const std::string in = impulseFile(dir);
    std::ofstream(dir / "room.txt") << "L 30 0 3\nR -30 0 3\nLS 110 0 2\nRS -110 0 2\n";
    const struct {
        std::vector<std::string> extra;
        int channels;
    } cases[] = {
        {{"--layout", "ITU 5.0"}, 5},
        {{"--layout", "ITU 5.1"}, 6},
        {{"--layout", "ITU 5.1", "--set", "Subwoofer=0"}, 5},
        {{"--layout", "ITU 5.0", "--set", "Subwoofer=1"}, 6},
        {{"--layout", "8+8 dome"}, 16},
        {{"--layout", "/usr/share/ambdec/presets/cube.ambdec"}, 8},
        {{"--layout", dir / "room.txt"}, 4},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"render", kLayout, in, dir / "out.wav", "--force"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const ToolResult r = runAmbidec(args);
        ASSERT_EQ(r.exitStatus, 0) << c.extra[1] << ": " << r.err;
        int channels = 0, rate = 0;
        const std::vector<float> out = readSound(dir / "out.wav", channels, rate);
        EXPECT_EQ(channels, c.channels) << c.extra[1];
        float peak = 0.0f;
        for (float v : out) peak = std::max(peak, std::fabs(v));
        EXPECT_GT(peak, 0.01f) << c.extra[1];
    }
}

TEST(AmbidecLayout, RenderWithoutLayoutWritesTheLayoutInForce) {
    ScratchDir dir;
    const std::string in = impulseFile(dir);
    // The default program is the first factory layout; a program chooses another.
    const struct {
        std::vector<std::string> extra;
        int channels;
    } cases[] = {
        {{}, 5},
        {{"--program", "1"}, 6},
        {{"--program", "4"}, 11},
        {{"--program", "4", "--set", "Subwoofer=1"}, 12},
        {{"--all-outputs"}, 32},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"render", kLayout, in, dir / "out.wav", "--force"};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const ToolResult r = runAmbidec(args);
        ASSERT_EQ(r.exitStatus, 0) << ::testing::PrintToString(c.extra) << ": " << r.err;
        int channels = 0, rate = 0;
        readSound(dir / "out.wav", channels, rate);
        EXPECT_EQ(channels, c.channels) << ::testing::PrintToString(c.extra);
    }
}

// The largest direction error `plot` reports for rV or rE ("rE at 5 kHz ... (largest error
// 2.7 deg)").
double largestError(const std::string& report, const std::string& series) {
    const std::size_t at = report.find(series);
    const std::size_t error = report.find("largest error ", at);
    if (at == std::string::npos || error == std::string::npos) return -1.0;
    return std::atof(report.c_str() + error + 14);
}

TEST(AmbidecLayout, PlotDrawsTheRigAsHeardAtTheListeningSpot) {
    ScratchDir dir;
    // A square whose rear pair stands 1.2 m closer: compensated, it is a regular square.
    std::ofstream(dir / "room.txt") << "L 45 0 3\nR -45 0 3\nLS 135 0 1.8\nRS -135 0 1.8\n";
    const struct {
        std::string layout;
        std::vector<std::string> extra;
        double lowestError, highestError; // rE's largest direction error, degrees
    } cases[] = {
        {"7.0.4 (BS.2051 4+7+0)", {}, 0.0, 10.0},
        {"/usr/share/ambdec/presets/itu5.1-ord1-optim.ambdec", {}, 0.0, 40.0},
        {dir / "room.txt", {}, 0.0, 0.5},
        // Uncompensated, the near pair is early and loud: the image is pulled to the rear.
        {dir / "room.txt", {"--set", "DistanceCompensation=0"}, 10.0, 90.0},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"plot",    kLayout,    dir / "p.png",
                                         "--force", "--layout", c.layout};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const ToolResult r = runAmbidec(args);
        ASSERT_EQ(r.exitStatus, 0) << c.layout << ": " << r.err;
        std::ifstream png(dir / "p.png", std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(png)), {});
        EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n") << c.layout;
        EXPECT_GT(bytes.size(), 50000u) << c.layout;
        const double error = largestError(r.out, "rE at 5 kHz");
        EXPECT_GE(error, c.lowestError) << c.layout << ": " << r.out;
        EXPECT_LE(error, c.highestError) << c.layout << ": " << r.out;
    }
}

TEST(AmbidecLayout, InfoPrintsSpeakersCompensationAndMatrices) {
    ScratchDir dir;
    std::ofstream(dir / "room.txt") << "L 30 0 3\nR -30 0 3\nLS 110 0 2\nRS -110 0 2\n";
    const ToolResult r = runAmbidec({"info", kLayout, "--layout", dir / "room.txt"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    // The nearer pair: (3 - 2) / 343 s at 48 kHz is 140 frames, 2.917 ms, 20 log10(2/3) dB.
    EXPECT_NE(r.out.find("2.917     -3.52"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("LF matrix"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("HF matrix"), std::string::npos) << r.out;
}

TEST(AmbidecLayout, UnusableLayoutsExitTwoAndWriteNothing) {
    ScratchDir dir;
    const std::string in = impulseFile(dir);
    std::ofstream(dir / "one.txt") << "0 0 2\n";
    const struct {
        std::string bundle, layout, says;
    } cases[] = {
        {kLayout, dir / "one.txt", "one.txt"},
        {kLayout, "no such rig", "no such rig"},
        {kLayout, "/tmp", "/tmp"},
        {kRegular, "ITU 5.0", "LayoutDecoder"},
    };
    for (const auto& c : cases)
        for (const std::vector<std::string>& command :
             {std::vector<std::string>{"render", c.bundle, in, dir / "out.wav"},
              std::vector<std::string>{"plot", c.bundle, dir / "out.png"}}) {
            std::vector<std::string> args = command;
            args.insert(args.end(), {"--layout", c.layout});
            const ToolResult r = runAmbidec(args);
            EXPECT_EQ(r.exitStatus, 2) << command[0] << " " << c.layout << ": " << r.err;
            EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.wav", "one.txt"}))
                << command[0] << " " << c.layout;
        }
}

} // namespace
} // namespace kiv::ambidec::testing
