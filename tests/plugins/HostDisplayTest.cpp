// SPDX-License-Identifier: GPL-3.0-or-later
// What a host shows of a parameter (effGetParamDisplay) is what the editor shows, without
// the unit the host takes from the label: rounded, never cut, at most 8 characters.
#include <cstring>
#include <string>

#include "PluginBundles.h"
#include "editor/DisplayConversions.h"

namespace {

class HostDisplay : public PluginTest {};

TEST_P(HostDisplay, NumbersAreRoundedAsTheEditorShowsThem) {
    struct Case {
        VstInt32 index;
        float value;
        const char* text;
    };
    // Values whose first three characters differ from the rounded text come first.
    const Case cases[] = {
        {2, 1.0f, "1200"},   {2, 1000.0f / 1150.0f, "1050"},
        {0, 0.9f, "1.80"}, // 2 x 0.9f = 1.7999999
        {0, 0.7f, "1.40"},   {5, 0.05f / 7.5f, "0.55"},
        {4, 0.2f, "2.00"},   {1, 0.575f, "1.15"},
        {0, 0.665f, "1.33"}, {2, 0.28695652f, "380"},
        {0, 0.0f, "0.00"},   {1, 1.0f, "2.00"},
        {2, 0.0f, "50"},     {4, 0.0f, "0.50"},
        {5, 0.0f, "0.50"},   {4, 1.0f, "None"},
        {5, 1.0f, "No NFC"},
    };
    for (const Case& c : cases) {
        plugin->setParameter(c.index, c.value);
        EXPECT_EQ(plugin->parameterDisplay(c.index), c.text) << c.index << " = " << c.value;
    }
}

// The editor's text for a parameter value, without its unit; "Off" is what the host calls
// "None" (speaker distance) or "No NFC" (encoded distance).
std::string editorText(VstInt32 index, float value) {
    char text[kDisplayTextSize] = {};
    switch (index) {
    case 0:
    case 1:
        FloatToGainStringJex(value, text);
        return text;
    case 2:
        FloatToHzStringJex(value, text);
        return std::string(text, std::strlen(text) - 2); // "Hz"
    default:
        FloatToDistStringJex(value, text);
        if (std::strcmp(text, "Off") == 0) return index == 4 ? "None" : "No NFC";
        return std::string(text, std::strlen(text) - 1); // "m"
    }
}

TEST_P(HostDisplay, EveryNumericValueReadsAsInTheEditor) {
    constexpr int kSteps = 2000;
    for (VstInt32 index : {0, 1, 2, 4, 5}) {
        for (int step = 0; step <= kSteps; ++step) {
            const float value = static_cast<float>(step) / kSteps;
            plugin->setParameter(index, value);
            const std::string shown = plugin->parameterDisplay(index);
            ASSERT_EQ(shown, editorText(index, value)) << index << " = " << value;
            ASSERT_LE(shown.size(), 8u) << index << " = " << value;
        }
    }
}

TEST_P(HostDisplay, EveryFactoryProgramReadsAsInTheEditor) {
    for (int program = 0; program < 7; ++program) {
        dispatch(effSetProgram, 0, program);
        for (VstInt32 index : {0, 1, 2, 4, 5})
            EXPECT_EQ(plugin->parameterDisplay(index),
                      editorText(index, plugin->getParameter(index)))
                << "program " << program << ", parameter " << index;
    }
}

KIV_BOTH_BUNDLES(HostDisplay);

} // namespace
