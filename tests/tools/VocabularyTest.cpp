// SPDX-License-Identifier: GPL-3.0-or-later
// One vocabulary for parameters through the real bundles: a parameter named by number,
// LV2 symbol or name (with or without the characters a shell takes for its own), a layout by
// any word only one decoder's name has, all give the same render bit for bit; each refusal
// names the forms that work. Also: standard input as the render's input, and what an
// interrupted render says.
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <sstream>
#include <thread>

using namespace kiv::ambidec::testing;

namespace {

std::vector<float> sweep(int frames) {
    std::vector<float> out;
    for (int i = 0; i < frames; ++i) {
        const double t = i / 48000.0;
        out.insert(out.end(), {static_cast<float>(0.3 * std::sin(2 * M_PI * 300 * t)),
                               static_cast<float>(0.2 * std::sin(2 * M_PI * 90 * t)),
                               static_cast<float>(0.2 * std::cos(2 * M_PI * 700 * t)),
                               static_cast<float>(0.1 * std::sin(2 * M_PI * 40 * t))});
    }
    return out;
}

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

} // namespace

TEST(AmbidecVocabulary, EveryFormOfAParameterGivesTheSameRender) {
    ScratchDir dir;
    writeWav(dir / "in.wav", 4, 48000, sweep(4000));
    // Each group: the same settings in different words, starting from program 0.
    const std::vector<std::vector<std::string>> groups[] = {
        {{"cutoff=500Hz"}, {"CutoffF=500Hz"}, {"2=500Hz"}, {"Cut off F=0.5kHz"}, {"CUTOFF=500 Hz"}},
        {{"encoded_distance=2m"},
         {"EncodedSpeakerDistanceNFC=2m"},
         {"EncodedSpeakerDistance(NFC)=2m"},
         {"5=0.2"}},
        {{"layout=cube", "spatial_eq=shelf"},
         {"Layout=8 Speaker Cube (3D)", "UseSpatialEQ=Mavo EQ"},
         {"layout=Cube", "use-spatial-eq=mavoeq"}},
        {{"layout=octagon with cf"}, {"Layout=Octagon with CF"}, {"layout=octagon-with-cf"}},
        {{"lf_pattern=1.5", "hf_pattern=0.75", "distance=off"},
         {"LowFPattern=1.5", "HighFPattern=0.75", "DistanceComp=none"},
         {"0=1.5", "1=0.75", "4=1"}}, // a plain number is a pattern's ratio
    };
    int group = 0;
    for (const auto& forms : groups) {
        std::string first;
        for (const auto& settings : forms) {
            SCOPED_TRACE(std::to_string(group) + ": " + settings[0]);
            std::vector<std::string> arguments{
                "render", kRegular, dir / "in.wav", dir / "out.wav", "--program", "0", "--force"};
            for (const auto& s : settings) arguments.insert(arguments.end(), {"--set", s});
            const ToolResult r = runAmbidec(arguments);
            ASSERT_EQ(r.exitStatus, 0) << r.err;
            const std::string bytes = bytesOf(dir / "out.wav");
            ASSERT_GT(bytes.size(), 4000u * 4);
            if (first.empty())
                first = bytes;
            else
                EXPECT_TRUE(bytes == first) << "not the same render";
        }
        ++group;
    }
}

TEST(AmbidecVocabulary, RefusalsNameTheFormsThatWork) {
    ScratchDir dir;
    writeWav(dir / "in.wav", 4, 48000, sweep(100));
    const struct {
        const std::string* bundle;
        const char* setting;
        const char* message;
    } cases[] = {
        {&kRegular, "2=500",
         "Cut off F: '500' is out of range (a plain number is normalised, 0 to 1: did you mean "
         "500Hz?)"},
        {&kRegular, "distance=3",
         "Distance Comp: '3' is out of range (a plain number is normalised, 0 to 1: did you mean "
         "3m?)"},
        {&kRegular, "layout=octagon",
         "Layout: cannot read 'octagon' (expected one decoder; it names 'Octagon with CF', "
         "'Octagon without CF': add a word)"},
        {&kRegular, "layout=dodecagon",
         "Layout: cannot read 'dodecagon' (expected 0 to 1, a decoder name or a word of one: "
         "'Quad (square)', 'Hexagon with CF', 'Hexagon without CF', 'Octagon with CF', 'Octagon "
         "without CF', '8 Speaker Cube (3D)', 'Octahedron (3D)')"},
        {&kRegular, "spatial_eq=loud",
         "Use Spatial EQ: cannot read 'loud' (expected 0 to 1, No-Use LF (or single), Kiv EQ (or "
         "crossover) or Mavo EQ (or shelf))"},
        {&kIrregular, "gain=1",
         "unknown parameter 'gain' (use a number 0 to 6, a symbol (lf_pattern, hf_pattern, "
         "cutoff, layout, distance, encoded_distance, spatial_eq) or a name (LowFPattern, "
         "HighFPattern, CutoffF, Layout, DistanceComp, EncodedSpeakerDistanceNFC, "
         "UseSpatialEQ))"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.setting);
        const ToolResult r =
            runAmbidec({"render", *c.bundle, dir / "in.wav", dir / "out.wav", "--set", c.setting});
        EXPECT_EQ(r.exitStatus, 2);
        EXPECT_EQ(r.err, "ambidec: " + std::string(c.message) + "\n");
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.wav"});
    }
}

TEST(AmbidecVocabulary, StandardInputIsTheSameInputAsItsFile) {
    ScratchDir dir;
    writeWav(dir / "in.wav", 4, 48000, sweep(3000));
    ASSERT_EQ(runAmbidec({"render", kRegular, dir / "in.wav", dir / "file.wav"}).exitStatus, 0);
    const ToolResult r =
        runAmbidecWith({"render", kRegular, "-", dir / "piped.wav"}, "", "", dir / "in.wav");
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.out.find("3000 frames at 48000 Hz"), std::string::npos) << r.out;
    EXPECT_TRUE(bytesOf(dir / "file.wav") == bytesOf(dir / "piped.wav"));

    // Nothing on standard input: one line, no file.
    const ToolResult empty = runAmbidec({"render", kRegular, "-", dir / "none.wav"});
    EXPECT_EQ(empty.exitStatus, 1);
    EXPECT_EQ(empty.err.rfind("ambidec: standard input: cannot be read: ", 0), 0u) << empty.err;
    EXPECT_EQ(::access((dir / "none.wav").c_str(), F_OK), -1);
}

TEST(AmbidecVocabulary, AnInterruptedRenderSaysNothingWasWritten) {
    ScratchDir dir;
    writeWav(dir / "long.wav", 4, 48000, sweep(20 * 48000));
    ScratchDir streams;
    const int pid = startAmbidec(
        {"render", kRegular, dir / "long.wav", dir / "out.wav", "--block", "1"}, streams / "err");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const auto writing = [&dir] { return dir.entries().size() > 1; };
    while (!writing() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(writing()) << "the render never started writing";
    ::kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    // Ended by SIGINT, which a shell reports as exit status 130.
    ASSERT_TRUE(WIFSIGNALED(status)) << "the render finished before the signal came";
    EXPECT_EQ(WTERMSIG(status), SIGINT);
    EXPECT_EQ(bytesOf(streams / "err"), "ambidec: interrupted: nothing written\n");
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"long.wav"});
}
