// SPDX-License-Identifier: GPL-3.0-or-later
// What ambidec reports about the audio and the command line, through the real bundles:
// NaN and infinity, clipping, files cut short, standard output that cannot be written, the
// plot's undefined rV, 3- and 4-channel inputs, bare library names, program names and the
// messages and exit statuses of failures.
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <sstream>

using namespace kiv::ambidec::testing;

namespace {

// A source from 30 degrees at ear height, as FuMa W, X, Y(, Z).
std::vector<float> plane(int frames, int channels, float level) {
    std::vector<float> samples;
    for (int i = 0; i < frames; ++i) {
        const float s = level * std::sin(0.03f * static_cast<float>(i));
        samples.insert(samples.end(), {s * 0.70710678f, s * 0.8660254f, s * 0.5f});
        if (channels > 3) samples.push_back(0.0f);
    }
    return samples;
}

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool hasLine(const std::string& text, const std::string& line) {
    for (const auto& l : linesOf(text))
        if (l == line) return true;
    return false;
}

} // namespace

TEST(AmbidecReports, NonFiniteSamplesAreCountedAndNeverWritten) {
    ScratchDir dir;
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    std::vector<float> four = plane(3000, 4, 0.5f);
    four[1000 * 4 + 1] = nan; // X at frame 1000
    four[2000 * 4 + 0] = inf;
    writeWav(dir / "four.wav", 4, 48000, four);
    ToolResult r = runAmbidec({"render", kRegular, dir / "four.wav", dir / "out.wav"});
    EXPECT_EQ(r.exitStatus, 1);
    // How long the plug-in takes to recover is its own affair; every output is hit, the
    // unused ones too, at both bad samples.
    const std::string head = "ambidec: " + dir / "out.wav" + ": not written: ";
    const std::string tail = " output samples not finite (NaN or infinity), from 2 input samples "
                             "not finite, the first at 0.020833 s (frame 1000, channel X)\n";
    ASSERT_EQ(r.err.rfind(head, 0), 0u) << r.err;
    ASSERT_GT(r.err.size(), head.size() + tail.size());
    EXPECT_EQ(r.err.substr(r.err.size() - tail.size()), tail) << r.err;
    const long bad = std::stol(r.err.substr(head.size()));
    EXPECT_GE(bad, 16);
    EXPECT_EQ(bad % 8, 0);
    EXPECT_FALSE(exists(dir / "out.wav"));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"four.wav"});

    // In a channel the decoder leaves out: counted, and a warning, as the audio is clean.
    std::vector<float> zOnly = plane(3000, 4, 0.5f);
    zOnly[700 * 4 + 3] = nan;
    writeWav(dir / "z.wav", 4, 48000, zOnly);
    r = runAmbidec({"render", kIrregular, dir / "z.wav", dir / "out.wav"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "ambidec: warning: " + dir / "z.wav" +
                         ": 1 input sample not finite, the first at 0.014583 s (frame 700, "
                         "channel Z)\n");
    EXPECT_TRUE(hasLine(r.out, "  1 input sample not finite, the first at 0.014583 s (frame 700, "
                               "channel Z); every output sample is finite"))
        << r.out;
}

TEST(AmbidecReports, ClippingInIntegerFormatsIsCountedAndWarned) {
    ScratchDir dir;
    writeWav(dir / "loud.wav", 4, 48000, plane(4800, 4, 2.0f));
    // The float render gives the count to expect: samples past full scale per output.
    ToolResult r = runAmbidec({"render", kRegular, dir / "loud.wav", dir / "float.wav"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "") << "no clipping in a float file";
    int channels = 0, rate = 0;
    const auto decoded = readSound(dir / "float.wav", channels, rate);
    ASSERT_EQ(channels, 4); // the square's speakers
    std::vector<long long> over(4, 0);
    for (std::size_t i = 0; i < decoded.size(); ++i)
        if (std::fabs(decoded[i]) > 1.0f) ++over[i % 4];
    long long total = 0;
    int outputs = 0;
    for (long long n : over) {
        total += n;
        outputs += n > 0 ? 1 : 0;
    }
    ASSERT_GT(total, 0);

    r = runAmbidec({"render", kRegular, dir / "loud.wav", dir / "out.flac"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.err, "ambidec: warning: " + dir / "out.flac" + ": " + std::to_string(total) +
                         " samples clipped at 0 dBFS on " + std::to_string(outputs) +
                         " channels (integer format); write .wav, .w64 or .caf (32-bit float) to "
                         "keep them\n");
    EXPECT_NE(r.out.find("peak                 clipped"), std::string::npos) << r.out;
    for (int c = 0; c < 4; ++c) {
        bool found = false;
        for (const auto& line : linesOf(r.out))
            if (line.rfind("  " + std::to_string(c + 1) + " ", 0) == 0 &&
                line.size() > std::to_string(over[c]).size() &&
                line.compare(line.size() - std::to_string(over[c]).size(), std::string::npos,
                             std::to_string(over[c])) == 0)
                found = true;
        EXPECT_TRUE(found) << "output " << c << " clipped " << over[c] << "\n" << r.out;
    }
}

TEST(AmbidecReports, FilesCutShortAreNamed) {
    ScratchDir dir;
    // 8 s at 8 kHz, cut after 1.3 s of frames.
    writeWav(dir / "cut.wav", 4, 8000, plane(64000, 4, 0.3f));
    const std::string bytes = contents(dir / "cut.wav");
    const auto data = bytes.find("data");
    ASSERT_NE(data, std::string::npos);
    ASSERT_EQ(::truncate((dir / "cut.wav").c_str(), static_cast<off_t>(data + 8 + 10400 * 16)), 0);
    ToolResult r = runAmbidec({"render", kRegular, dir / "cut.wav", dir / "out.wav"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const std::string line =
        dir / "cut.wav" +
        ": the file ended early (its header promises 8.000 s); rendered the 1.300 s there";
    EXPECT_EQ(r.err, "ambidec: warning: " + line + "\n");
    EXPECT_TRUE(hasLine(r.out, "  " + line)) << r.out;

    // A FLAC file cut short cannot be decoded to its end: refused, nothing written.
    ASSERT_EQ(runAmbidec({"testsignal", dir / "signal.flac", "--seconds", "4"}).exitStatus, 0);
    const auto size = contents(dir / "signal.flac").size();
    ASSERT_EQ(::truncate((dir / "signal.flac").c_str(), static_cast<off_t>(size / 3)), 0);
    r = runAmbidec({"render", kRegular, dir / "signal.flac", dir / "flac.wav"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err.rfind("ambidec: " + dir / "signal.flac" + ": cannot be read after ", 0), 0u)
        << r.err;
    EXPECT_NE(r.err.find(" of 4.000 s: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("(the file is damaged or cut short)\n"), std::string::npos) << r.err;
    EXPECT_FALSE(exists(dir / "flac.wav"));
}

TEST(AmbidecReports, StandardOutputThatCannotBeWrittenIsAFailure) {
    ScratchDir dir;
    const std::vector<std::vector<std::string>> commands = {
        {"info", kRegular},
        {"testsignal", dir / "t.wav", "--seconds", "0.2"},
        {"help"},
    };
    for (const auto& arguments : commands) {
        SCOPED_TRACE(arguments[0]);
        const ToolResult r = runAmbidecWith(arguments, "", "/dev/full");
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.err, "ambidec: standard output: cannot be written: No space left on device\n");
    }
}

TEST(AmbidecReports, PlotSaysWhenRvIsUndefined) {
    ScratchDir dir;
    // W weighted 0 at low frequencies: no pressure, so no velocity vector.
    ToolResult r = runAmbidec({"plot", kRegular, dir / "p.png", "--set", "UseSpatialEQ=single",
                               "--set", "LowFPattern=2"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out.find("nan"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(", rV at 100 Hz undefined at every azimuth (no pressure), rE at 5 kHz "),
              std::string::npos)
        << r.out;
    r = runAmbidec({"plot", kRegular, dir / "q.png"});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(r.out.find("undefined"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(", rV at 100 Hz 0."), std::string::npos) << r.out;
}

TEST(AmbidecReports, ThreeAndFourChannelFilesFeedBothDecoders) {
    ScratchDir dir;
    writeWav(dir / "three.wav", 3, 48000, plane(2000, 3, 0.4f));
    writeWav(dir / "four.wav", 4, 48000, plane(2000, 4, 0.4f)); // Z silent
    const struct {
        const std::string* bundle;
        const char* input;
        const char* same;
        std::string note;
    } cases[] = {
        {&kRegular, "three.wav", "four.wav",
         "input: " + dir / "three.wav" + " has no Z (3 channels): Z is silent"},
        {&kIrregular, "four.wav", "three.wav", "input: Z ignored (IrregularDecoder takes W, X, Y)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.input);
        ToolResult r = runAmbidec({"render", *c.bundle, dir / c.input, dir / "a.wav", "--force"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_TRUE(hasLine(r.out, c.note)) << r.out;
        r = runAmbidec({"render", *c.bundle, dir / c.same, dir / "b.wav", "--force"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        int ca = 0, cb = 0, rate = 0;
        const auto a = readSound(dir / "a.wav", ca, rate);
        EXPECT_EQ(a, readSound(dir / "b.wav", cb, rate));
        EXPECT_GT(*std::max_element(a.begin(), a.end()), 0.1f);
    }
}

TEST(AmbidecReports, ABareLibraryNameIsAFileHere) {
    ScratchDir dir;
    const std::string so = kRegular + "/Contents/x86_64-linux";
    ToolResult r = runAmbidecWith({"info", "RegularDecoder.so"}, so, dir / "out.txt");
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    // Loaded by its full path, so the plug-in also finds its bundle (and prints nothing).
    EXPECT_EQ(contents(dir / "out.txt").rfind("RegularDecoder (" + so + "/RegularDecoder.so)\n", 0),
              0u)
        << contents(dir / "out.txt");
    // A system library's name names no file here: not searched for on the library path.
    r = runAmbidecWith({"info", "libm.so.6"}, dir.path(), "");
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, "ambidec: " + dir / "libm.so.6: no such file or directory\n");
}

TEST(AmbidecReports, ProgramNamesMatchWhole) {
    ScratchDir dir;
    writeWav(dir / "in.wav", 4, 48000, plane(200, 4, 0.3f));
    const std::string hint = "; the plug-in shows program 1 as 'Hexagon with Centre Fro'";
    const struct {
        const char* name;
        int status;
        std::string after; // the end of the error line
    } cases[] = {
        {"Hexagon with Centre Fro", 0, ""},
        {"3D Cube", 0, ""},
        {"Hexagon with Centre Frog", 2, hint},
        {"Hexagon with Centre Front", 0, ""}, // the full factory name
        {"hexagon  with centre front", 0, ""},
        {"Hexagon", 2, ""},
        {"3D Cube and more", 2, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ToolResult r = runAmbidec(
            {"render", kRegular, dir / "in.wav", dir / "out.wav", "--program", c.name, "--force"});
        EXPECT_EQ(r.exitStatus, c.status) << r.err;
        if (c.status == 0) continue;
        EXPECT_EQ(r.err, "ambidec: RegularDecoder: unknown program '" + std::string(c.name) +
                             "' (programs are 0 to 6 or their names; ambidec info " + kRegular +
                             " lists them)" + c.after + "\n");
    }
}

TEST(AmbidecReports, MessagesSayWhatIsWrong) {
    ScratchDir dir;
    writeWav(dir / "in.wav", 4, 48000, plane(500, 4, 0.3f));
    // A header with a sample rate of 0.
    writeWav(dir / "norate.wav", 4, 48000, plane(100, 4, 0.3f));
    {
        std::fstream f(dir / "norate.wav", std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(24);
        f.write("\0\0\0\0", 4);
    }
    std::ofstream(dir / "empty.wav");
    const std::string R = kRegular;
    const struct {
        std::vector<std::string> arguments;
        std::string message;
        int status;
    } cases[] = {
        {{"render", R, dir.path(), dir / "o.wav"},
         dir.path() + ": cannot be read: it is a directory",
         1},
        {{"render", R, "/dev/null", dir / "o.wav"},
         "/dev/null: cannot be read: it is a device, not a sound file",
         1},
        {{"render", R, dir / "empty.wav", dir / "o.wav"},
         dir / "empty.wav: cannot be read: the file is empty",
         1},
        {{"render", R, dir / "norate.wav", dir / "o.wav"},
         dir / "norate.wav: cannot be read: its header is damaged or incomplete (libsndfile: "
               "Internal error : SF_INFO struct incomplete.)",
         1},
        // A full disk: the reason, for every kind of output.
        {{"plot", R, "/dev/full"}, "/dev/full: cannot be written: No space left on device", 1},
        {{"snapshot", R, "/dev/full"}, "/dev/full: cannot be written: No space left on device", 1},
        {{"render", R, dir / "in.wav", "/dev/full"},
         "/dev/full: cannot be written: No space left on device",
         1},
        // What was typed cannot be understood: 2.
        {{"render", R, dir / "in.wav", dir / "o.wav", "--set", "CutoffF=fast"},
         "Cut off F: cannot read 'fast' (expected 0 to 1 or a frequency such as 500Hz)",
         2},
        {{"render", R, dir / "in.wav", dir / "o.wav", "--set", "Layout=Dodecagon"}, "", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const ToolResult r = runAmbidec(c.arguments);
        EXPECT_EQ(r.exitStatus, c.status);
        if (!c.message.empty()) {
            EXPECT_EQ(r.err, "ambidec: " + c.message + "\n");
        } else {
            EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err;
        }
    }
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"empty.wav", "in.wav", "norate.wav"}));
}
