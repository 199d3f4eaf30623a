// SPDX-License-Identifier: GPL-3.0-or-later
// Parameters, displays, programs, program names and pin labels of both plug-ins.
#include <cstring>

#include "PluginBundles.h"

namespace {

class Parameters : public PluginTest {};

TEST_P(Parameters, NamesAndLabels) {
    const char* names[] = {" Low F Pattern ", " High F Pattern ", " Cut off F ",
                           " Layout ",        " Distance Comp",   "Encoded Speaker Distance (NFC)",
                           " Use Spatial EQ "};
    const char* labels[] = {"ratio", "ratio", "Hz", "layout", "Metres", "Metres", "Yes/No"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(plugin->parameterName(i), names[i]) << i;
        EXPECT_EQ(plugin->parameterLabel(i), labels[i]) << i;
    }
}

TEST_P(Parameters, OutOfRangeIndexesLeaveTextAlone) {
    for (VstInt32 index : {7, -1, 1000})
        for (VstInt32 opcode : {effGetParamName, effGetParamLabel, effGetParamDisplay}) {
            char text[16] = "untouched";
            dispatch(opcode, index, 0, text);
            EXPECT_STREQ(text, "untouched") << opcode << " " << index;
        }
    plugin->setParameter(7, 0.5f);
    EXPECT_EQ(plugin->getParameter(7), 0.0f);
    EXPECT_EQ(plugin->getParameter(-1), 0.0f);
}

TEST_P(Parameters, DistanceAndCutOffDisplays) {
    struct Row {
        VstInt32 index;
        float value;
        const char* display;
    };
    const Row rows[] = {
        {4, 1.0f, "None"},       {4, 0.2f, "2.00"},    {4, 0.25f, "2.38"},
        {4, 0.0f, "0.50"},       {4, 0.9999f, "8.00"}, {5, 1.0f, "No NFC"},
        {5, 0.2f, "2.00"},       {2, 1.0f, "1200"},    {2, 0.0f, "50"},
        {2, 0.28695652f, "380"}, {0, 0.665f, "1.33"},  {1, 1.0f, "2.00"},
        {6, 0.0f, "No-Use LF"},  {6, 0.25f, "Kiv EQ"}, {6, 0.74f, "Kiv EQ"},
        {6, 0.75f, "Mavo EQ"},
    };
    for (const auto& row : rows) {
        plugin->setParameter(row.index, row.value);
        EXPECT_EQ(plugin->parameterDisplay(row.index), row.display)
            << row.index << " = " << row.value;
    }
}

TEST_P(Parameters, ProgramsRecallTheirOwnEdits) {
    dispatch(effSetProgram, 0, 2);
    plugin->setParameter(0, 0.25f);
    dispatch(effSetProgram, 0, 0);
    EXPECT_NE(plugin->getParameter(0), 0.25f);
    dispatch(effSetProgram, 0, 2);
    EXPECT_EQ(plugin->getParameter(0), 0.25f);
    EXPECT_EQ(plugin->parameterDisplay(0), "0.50");
}

TEST_P(Parameters, ProgramNames) {
    for (int i = 0; i < 7; ++i) EXPECT_EQ(plugin->programNameIndexed(i), facts().programNames[i]);
    char text[32] = "untouched";
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 7, 0, text), 0);
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, -1, 0, text), 0);
    EXPECT_STREQ(text, "untouched");
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 3, 99, text), 1) << "the category is ignored";

    EXPECT_EQ(plugin->programName(), facts().programNames[0]);
    dispatch(effSetProgramName, 0, 0, const_cast<char*>("Init"));
    EXPECT_EQ(plugin->programName(), "Init 1");
    EXPECT_EQ(plugin->programNameIndexed(0), "Init");
    dispatch(effSetProgram, 0, 2);
    dispatch(effSetProgramName, 0, 0, const_cast<char*>("Init"));
    EXPECT_EQ(plugin->programName(), "Init 3");
    dispatch(effSetProgramName, 0, 0, const_cast<char*>("Init2"));
    EXPECT_EQ(plugin->programName(), "Init2");
}

TEST_P(Parameters, InputPins) {
    const char* labels[] = {"W", "X", "Y", "Z"};
    for (VstInt32 i = 0; i < facts().inputs; ++i) {
        VstPinProperties p{};
        p.arrangementType = 77;
        std::strcpy(p.shortLabel, "host");
        EXPECT_EQ(dispatch(effGetInputProperties, i, 0, &p), 1);
        EXPECT_STREQ(p.label, labels[i]);
        EXPECT_EQ(p.flags, kVstPinIsActive);
        EXPECT_EQ(p.arrangementType, 77) << "left as the host put it";
        EXPECT_STREQ(p.shortLabel, "host");
    }
    VstPinProperties p{};
    EXPECT_FALSE(plugin->inputProperties(facts().inputs, p));
    EXPECT_FALSE(plugin->inputProperties(-1, p));
}

TEST_P(Parameters, OutputPinBeyondTheTableKeepsItsLabel) {
    VstPinProperties p{};
    std::strcpy(p.label, "host label");
    EXPECT_EQ(dispatch(effGetOutputProperties, 9, 0, &p), 1);
    EXPECT_STREQ(p.label, "host label");
    EXPECT_EQ(p.flags, kVstPinIsActive);
}

TEST_P(Parameters, VendorProductVersionCategory) {
    EXPECT_EQ(plugin->vendorString(), "Kivtone");
    EXPECT_EQ(plugin->productString(), facts().product);
    EXPECT_EQ(dispatch(effGetVendorVersion), 1000);
    EXPECT_EQ(dispatch(effGetPlugCategory), 0);
}

KIV_BOTH_BUNDLES(Parameters);

// ---- bundle constants ----

class RegularDecoder : public PluginTest {};

TEST_P(RegularDecoder, StateAfterConstruction) {
    const float values[] = {0.665f, 0.575f, 0.28695652f, 0.0f, 1.0f, 1.0f, 1.0f};
    const char* displays[] = {"1.33", "1.15", "380", "Quad (square)", "None", "No NFC", "Mavo EQ"};
    EXPECT_EQ(dispatch(effGetProgram), 0);
    for (int i = 0; i < 7; ++i) {
        EXPECT_FLOAT_EQ(plugin->getParameter(i), values[i]) << i;
        EXPECT_EQ(plugin->parameterDisplay(i), displays[i]) << i;
    }
}

TEST_P(RegularDecoder, EveryProgramSelectsItsSlot) {
    const char* decoders[] = {"Quad (square)",   "Hexagon with CF",    "Hexagon without CF",
                              "Octagon with CF", "Octagon without CF", "8 Speaker Cube (3D)",
                              "Octahedron (3D)"};
    const char* lowPattern[] = {"1.33", "1.33", "1.33", "1.33", "1.33", "1.50", "1.50"};
    // 2 x (0.5 x 1.3) is 1.2999999 in 32 bits: rounded, it shows as the ratio it stands for.
    const char* highPattern[] = {"1.15", "1.15", "1.15", "1.15", "1.15", "1.30", "1.30"};
    for (int i = 0; i < 7; ++i) {
        dispatch(effSetProgram, 0, i);
        EXPECT_EQ(plugin->parameterDisplay(3), decoders[i]) << i;
        EXPECT_FLOAT_EQ(plugin->getParameter(3), static_cast<float>(i) / 6.0f);
        EXPECT_EQ(plugin->parameterDisplay(0), lowPattern[i]) << i;
        EXPECT_EQ(plugin->parameterDisplay(1), highPattern[i]) << i;
        EXPECT_EQ(plugin->parameterDisplay(6), "Mavo EQ");
        EXPECT_EQ(plugin->parameterDisplay(4), "None");
    }
}

TEST_P(RegularDecoder, OutputPinsFollowTheLayout) {
    const std::vector<std::vector<const char*>> pins = {
        {"FL", "FR", "BL", "BR", "Unused", "Unused", "Unused", "Unused"},
        {"C", "FL", "BL", "B", "BR", "FR", "Unused", "Unused"},
        {"FL", "L", "BL", "BR", "R", "FR", "Unused", "Unused"},
        {"C_0", "FL_45", "L_90", "BL_135", "B_180", "BR_225", "R_270", "FR_315"},
        {"FL_22.5", "FL_67.5", "BL_112.5", "BL_157.5", "BR_202.5", "BR_247.5", "FR_292.5",
         "FR_337.5"},
        {"FL_Up", "BL_Up", "BR_Up", "FR_Up", "FL_Dn", "BL_Dn", "BR_Dn", "FR_Dn"},
        {"Front_Up", "Back_Up", "Left", "Right", "Front_Dn", "Back_Dn", "Unused", "Unused"},
    };
    for (int program = 0; program < 7; ++program) {
        dispatch(effSetProgram, 0, program);
        for (int pin = 0; pin < 8; ++pin)
            EXPECT_EQ(outputLabel(pin), pins[program][pin]) << program << " " << pin;
    }
    // A layout changed by hand renames the pins the same way.
    dispatch(effSetProgram, 0, 0);
    plugin->setParameter(3, 3.0f / 6.0f);
    EXPECT_EQ(outputLabel(0), "C_0");
    EXPECT_EQ(outputLabel(7), "FR_315");
}

INSTANTIATE_TEST_SUITE_P(Bundle, RegularDecoder, ::testing::Values(&kRegular), bundleName);

class IrregularDecoder : public PluginTest {};

TEST_P(IrregularDecoder, StateAfterConstruction) {
    const float values[] = {0.5f, 0.5f, 0.28695652f, 0.0f, 1.0f, 1.0f, 0.0f};
    const char* displays[] = {"1.00", "1.00",   "380",      "ITU 5.0 Full Range v1",
                              "None", "No NFC", "No-Use LF"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_FLOAT_EQ(plugin->getParameter(i), values[i]) << i;
        EXPECT_EQ(plugin->parameterDisplay(i), displays[i]) << i;
    }
}

TEST_P(IrregularDecoder, ProgramsAndPins) {
    const char* decoders[] = {"ITU 5.0 Full Range v1",   "ITU 5.0 Full Range v2",
                              "ITU 5.0 LF Optimised v1", "ITU 5.0 LF Optimised v2",
                              "ITU 5.0 HF Optimised v1", "ITU 5.0 Full Range v3",
                              "ITU 5.0 Full Range v4"};
    const char* pins[] = {"FL", "FR", "SL", "SR", "C (may be unused)"};
    for (int program = 0; program < 7; ++program) {
        dispatch(effSetProgram, 0, program);
        EXPECT_EQ(plugin->parameterDisplay(3), decoders[program]);
        for (int pin = 0; pin < 5; ++pin) EXPECT_EQ(outputLabel(pin), pins[pin]) << program;
    }
}

INSTANTIATE_TEST_SUITE_P(Bundle, IrregularDecoder, ::testing::Values(&kIrregular), bundleName);

} // namespace
