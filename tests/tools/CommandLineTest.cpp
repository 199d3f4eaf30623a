// SPDX-License-Identifier: GPL-3.0-or-later
// The command line: what each command accepts, and the usage errors it reports.
#include "tools/ambidec/CommandLine.h"
#include "tools/ambidec/ToolError.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

using namespace kiv::ambidec;

namespace {

Command parse(std::initializer_list<const char*> words) {
    std::vector<const char*> argv{"ambidec"};
    argv.insert(argv.end(), words.begin(), words.end());
    return parseCommandLine(static_cast<int>(argv.size()), argv.data());
}

} // namespace

TEST(CommandLine, RenderTakesEveryOption) {
    const Command c =
        parse({"render", "R.vst", "in.wav", "out.flac", "--program", "Quad (square)", "--set",
               "CutoffF=500Hz", "--set", "4=2.5m", "--block", "64", "--input", "ambix", "--force"});
    EXPECT_EQ(c.kind, CommandKind::Render);
    EXPECT_EQ(c.bundle, "R.vst");
    EXPECT_EQ(c.input, "in.wav");
    EXPECT_EQ(c.output, "out.flac");
    EXPECT_EQ(c.program.value_or(""), "Quad (square)");
    EXPECT_EQ(c.settings, (std::vector<std::string>{"CutoffF=500Hz", "4=2.5m"}));
    EXPECT_EQ(c.blockSize, 64);
    EXPECT_EQ(c.inputFormat, InputFormat::AmbiX);
    EXPECT_TRUE(c.force);
    EXPECT_FALSE(c.allOutputs);

    // Standard input, and every plug-in output.
    const Command piped = parse({"render", "R.vst", "-", "out.wav", "--all-outputs"});
    EXPECT_EQ(piped.input, "-");
    EXPECT_TRUE(piped.allOutputs);
}

TEST(CommandLine, InfoTakesAProgram) {
    const Command c = parse({"info", "R.vst", "--program", "3D Cube"});
    EXPECT_EQ(c.kind, CommandKind::Info);
    EXPECT_EQ(c.program.value_or(""), "3D Cube");
    EXPECT_FALSE(parse({"info", "R.vst"}).program.has_value());
}

TEST(CommandLine, UsageErrors) {
    const struct {
        std::initializer_list<const char*> words;
        const char* message;
    } cases[] = {
        {{}, "no command given (ambidec help)"},
        {{"decode", "x"},
         "unknown command 'decode' (use info, render, plot, snapshot or testsignal; ambidec help)"},
        {{"render", "R.vst", "in.wav"}, "render expects 3 file arguments, got 2 (ambidec help)"},
        {{"info", "R.vst", "extra"}, "info expects 1 file argument, got 2 (ambidec help)"},
        {{"info", "R.vst", "--force"}, "info takes no option --force"},
        {{"plot", "R.vst", "p.png", "--block", "64"}, "plot takes no option --block"},
        {{"plot", "R.vst", "p.png", "--all-outputs"}, "plot takes no option --all-outputs"},
        {{"info", "R.vst", "--program"}, "--program needs a value"},
        {{"render", "R.vst", "a", "b", "--block", "0"},
         "--block '0': expected a whole number from 1 to 65536"},
        {{"render", "R.vst", "a", "b", "--block", "12x"},
         "--block '12x': expected a whole number from 1 to 65536"},
        {{"render", "R.vst", "a", "b", "--input", "acn"}, "--input 'acn': expected fuma or ambix"},
        {{"render", "R.vst", "a", "b", "--set", "CutoffF"},
         "--set 'CutoffF': expected PARAM=VALUE"},
        {{"render", "R.vst", "a", "b", "--program"}, "--program needs a value"},
        {{"render", "R.vst", "a", "b", "--channels", "3"}, "render takes no option --channels"},
        {{"testsignal", "t.wav", "--channels", "2"}, "--channels '2': expected 3 or 4"},
        {{"testsignal", "t.wav", "--channels", "3", "--elevation", "30"},
         "--elevation needs --channels 4 (a 3-channel file has no Z)"},
        {{"testsignal", "t.wav", "--seconds", "0"},
         "--seconds '0': expected a number from 0.1 to 3600"},
    };
    for (const auto& c : cases) {
        try {
            parse(c.words);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const ToolError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
            EXPECT_EQ(error.status(), ToolError::kUsage);
        }
    }
}
