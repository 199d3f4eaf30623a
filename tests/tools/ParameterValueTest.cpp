// SPDX-License-Identifier: GPL-3.0-or-later
// Values typed with units, and the parameter names and numbers they are set by.
#include "tools/ambidec/ParameterValue.h"
#include "tools/ambidec/ToolError.h"

#include <gtest/gtest.h>

using namespace kiv::ambidec;

namespace {

const std::vector<std::string> kNames = {" Low F Pattern ", " High F Pattern ",
                                         " Cut off F ",     " Layout ",
                                         " Distance Comp",  "Encoded Speaker Distance (NFC)",
                                         " Use Spatial EQ "};
const std::vector<std::string> kLayouts = {
    "Quad (square)",      "Hexagon with CF",     "Hexagon without CF", "Octagon with CF",
    "Octagon without CF", "8 Speaker Cube (3D)", "Octahedron (3D)"};

struct Accepted {
    int parameter;
    const char* text;
    float normalised;
};

const Accepted kAccepted[] = {
    {0, "1.2", 0.6f},
    {0, "0", 0.0f},
    {0, "2", 1.0f},
    {1, "1.33", 0.665f},
    {2, "500Hz", 450.0f / 1150.0f},
    {2, "500 Hz", 450.0f / 1150.0f},
    {2, "50hz", 0.0f},
    {2, "1200Hz", 1.0f},
    {2, "1.2kHz", 1.0f},
    {2, "0.25", 0.25f},
    {4, "2.5m", 2.0f / 7.5f},
    {4, "0.5m", 0.0f},
    {4, "8m", 1.0f},
    {4, "off", 1.0f},
    {5, "No NFC", 1.0f},
    {5, "none", 1.0f},
    {5, "0.2", 0.2f},
    {3, "Hexagon with CF", 1.0f / 6.0f},
    {3, "hexagonwithcf", 1.0f / 6.0f},
    {3, "Octahedron (3D)", 1.0f},
    {3, "0.5", 0.5f},
    {6, "Kiv EQ", 0.5f},
    {6, "mavo-eq", 1.0f},
    {6, "No-Use LF", 0.0f},
    {6, "crossover", 0.5f},
    {6, "0.8", 0.8f},
};

struct Refused {
    int parameter;
    const char* text;
    const char* message;
};

const Refused kRefused[] = {
    {0, "2.5", "Low F Pattern: '2.5' is out of range (ratio 0 to 2)"},
    {0, "-0.1", "Low F Pattern: '-0.1' is out of range (ratio 0 to 2)"},
    {0, "1.2Hz", "Low F Pattern: cannot read '1.2Hz' (expected a ratio from 0 to 2, such as 1.2)"},
    {2, "2000Hz", "Cut off F: '2000Hz' is out of range (50Hz to 1200Hz)"},
    {2, "40Hz", "Cut off F: '40Hz' is out of range (50Hz to 1200Hz)"},
    {2, "1.5", "Cut off F: '1.5' is out of range (a plain number is normalised, 0 to 1)"},
    // A plain number that is no normalised value but a physical one: the form that works.
    {2, "500",
     "Cut off F: '500' is out of range (a plain number is normalised, 0 to 1: did you mean "
     "500Hz?)"},
    {4, "2.5",
     "Distance Comp: '2.5' is out of range (a plain number is normalised, 0 to 1: did you mean "
     "2.5m?)"},
    {3, "octagon",
     "Layout: cannot read 'octagon' (expected one decoder; it names 'Octagon with CF', 'Octagon "
     "without CF': add a word)"},
    {2, "500m", "Cut off F: cannot read '500m' (expected 0 to 1 or a frequency such as 500Hz)"},
    {2, "nan", "Cut off F: cannot read 'nan' (expected 0 to 1 or a frequency such as 500Hz)"},
    {4, "9m", "Distance Comp: '9m' is out of range (0.5m to 8m, 8m meaning off)"},
    {4, "0.4m", "Distance Comp: '0.4m' is out of range (0.5m to 8m, 8m meaning off)"},
    {5, "",
     "Encoded Speaker Distance (NFC): cannot read '' (expected 0 to 1, a distance such "
     "as 2.5m, or off)"},
    {6, "loud",
     "Use Spatial EQ: cannot read 'loud' (expected 0 to 1, No-Use LF (or single), Kiv EQ (or "
     "crossover) or Mavo EQ (or shelf))"},
};

} // namespace

TEST(ParameterValue, AcceptsNormalisedAndPhysicalValues) {
    for (const Accepted& c : kAccepted) {
        const int p = c.parameter;
        EXPECT_NEAR(parseParameterValue(unitOfParameter(p), c.text, kNames[p], kLayouts),
                    c.normalised, 1e-6)
            << kNames[p] << " = " << c.text;
    }
}

TEST(ParameterValue, RefusesWithOneClearLine) {
    for (const Refused& c : kRefused) {
        const int p = c.parameter;
        try {
            parseParameterValue(unitOfParameter(p), c.text, kNames[p], kLayouts);
            ADD_FAILURE() << kNames[p] << " = '" << c.text << "' was accepted";
        } catch (const ToolError& error) {
            EXPECT_EQ(std::string(error.what()), c.message);
            EXPECT_EQ(error.status(), ToolError::kUsage); // what was typed cannot be used
        }
    }
}

TEST(ParameterValue, UnknownLayoutNameListsTheDecoders) {
    try {
        parseParameterValue(ParameterUnit::Layout, "Dodecagon", " Layout ", kLayouts);
        FAIL();
    } catch (const ToolError& error) {
        const std::string message = error.what();
        EXPECT_NE(message.find("Layout: cannot read 'Dodecagon'"), std::string::npos);
        EXPECT_NE(message.find("'Octahedron (3D)'"), std::string::npos);
    }
}

TEST(ParameterValue, FindsParametersByNumberOrNameWithoutBlanks) {
    const struct {
        const char* key;
        int index;
    } found[] = {
        {"0", 0},           {"6", 6},      {"LowFPattern", 0},  {"highfpattern", 1},
        {"CutoffF", 2},     {"Layout", 3}, {"DistanceComp", 4}, {"EncodedSpeakerDistance(NFC)", 5},
        {"UseSpatialEQ", 6}};
    for (const auto& c : found) EXPECT_EQ(findParameter(c.key, kNames), c.index) << c.key;

    // The LV2 symbols, and names without the characters a shell would take for its own.
    const auto symbols = parameterSymbols();
    const struct {
        const char* key;
        int index;
    } bySymbol[] = {{"lf_pattern", 0},       {"hf_pattern", 1},
                    {"cutoff", 2},           {"CUTOFF", 2},
                    {"layout", 3},           {"distance", 4},
                    {"encoded_distance", 5}, {"EncodedSpeakerDistanceNFC", 5},
                    {"spatial_eq", 6},       {"Use-Spatial-EQ", 6}};
    for (const auto& c : bySymbol)
        EXPECT_EQ(findParameter(c.key, kNames, symbols), c.index) << c.key;

    for (const char* key : {"7", "-1", "Cutoff", "Gain", "", "()"}) {
        EXPECT_THROW(findParameter(key, kNames), ToolError) << key;
    }
    try {
        findParameter("Volume", kNames, symbols);
        ADD_FAILURE() << "Volume was found";
    } catch (const ToolError& error) {
        EXPECT_EQ(std::string(error.what()),
                  "unknown parameter 'Volume' (use a number 0 to 6, a symbol (lf_pattern, "
                  "hf_pattern, cutoff, layout, distance, encoded_distance, spatial_eq) or a name "
                  "(LowFPattern, HighFPattern, CutoffF, Layout, DistanceComp, "
                  "EncodedSpeakerDistanceNFC, UseSpatialEQ))");
    }
}

TEST(ParameterValue, DescribesValuesAsTheEditorShowsThem) {
    const struct {
        int parameter;
        float value;
        const char* text;
    } cases[] = {{0, 0.665f, "1.33"},  {1, 0.5f, "1.00"},         {2, 0.28695652f, "380 Hz"},
                 {2, 1.0f, "1200 Hz"}, {4, 0.2f, "2.00 m"},       {4, 1.0f, "off"},
                 {5, 0.0f, "0.50 m"},  {6, 0.2499f, "No-Use LF"}, {6, 0.25f, "Kiv EQ"},
                 {6, 0.75f, "Mavo EQ"}};
    for (const auto& c : cases)
        EXPECT_EQ(describeParameterValue(c.parameter, c.value), c.text) << c.parameter;
}
