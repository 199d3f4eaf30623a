// SPDX-License-Identifier: GPL-3.0-or-later
// ambidec --layout with LayoutDecoder: a rendered file has the layout's speakers (and the
// subwoofer when it is on), not 32 channels; info prints the speakers, their compensation and
// the matrices; a layout that cannot be used, or --layout with another bundle, exits 2 and
// writes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

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
    for (const auto& c : cases) {
        const ToolResult r =
            runAmbidec({"render", c.bundle, in, dir / "out.wav", "--layout", c.layout});
        EXPECT_EQ(r.exitStatus, 2) << c.layout << ": " << r.err;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.wav", "one.txt"})) << c.layout;
    }
}

} // namespace
} // namespace kiv::ambidec::testing
