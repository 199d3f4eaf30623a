// SPDX-License-Identifier: GPL-3.0-or-later
// Host input that used to corrupt state or crash: values outside 0 to 1 and NaN, negative
// program numbers, long program names, null text buffers.
#include <cmath>
#include <cstring>
#include <limits>

#include "PluginBundles.h"

namespace {

class MendedFaults : public PluginTest {};

TEST_P(MendedFaults, ParameterValuesAreClampedAndNaNIsIgnored) {
    struct Row {
        VstInt32 index;
        float sent;
        float kept; // what getParameter reports afterwards
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    const Row rows[] = {
        {3, 5.0f, 1.0f}, {3, -3.0f, 0.0f}, {3, 1e30f, 1.0f}, {3, inf, 1.0f},
        {3, -inf, 0.0f}, {4, 2.0f, 1.0f},  {0, -1.0f, 0.0f}, {2, 1.5f, 1.0f},
    };
    for (const auto& row : rows) {
        plugin->setParameter(row.index, row.sent);
        EXPECT_FLOAT_EQ(plugin->getParameter(row.index), row.kept) << row.index << " " << row.sent;
        EXPECT_FALSE(plugin->parameterDisplay(row.index).empty());
    }
    plugin->setParameter(3, 0.5f);
    const std::string layout = plugin->parameterDisplay(3);
    for (VstInt32 index = 0; index < 7; ++index) {
        const float before = plugin->getParameter(index);
        plugin->setParameter(index, nan);
        EXPECT_EQ(plugin->getParameter(index), before) << index;
    }
    EXPECT_EQ(plugin->parameterDisplay(3), layout);

    // The program keeps the clamped value: recalling it gives the last decoder.
    plugin->setParameter(3, 9.0f);
    dispatch(effSetProgram, 0, 1);
    dispatch(effSetProgram, 0, 0);
    EXPECT_FLOAT_EQ(plugin->getParameter(3), 1.0f);
}

TEST_P(MendedFaults, AudioStaysFiniteAfterWildValues) {
    plugin->start(48000.0f, 64);
    const float wild[] = {std::numeric_limits<float>::quiet_NaN(), 7.0f, -7.0f};
    for (VstInt32 index = 0; index < 7; ++index)
        for (float v : wild) plugin->setParameter(index, v);
    std::vector<std::vector<float>> in(facts().inputs, std::vector<float>(64, 0.25f));
    std::vector<std::vector<float>> out(facts().outputs, std::vector<float>(64, 0.0f));
    std::vector<float*> ins, outs;
    for (auto& c : in) ins.push_back(c.data());
    for (auto& c : out) outs.push_back(c.data());
    for (int block = 0; block < 20; ++block) plugin->processReplacing(ins.data(), outs.data(), 64);
    for (const auto& c : out)
        for (float v : c) ASSERT_TRUE(std::isfinite(v));
}

TEST_P(MendedFaults, NegativeProgramNumbersAreIgnored) {
    dispatch(effSetProgram, 0, 4);
    for (VstIntPtr value : {VstIntPtr{-1}, VstIntPtr{-7}, VstIntPtr{-2147483647}}) {
        dispatch(effSetProgram, 0, value);
        EXPECT_EQ(dispatch(effGetProgram), 4) << value;
    }
    EXPECT_EQ(plugin->programName(), facts().programNames[4]);
}

TEST_P(MendedFaults, LongProgramNamesKeepTwentyThreeCharacters) {
    char longName[64];
    std::memset(longName, 'a', sizeof longName - 1);
    longName[sizeof longName - 1] = '\0';
    dispatch(effSetProgramName, 0, 0, longName);
    EXPECT_EQ(plugin->programName(), std::string(23, 'a'));
    // The neighbouring program is intact.
    EXPECT_EQ(plugin->programNameIndexed(1), facts().programNames[1]);
    EXPECT_EQ(plugin->programNameIndexed(0), std::string(23, 'a'));
    dispatch(effSetProgramName, 0, 0, nullptr);
    EXPECT_EQ(plugin->programName(), std::string(23, 'a'));
}

TEST_P(MendedFaults, NullTextBuffersAreNotWritten) {
    for (VstInt32 opcode :
         {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName})
        for (VstInt32 index = 0; index < 7; ++index)
            EXPECT_EQ(dispatch(opcode, index, 0, nullptr), 0) << opcode;
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetInputProperties, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetOutputProperties, 0, 0, nullptr), 0);
    // The vendor and product strings answer as with a buffer.
    EXPECT_EQ(dispatch(effGetVendorString, 0, 0, nullptr), 1);
    EXPECT_EQ(dispatch(effGetProductString, 0, 0, nullptr), 1);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effGetSpeakerArrangement, 0, 0, nullptr), 0);
    EXPECT_EQ(dispatch(effCanDo, 0, 0, nullptr), 0);
}

KIV_BOTH_BUNDLES(MendedFaults);

} // namespace
