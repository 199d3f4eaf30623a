// SPDX-License-Identifier: GPL-3.0-or-later
// ambidec info and render through the real bundles: the plug-ins' own texts, and decoded
// samples against values computed from the decoder catalogue.
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using namespace kiv::ambidec::testing;

namespace {

constexpr double kHalfSqrt2 = 0.70710678118654752440;

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

// The line of the parameter table that starts with the parameter's number.
std::string parameterLine(const std::string& text, int index) {
    bool inTable = false;
    for (const auto& l : linesOf(text)) {
        if (l.rfind("parameters (", 0) == 0) inTable = true;
        if (inTable && l.rfind("  " + std::to_string(index) + " ", 0) == 0) return l;
    }
    return "";
}

struct KnownParameter {
    const char* name;
    const char* label;
    const char* value;
    const char* display;
};

struct KnownBundle {
    const std::string* bundle;
    std::vector<std::string> lines;
    KnownParameter parameters[7];
    std::vector<std::string> programs;
};

// A signal with some variety: two sines, 0.5 at most.
std::vector<float> sourceSignal(int frames) {
    std::vector<float> s(frames);
    for (int i = 0; i < frames; ++i)
        s[i] = static_cast<float>(0.3 * std::sin(2 * M_PI * 441.0 * i / 48000) +
                                  0.2 * std::sin(2 * M_PI * 3001.0 * i / 48000 + 0.4));
    return s;
}

// FuMa frames of a plane wave from azimuth, at ear height.
std::vector<float> encoded(const std::vector<float>& s, double azimuthDeg, int channels) {
    std::vector<float> out;
    const double a = azimuthDeg * M_PI / 180.0;
    for (float v : s) {
        out.push_back(static_cast<float>(v * kHalfSqrt2));
        out.push_back(static_cast<float>(v * std::cos(a)));
        out.push_back(static_cast<float>(v * std::sin(a)));
        if (channels > 3) out.push_back(0.0f);
    }
    return out;
}

// Every output sample is its speaker's gain times the source, within float rounding.
void expectGains(const std::string& path, const std::vector<float>& source,
                 const std::vector<double>& gains) {
    int channels = 0, rate = 0;
    const std::vector<float> out = readSound(path, channels, rate);
    ASSERT_EQ(channels, static_cast<int>(gains.size()));
    EXPECT_EQ(rate, 48000);
    ASSERT_EQ(out.size(), source.size() * gains.size());
    for (std::size_t c = 0; c < gains.size(); ++c) {
        double worst = 0;
        for (std::size_t i = 0; i < source.size(); ++i)
            worst = std::max(worst, std::fabs(out[i * channels + c] - gains[c] * source[i]));
        EXPECT_LT(worst, 2e-6) << "output " << c << " should be " << gains[c] << " x source";
        if (gains[c] == 0.0) {
            EXPECT_EQ(worst, 0.0) << "output " << c << " is silent";
        }
    }
}

} // namespace

TEST(AmbidecInfo, ShowsThePluginsKnownTexts) {
    const KnownBundle bundles[] = {
        {&kRegular,
         {"  name        (none given)", "  vendor      \"Kivtone\", version 1000",
          "  product     \"Regular Shape 1st Order Decoder\"",
          "  unique id   \"ZBD8\" (0x5A424438)", "  category    0",
          "  inputs      4: 1 \"W\", 2 \"X\", 3 \"Y\", 4 \"Z\"",
          "  outputs     8: 1 \"FL\", 2 \"FR\", 3 \"BL\", 4 \"BR\", 5 \"Unused\", 6 \"Unused\", "
          "7 \"Unused\", 8 \"Unused\"",
          "  DecList     0 3 4 5 6 7 8", "parameters (7)", "programs (7, current 0)"},
         {{" Low F Pattern ", "ratio", "0.665000", "1.33"},
          {" High F Pattern ", "ratio", "0.575000", "1.15"},
          {" Cut off F ", "Hz", "0.286957", "380"},
          {" Layout ", "layout", "0.000000", "Quad (square)"},
          {" Distance Comp", "Metres", "1.000000", "None"},
          {"Encoded Speaker Distance (NFC)", "Metres", "1.000000", "No NFC"},
          {" Use Spatial EQ ", "Yes/No", "1.000000", "Mavo EQ"}},
         // Program names hold 23 characters.
         {"Quad (square)", "Hexagon with Centre Fro", "Hexagon without Centre ",
          "Octagon with Centre Fro", "Octagon without Centre ", "3D Cube", "3D Octahedron"}},
        {&kIrregular,
         {"  vendor      \"Kivtone\", version 1000",
          "  product     \"Irregular Shape 1st Order Ambisonic Decoder\"",
          "  unique id   \"ZBD5\" (0x5A424435)", "  category    0",
          "  inputs      3: 1 \"W\", 2 \"X\", 3 \"Y\"",
          "  outputs     5: 1 \"FL\", 2 \"FR\", 3 \"SL\", 4 \"SR\", 5 \"C (may be unused)\"",
          "  DecList     1 2 10 11 12 13 14"},
         {{" Low F Pattern ", "ratio", "0.500000", "1.00"},
          {" High F Pattern ", "ratio", "0.500000", "1.00"},
          {" Cut off F ", "Hz", "0.286957", "380"},
          {" Layout ", "layout", "0.000000", "ITU 5.0 Full Range v1"},
          {" Distance Comp", "Metres", "1.000000", "None"},
          {"Encoded Speaker Distance (NFC)", "Metres", "1.000000", "No NFC"},
          {" Use Spatial EQ ", "Yes/No", "0.000000", "No-Use LF"}},
         {"ITU Full Range v1", "ITU Full Range v2", "ITU LF Optimised v1", "ITU LF Optimised v2",
          "ITU HF Optimised v1", "ITU Full Range v3", "ITU Full Range v4"}},
    };
    for (const KnownBundle& known : bundles) {
        SCOPED_TRACE(*known.bundle);
        const ToolResult r = runAmbidec({"info", *known.bundle});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(r.err, "");
        for (const auto& line : known.lines)
            EXPECT_TRUE(hasLine(r.out, line)) << line << "\n" << r.out;
        EXPECT_NE(r.out.find("  editor      "), std::string::npos);
        for (int p = 0; p < 7; ++p) {
            const std::string line = parameterLine(r.out, p);
            const KnownParameter& k = known.parameters[p];
            std::size_t at = 0;
            for (const std::string& piece :
                 {"\"" + std::string(k.name) + "\"", "\"" + std::string(k.label) + "\"",
                  std::string(k.value), "\"" + std::string(k.display) + "\""}) {
                at = line.find(piece, at);
                EXPECT_NE(at, std::string::npos) << piece << " in: " << line;
            }
        }
        for (std::size_t i = 0; i < known.programs.size(); ++i)
            EXPECT_TRUE(
                hasLine(r.out, "  " + std::to_string(i) + "  \"" + known.programs[i] + "\""))
                << known.programs[i];
    }
}

TEST(AmbidecRender, SourceAheadThroughTheSquare) {
    ScratchDir dir;
    const std::vector<float> source = sourceSignal(2450);
    writeWav(dir / "ahead.wav", 4, 48000, encoded(source, 0.0, 4));
    // Single-band mode: the outputs are the matrix times the input, each channel weighted by
    // the pattern p (W by 2 - p). Quad (square): W 0.7071067811865476 for every speaker,
    // X +-0.35355339059327373; W carries the source at -3 dB.
    const double x = 0.35355339059327373;
    const struct {
        const char* pattern;
        double p;
    } patterns[] = {{"1", 1.0}, {"1.3333333", 2 * 0.66666665f}, {"0.5", 0.5}};
    for (const auto& c : patterns) {
        const std::string out = dir / (std::string("square-") + c.pattern + ".wav");
        const ToolResult r =
            runAmbidec({"render", kRegular, dir / "ahead.wav", out, "--program", "0", "--set",
                        "UseSpatialEQ=No-Use LF", "--set", std::string("LowFPattern=") + c.pattern,
                        "--block", "100"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        const double w = (2 - c.p) * kHalfSqrt2 * kHalfSqrt2;
        expectGains(out, source, {w + c.p * x, w + c.p * x, w - c.p * x, w - c.p * x});
        // A mode's name with no unit label after it.
        EXPECT_TRUE(hasLine(r.out, "  set Use Spatial EQ = No-Use LF (normalised 0)")) << r.out;
        EXPECT_NE(r.out.find("2450 frames at 48000 Hz"), std::string::npos) << r.out;
        EXPECT_TRUE(hasLine(r.out, "  channel positions: FL FR BL BR")) << r.out;
        EXPECT_EQ(r.out.find("Unused"), std::string::npos) << "no silent outputs written\n"
                                                           << r.out;
    }
}

TEST(AmbidecRender, SourceAtNinetyDegreesThroughItu) {
    ScratchDir dir;
    const std::vector<float> source = sourceSignal(3000);
    writeWav(dir / "left.wav", 3, 48000, encoded(source, 90.0, 3));
    // The factory programs decode in single-band mode with both patterns at 1, so each
    // speaker gives W coefficient / sqrt 2 + Y coefficient.
    const struct {
        const char* program;
        std::vector<double> w, y; // FL, FR, SL, SR, C
    } programs[] = {
        {"ITU LF Optimised v1", {0.165, 0.165, 0.51, 0.51, 0.065}, {0.31, -0.31, 0.365, -0.365, 0}},
        {"3", {0.125, 0.125, 0.515, 0.515, 0.13}, {0.305, -0.305, 0.365, -0.365, 0}},
        {"5", {0.425, 0.425, 0.47, 0.47, 0.2}, {0.405, -0.405, 0.415, -0.415, 0}},
        {"0",
         {0.39284861846069663, 0.39284861846069663, 0.6569919502036998, 0.6569919502036998, 0},
         {0.344936431434402, -0.344936431434402, 0.4507033671738203, -0.4507033671738203, 0}},
    };
    for (const auto& c : programs) {
        SCOPED_TRACE(c.program);
        const std::string out = dir / "itu.wav";
        const ToolResult r = runAmbidec(
            {"render", kIrregular, dir / "left.wav", out, "--program", c.program, "--force"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        // The five-speaker decoders' file is FL FR C SL SR (WAV's order); the four-speaker
        // ones leave the silent centre out.
        std::vector<double> gains;
        const bool centre = c.w[4] != 0.0;
        for (int s : centre ? std::vector<int>{0, 1, 4, 2, 3} : std::vector<int>{0, 1, 2, 3})
            gains.push_back(c.w[s] * kHalfSqrt2 + c.y[s]);
        expectGains(out, source, gains);
    }
}

TEST(AmbidecRender, AmbixInputEqualsTheFuMaFile) {
    ScratchDir dir;
    // Noise from every direction at once, with height: all four channels independent.
    std::vector<float> fuma, ambix;
    unsigned state = 12345;
    const auto noise = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<float>((state >> 8) & 0xFFFF) / 65536.0f - 0.5f;
    };
    for (int i = 0; i < 5000; ++i) {
        const float w = noise(), x = noise(), y = noise(), z = noise();
        fuma.insert(fuma.end(), {w, x, y, z});
        ambix.insert(ambix.end(), {static_cast<float>(w * std::sqrt(2.0)), y, z, x});
    }
    std::vector<float> fuma3;
    for (std::size_t i = 0; i < fuma.size(); i += 4)
        fuma3.insert(fuma3.end(), {fuma[i], fuma[i + 1], fuma[i + 2]});
    writeWav(dir / "fuma.wav", 4, 48000, fuma);
    writeWav(dir / "fuma3.wav", 3, 48000, fuma3);
    writeWav(dir / "ambix.wav", 4, 48000, ambix);

    const struct {
        const std::string* bundle;
        const char* program;
        const char* fumaFile;
    } cases[] = {{&kRegular, "3D Cube", "fuma.wav"},
                 {&kRegular, "3D Octahedron", "fuma.wav"},
                 {&kIrregular, "ITU LF Optimised v2", "fuma3.wav"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        ASSERT_EQ(runAmbidec({"render", *c.bundle, dir / c.fumaFile, dir / "a.wav", "--program",
                              c.program, "--force"})
                      .exitStatus,
                  0);
        const ToolResult r = runAmbidec({"render", *c.bundle, dir / "ambix.wav", dir / "b.wav",
                                         "--program", c.program, "--input", "ambix", "--force"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        int ca = 0, cb = 0, rate = 0;
        const auto a = readSound(dir / "a.wav", ca, rate);
        const auto b = readSound(dir / "b.wav", cb, rate);
        ASSERT_EQ(ca, cb);
        ASSERT_EQ(a.size(), b.size());
        double worst = 0, peak = 0;
        for (std::size_t i = 0; i < a.size(); ++i) {
            worst = std::max(worst, static_cast<double>(std::fabs(a[i] - b[i])));
            peak = std::max(peak, static_cast<double>(std::fabs(a[i])));
        }
        EXPECT_GT(peak, 0.1);
        EXPECT_LT(worst, 1e-6); // W through sqrt 2 and back: a rounding step at most
    }
}

TEST(AmbidecRender, OutputFormatFollowsTheExtension) {
    ScratchDir dir;
    const std::vector<float> source = sourceSignal(1000);
    writeWav(dir / "in.wav", 4, 44100, encoded(source, 30.0, 4));
    for (const char* name : {"out.flac", "out.aiff"}) {
        const ToolResult r = runAmbidec({"render", kRegular, dir / "in.wav", dir / name});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        int channels = 0, rate = 0;
        const auto samples = readSound(dir / name, channels, rate);
        EXPECT_EQ(channels, 4); // the square's speakers
        EXPECT_EQ(rate, 44100); // the file's own rate
        EXPECT_EQ(samples.size(), 4000u);
    }
}

TEST(AmbidecRender, ProgramsByNumberOrName) {
    ScratchDir dir;
    writeWav(dir / "in.wav", 4, 48000, encoded(sourceSignal(500), 75.0, 4));
    // The name the host sees (23 characters), in any case.
    const char* names[] = {"1", "Hexagon with Centre Fro", "hexagon with centre fro",
                           "HEXAGON WITH CENTRE FRO"};
    std::vector<float> first;
    for (const char* name : names) {
        SCOPED_TRACE(name);
        const ToolResult r = runAmbidec(
            {"render", kRegular, dir / "in.wav", dir / "out.wav", "--program", name, "--force"});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(r.out.rfind("RegularDecoder, program 1 \"Hexagon with Centre Fro\"\n", 0), 0u)
            << r.out;
        int channels = 0, rate = 0;
        const auto samples = readSound(dir / "out.wav", channels, rate);
        if (first.empty()) first = samples;
        EXPECT_EQ(samples, first);
    }
    // Six speakers driven, the two silent outputs not written; with --all-outputs they are.
    for (const bool all : {false, true}) {
        std::vector<std::string> arguments{"render",    kRegular, dir / "in.wav", dir / "out.wav",
                                           "--program", "1",      "--force"};
        if (all) arguments.push_back("--all-outputs");
        ASSERT_EQ(runAmbidec(arguments).exitStatus, 0);
        int channels = 0, rate = 0;
        const auto samples = readSound(dir / "out.wav", channels, rate);
        ASSERT_EQ(channels, all ? 8 : 6);
        for (int c = 0; c < channels; ++c) {
            float peak = 0;
            for (std::size_t i = c; i < samples.size(); i += channels)
                peak = std::max(peak, std::fabs(samples[i]));
            if (c < 6)
                EXPECT_GT(peak, 0.01f) << c;
            else
                EXPECT_EQ(peak, 0.0f) << c;
        }
    }
}
