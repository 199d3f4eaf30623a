// SPDX-License-Identifier: GPL-3.0-or-later
// The VST bundle as a host's dispatcher sees it: the record, the texts, the pins named by
// the direction, a program per direction that follows the parameter, and what the .so
// exports.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>

#include "host/VstOpcodes.h"
#include "tests/converter/ConverterFaces.h"
#include "tests/support/ChildProcess.h"

using namespace kiv::convertertest;

namespace {

std::vector<std::string> pinLabels(kiv::vsthost::PluginInstance& plugin, bool inputs) {
    std::vector<std::string> labels;
    for (int i = 0; i < 4; ++i) {
        VstPinProperties pin{};
        const bool answered =
            inputs ? plugin.inputProperties(i, pin) : plugin.outputProperties(i, pin);
        EXPECT_TRUE(answered) << (inputs ? "input " : "output ") << i;
        EXPECT_EQ(pin.flags & kVstPinIsActive, kVstPinIsActive);
        labels.push_back(pin.label);
    }
    return labels;
}

std::set<std::string> definedDynamicSymbols(const std::string& so) {
    int status = -1;
    std::istringstream lines(kiv::test::outputOf({KIV_NM, "-D", "--defined-only", so}, status));
    std::set<std::string> names;
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    EXPECT_EQ(status, 0) << KIV_NM << " -D --defined-only " << so;
    return names;
}

} // namespace

TEST(ConverterVst, RecordAndTexts) {
    auto plugin = vstInstance();
    const AEffect& e = *plugin->effect();
    EXPECT_EQ(e.numInputs, 4);
    EXPECT_EQ(e.numOutputs, 4);
    EXPECT_EQ(e.numParams, 1);
    EXPECT_EQ(e.numPrograms, 2);
    EXPECT_EQ(e.uniqueID, 0x5A424643); // "ZBFC"
    EXPECT_EQ(e.initialDelay, 0);
    EXPECT_TRUE(e.flags & effFlagsCanReplacing);
    EXPECT_FALSE(e.flags & effFlagsHasEditor);
    ERect rect{};
    EXPECT_FALSE(plugin->editorRect(rect));
    EXPECT_EQ(plugin->vendorString(), "Kivtone");
    EXPECT_EQ(plugin->productString(), "B-Format Converter (AmbiX / FuMa)");
    EXPECT_EQ(plugin->effectName(), "BFormatConverter");
    EXPECT_EQ(plugin->dispatch(effGetVendorVersion), 1000);
    EXPECT_EQ(plugin->parameterName(0), "Direction");
    EXPECT_EQ(plugin->parameterLabel(0), "");
    EXPECT_EQ(plugin->programNameIndexed(0), "AmbiX to FuMa");
    EXPECT_EQ(plugin->programNameIndexed(1), "FuMa to AmbiX");
    EXPECT_EQ(plugin->dispatch(effGetProgramNameIndexed, 2, 0, nullptr), 0);
}

// Pins, display, program and its name, for values across the range.
TEST(ConverterVst, EverythingTheHostShowsFollowsTheDirection) {
    const std::vector<std::string> ambix = {"ACN0 (W)", "ACN1 (Y)", "ACN2 (Z)", "ACN3 (X)"};
    const std::vector<std::string> fuma = {"W", "X", "Y", "Z"};
    const struct {
        float value;
        int program;
        const char* name;
        const std::vector<std::string>& inputs;
        const std::vector<std::string>& outputs;
    } cases[] = {
        {0.0f, 0, "AmbiX to FuMa", ambix, fuma},        {0.3f, 0, "AmbiX to FuMa", ambix, fuma},
        {0.5f, 1, "FuMa to AmbiX", fuma, ambix},        {1.0f, 1, "FuMa to AmbiX", fuma, ambix},
        {0.49999997f, 0, "AmbiX to FuMa", ambix, fuma},
    };
    auto plugin = vstInstance();
    for (const auto& c : cases) {
        plugin->setParameter(0, c.value);
        EXPECT_EQ(plugin->getParameter(0), c.value);
        EXPECT_EQ(plugin->parameterDisplay(0), c.name) << c.value;
        EXPECT_EQ(plugin->dispatch(effGetProgram), c.program) << c.value;
        EXPECT_EQ(plugin->programName(), c.name) << c.value;
        EXPECT_EQ(pinLabels(*plugin, true), c.inputs) << c.value;
        EXPECT_EQ(pinLabels(*plugin, false), c.outputs) << c.value;
    }
    VstPinProperties pin{};
    EXPECT_FALSE(plugin->inputProperties(4, pin));
    EXPECT_FALSE(plugin->outputProperties(-1, pin));
}

TEST(ConverterVst, AProgramSetsTheDirectionAndKeepsItsName) {
    auto plugin = vstInstance();
    plugin->dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(plugin->getParameter(0), 1.0f);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 1);
    char renamed[] = "Mine";
    plugin->dispatch(effSetProgramName, 0, 0, renamed);
    EXPECT_EQ(plugin->programName(), "FuMa to AmbiX");
    plugin->dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(plugin->getParameter(0), 0.0f);
    // A program that does not exist changes nothing.
    plugin->dispatch(effSetProgram, 0, 2);
    plugin->dispatch(effSetProgram, 0, -1);
    EXPECT_EQ(plugin->dispatch(effGetProgram), 0);
    // Nor does a parameter that does not exist.
    plugin->setParameter(1, 1.0f);
    plugin->setParameter(-1, 1.0f);
    EXPECT_EQ(plugin->getParameter(0), 0.0f);
    EXPECT_EQ(plugin->getParameter(1), 0.0f);
}

TEST(ConverterExports, EachFaceExportsOnlyItsEntry) {
    EXPECT_EQ(definedDynamicSymbols(KIV_CONVERTER_VST_SO), std::set<std::string>{"VSTPluginMain"});
    EXPECT_EQ(definedDynamicSymbols(KIV_CONVERTER_LV2_SO), std::set<std::string>{"lv2_descriptor"});
}
