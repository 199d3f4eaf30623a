// SPDX-License-Identifier: GPL-3.0-or-later
// ambidec into two ears: --headphones through a decoder and the monitor beside it, and a file
// of speaker feeds through the HeadphoneMonitor bundle itself, write a stereo file as long as
// the input with the monitor's latency taken out (an impulse on a feed is the set's response
// from frame 0); a set or a file that cannot be used exits non-zero and writes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "hrtf/HrtfSet.h"
#include "tests/tools/ToolRun.h"

namespace kiv::ambidec::testing {
namespace {

const std::string kMonitor = KIV_HEADPHONE_BUNDLE_PATH;
const std::string kLayoutDecoder = KIV_LAYOUT_BUNDLE_PATH;
constexpr int kFrames = 4800;

// An impulse on channel 0 at frame 0 of a file of `channels` channels.
std::string impulseFile(const ScratchDir& dir, const std::string& name, int channels) {
    std::vector<float> samples(static_cast<std::size_t>(channels) * kFrames, 0.0f);
    samples[0] = 1.0f;
    writeWav(dir / name, channels, 48000, samples);
    return dir / name;
}

TEST(AmbidecHeadphones, RendersTwoEarsAsLongAsTheInput) {
    ScratchDir dir;
    const std::string bformat = impulseFile(dir, "b.wav", 4);
    const std::string feeds = impulseFile(dir, "feeds.wav", 5);
    const std::string all = impulseFile(dir, "all.wav", 32);
    const std::vector<std::vector<std::string>> cases = {
        {"render", kRegular, bformat, "--headphones", "--set", "layout=cube"},
        {"render", kIrregular, bformat, "--headphones", "--hrtf", HrtfSet::defaultPath()},
        {"render", kLayoutDecoder, bformat, "--headphones", "--layout", "7.0.4 (BS.2051 4+7+0)"},
        {"render", kMonitor, feeds, "--layout", "ITU 5.0 (IrregularDecoder)"},
        {"render", kMonitor, all},
    };
    for (std::vector<std::string> args : cases) {
        SCOPED_TRACE(args[1] + " " + args[2]);
        args.insert(args.begin() + 3, dir / "out.wav");
        args.push_back("--force");
        const ToolResult r = runAmbidec(args);
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        int channels = 0, rate = 0;
        const std::vector<float> out = readSound(dir / "out.wav", channels, rate);
        EXPECT_EQ(channels, 2);
        EXPECT_EQ(out.size(), 2u * kFrames);
        float peak = 0.0f;
        for (float v : out) peak = std::max(peak, std::fabs(v));
        EXPECT_GT(peak, 0.01f);
    }

    // Feed 1 of IrregularDecoder's ITU 5.0 is front left, at 30 degrees: its responses from
    // the first frame.
    ASSERT_EQ(runAmbidec({"render", kMonitor, feeds, dir / "out.wav", "--force", "--layout",
                          "ITU 5.0 (IrregularDecoder)"})
                  .exitStatus,
              0);
    int channels = 0, rate = 0;
    const std::vector<float> out = readSound(dir / "out.wav", channels, rate);
    const auto set = HrtfSet::open(HrtfSet::defaultPath(), 48000);
    std::vector<float> left(set->length()), right(set->length());
    set->responseAt(30.0, 0.0, left.data(), right.data());
    for (int i = 0; i < set->length(); ++i) {
        ASSERT_NEAR(out[2 * i], left[i], 1e-5f) << "frame " << i;
        ASSERT_NEAR(out[2 * i + 1], right[i], 1e-5f) << "frame " << i;
    }
}

TEST(AmbidecHeadphones, RefusesWhatCannotBeUsedAndWritesNothing) {
    ScratchDir dir;
    const std::string bformat = impulseFile(dir, "b.wav", 4);
    const std::string three = impulseFile(dir, "three.wav", 3);
    std::ofstream(dir / "not.sofa") << "not a set\n";
    const std::vector<std::vector<std::string>> cases = {
        {"render", kRegular, bformat, "--headphones", "--hrtf", dir / "not.sofa"},
        {"render", kRegular, bformat, "--headphones", "--hrtf", dir.path()},
        {"render", kRegular, bformat, "--hrtf", dir / "not.sofa"}, // no --headphones
        {"render", kMonitor, three, "--layout", "Cube"},           // 3 feeds for 8 speakers
        {"render", kMonitor, bformat, "--headphones"},
    };
    for (std::vector<std::string> args : cases) {
        SCOPED_TRACE(args.back());
        args.insert(args.begin() + 3, dir / "out.wav");
        const ToolResult r = runAmbidec(args);
        EXPECT_NE(r.exitStatus, 0);
        EXPECT_NE(r.err.find("ambidec"), std::string::npos) << r.err;
        EXPECT_FALSE(std::ifstream(dir / "out.wav").good());
    }
}

} // namespace
} // namespace kiv::ambidec::testing
