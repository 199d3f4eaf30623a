// SPDX-License-Identifier: GPL-3.0-or-later
// ambidec's failures: one line on standard error, a non-zero exit status, and never an
// output file (nor a temporary one) left behind; also when the run is interrupted.
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>

using namespace kiv::ambidec::testing;

namespace {

std::vector<float> silence(int frames, int channels) {
    return std::vector<float>(static_cast<std::size_t>(frames) * channels, 0.0f);
}

bool hasHiddenTemporary(const std::vector<std::string>& entries) {
    for (const auto& e : entries)
        if (e.find(".tmp-") != std::string::npos) return true;
    return false;
}

} // namespace

TEST(AmbidecErrors, OneLineNonZeroExitAndNoOutput) {
    ScratchDir dir;
    writeWav(dir / "four.wav", 4, 48000, silence(100, 4));
    writeWav(dir / "three.wav", 3, 48000, silence(100, 3));
    writeWav(dir / "two.wav", 2, 48000, silence(100, 2));
    writeWav(dir / "mono.wav", 1, 48000, silence(100, 1));
    std::ofstream(dir / "text.wav") << "no audio here";
    std::ofstream(dir / "broken.so") << "no library here";
    std::ofstream(dir / "taken.wav") << "keep me";
    const std::string out = dir / "out.wav";
    const std::string R = kRegular, I = kIrregular;

    const struct {
        std::vector<std::string> arguments;
        std::string message; // the line after "ambidec: ", or its beginning when partial
        bool partial;
        int status;
    } cases[] = {
        {{"render", dir / "none.vst", dir / "four.wav", out},
         dir / "none.vst: no such file or directory",
         false,
         1},
        {{"render", dir.path(), dir / "four.wav", out},
         dir.path() + ": not a plug-in bundle (no ",
         true,
         1},
        {{"info", dir / "broken.so"}, dir / "broken.so: cannot be loaded: ", true, 1},
        {{"render", R, dir / "missing.wav", out}, dir / "missing.wav: cannot be read: ", true, 1},
        {{"render", R, dir / "text.wav", out}, dir / "text.wav: cannot be read: ", true, 1},
        {{"render", R, dir / "two.wav", out},
         dir / "two.wav: has 2 channels; RegularDecoder takes 3 or 4 (W, X, Y or W, X, Y, Z)",
         false,
         1},
        {{"render", I, dir / "mono.wav", out},
         dir / "mono.wav: has 1 channel; IrregularDecoder takes 3 or 4 (W, X, Y or W, X, Y, Z)",
         false,
         1},
        {{"render", I, dir / "three.wav", out, "--input", "ambix"},
         dir / "three.wav: has 3 channels; AmbiX input takes 4 (ACN 0 to 3)",
         false,
         1},
        {{"render", R, dir / "four.wav", out, "--program", "7"},
         "RegularDecoder: unknown program '7' (programs are 0 to 6 or their names; ambidec info " +
             R + " lists them)",
         false,
         2},
        {{"plot", I, dir / "p.png", "--program", "Dodecagon"},
         "IrregularDecoder: unknown program 'Dodecagon' (programs are 0 to 6 or their names; "
         "ambidec info " +
             I + " lists them)",
         false,
         2},
        {{"render", R, dir / "four.wav", out, "--set", "Volume=1"},
         "unknown parameter 'Volume' ("
         "use a number 0 to 6, a symbol (lf_pattern, hf_pattern, cutoff, layout, distance, "
         "encoded_distance, spatial_eq) or a name (LowFPattern, HighFPattern, CutoffF, Layout, "
         "DistanceComp, EncodedSpeakerDistanceNFC, UseSpatialEQ))",
         false,
         2},
        {{"render", R, dir / "four.wav", out, "--set", "9=0.5"},
         "unknown parameter 9 ("
         "use a number 0 to 6, a symbol (lf_pattern, hf_pattern, cutoff, layout, distance, "
         "encoded_distance, spatial_eq) or a name (LowFPattern, HighFPattern, CutoffF, Layout, "
         "DistanceComp, EncodedSpeakerDistanceNFC, UseSpatialEQ))",
         false,
         2},
        {{"render", R, dir / "four.wav", out, "--set", "CutoffF=2000Hz"},
         "Cut off F: '2000Hz' is out of range (50Hz to 1200Hz)",
         false,
         2},
        {{"render", R, dir / "four.wav", out, "--set", "2=1.5"},
         "Cut off F: '1.5' is out of range (a plain number is normalised, 0 to 1)",
         false,
         2},
        {{"render", R, dir / "four.wav", out, "--set", "DistanceComp=12m"},
         "Distance Comp: '12m' is out of range (0.5m to 8m, 8m meaning off)",
         false,
         2},
        {{"plot", R, dir / "p.png", "--set", "LowFPattern=3"},
         "Low F Pattern: '3' is out of range (ratio 0 to 2)",
         false,
         2},
        {{"render", R, dir / "four.wav", dir / "out.mp3"},
         dir / "out.mp3: unknown output format '.mp3' (use .wav, .w64, .rf64, .aiff, .caf, .flac "
               "or .ogg)",
         false,
         2},
        {{"render", R, dir / "four.wav", dir / "taken.wav"},
         dir / "taken.wav: already exists (use --force to replace it)",
         false,
         1},
        {{"plot", R, dir / "taken.wav"},
         dir / "taken.wav: already exists (use --force to replace it)",
         false,
         1},
        {{"render", R, dir / "four.wav"},
         "render expects 3 file arguments, got 2 (ambidec help)",
         false,
         2},
        {{"render", R, dir / "four.wav", out, "--block", "0"},
         "--block '0': expected a whole number from 1 to 65536",
         false,
         2},
    };
    const std::vector<std::string> before = dir.entries();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments[0] + " " + c.message);
        const ToolResult r = runAmbidec(c.arguments);
        EXPECT_EQ(r.exitStatus, c.status);
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(r.err.empty());
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
        const std::string line = r.err.substr(0, r.err.size() - 1);
        if (c.partial)
            EXPECT_EQ(line.rfind("ambidec: " + c.message, 0), 0u) << line;
        else
            EXPECT_EQ(line, "ambidec: " + c.message);
        EXPECT_EQ(dir.entries(), before) << "no file written, none removed";
    }
    std::ifstream kept(dir / "taken.wav");
    std::string text;
    std::getline(kept, text);
    EXPECT_EQ(text, "keep me");
}

TEST(AmbidecErrors, ForceReplacesAnExistingOutput) {
    ScratchDir dir;
    writeWav(dir / "four.wav", 4, 48000, silence(100, 4));
    std::ofstream(dir / "out.wav") << "old";
    const ToolResult r =
        runAmbidec({"render", kRegular, dir / "four.wav", dir / "out.wav", "--force"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    int channels = 0, rate = 0;
    EXPECT_EQ(readSound(dir / "out.wav", channels, rate).size(), 400u); // the square's four
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"four.wav", "out.wav"}));
}

TEST(AmbidecErrors, AnInterruptedRenderLeavesNoFile) {
    ScratchDir dir;
    // Long enough in one-frame blocks that the run is still going when the signal comes.
    std::vector<float> noise(30 * 48000 * 4);
    for (std::size_t i = 0; i < noise.size(); ++i)
        noise[i] = std::sin(0.37f * static_cast<float>(i));
    writeWav(dir / "long.wav", 4, 48000, noise);
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        const int pid =
            startAmbidec({"render", kRegular, dir / "long.wav", dir / "out.wav", "--block", "1"});
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!hasHiddenTemporary(dir.entries()) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ASSERT_TRUE(hasHiddenTemporary(dir.entries())) << "the render never started writing";
        ::kill(pid, signal);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the render finished before the signal came";
        EXPECT_EQ(WTERMSIG(status), signal);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"long.wav"});
    }
}
