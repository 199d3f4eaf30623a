// SPDX-License-Identifier: GPL-3.0-or-later
// The entry point and the record, as a host finds them.
#include <cstring>

#include "PluginBundles.h"

namespace {

using kiv::vsthost::PluginInstance;

class Record : public PluginTest {};

TEST_P(Record, FieldsAfterConstruction) {
    const AEffect* e = plugin->effect();
    EXPECT_EQ(e->magic, 0x56737450);
    EXPECT_EQ(e->numPrograms, 7);
    EXPECT_EQ(e->numParams, 7);
    EXPECT_EQ(e->numInputs, facts().inputs);
    EXPECT_EQ(e->numOutputs, facts().outputs);
    EXPECT_EQ(e->flags, effFlagsHasEditor | effFlagsCanReplacing);
    EXPECT_EQ(e->uniqueID, facts().uniqueID);
    EXPECT_EQ(e->version, 1);
    EXPECT_EQ(e->initialDelay, 0);
    EXPECT_EQ(e->realQualities, 0);
    EXPECT_EQ(e->offQualities, 0);
    EXPECT_EQ(e->ioRatio, 1.0f);
    EXPECT_NE(e->object, nullptr);
    EXPECT_EQ(e->resvd1, 0);
    EXPECT_EQ(e->resvd2, 0);
    const char zeros[sizeof e->future] = {};
    EXPECT_EQ(std::memcmp(e->future, zeros, sizeof zeros), 0);
    EXPECT_NE(e->dispatcher, nullptr);
    EXPECT_NE(e->process, nullptr);
    EXPECT_NE(e->processReplacing, nullptr);
    EXPECT_NE(e->processDoubleReplacing, nullptr);
}

TEST_P(Record, ConstructionAsksOnlyForTheHostVersion) {
    const auto calls = plugin->hostCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].opcode, audioMasterVersion);
    EXPECT_FALSE(calls[0].withEffect) << "no record exists yet";
}

TEST_P(Record, EntryRefusesAHostOfVersionZero) {
    std::string error;
    EXPECT_EQ(PluginInstance::create(*library, error, 0), nullptr);
    for (VstIntPtr version : {1, 2400}) EXPECT_NE(createInstance(*library, version), nullptr);
}

TEST_P(Record, CloseAnswersOneAndLeavesNothingBehind) {
    // Under AddressSanitizer a close that did not destroy the instance shows as a leak.
    for (int i = 0; i < 20; ++i) {
        auto instance = createInstance(*library);
        ASSERT_NE(instance, nullptr);
        instance->start(48000.0f, 256);
        EXPECT_EQ(instance->close(), 1);
        EXPECT_TRUE(instance->closed());
    }
}

TEST_P(Record, DeprecatedAndDoubleProcessingLeaveTheOutputsAlone) {
    plugin->start(44100.0f, 64);
    std::vector<std::vector<float>> in(facts().inputs, std::vector<float>(64, 0.5f));
    std::vector<std::vector<float>> out(facts().outputs, std::vector<float>(64, 7.0f));
    std::vector<float*> ins, outs;
    for (auto& c : in) ins.push_back(c.data());
    for (auto& c : out) outs.push_back(c.data());
    AEffect* e = plugin->effect();
    e->process(e, ins.data(), outs.data(), 64);
    for (const auto& c : out)
        for (float v : c) ASSERT_EQ(v, 7.0f);

    std::vector<std::vector<double>> din(facts().inputs, std::vector<double>(64, 0.5));
    std::vector<std::vector<double>> dout(facts().outputs, std::vector<double>(64, 7.0));
    std::vector<double*> dins, douts;
    for (auto& c : din) dins.push_back(c.data());
    for (auto& c : dout) douts.push_back(c.data());
    e->processDoubleReplacing(e, dins.data(), douts.data(), 64);
    for (const auto& c : dout)
        for (double v : c) ASSERT_EQ(v, 7.0);
}

TEST_P(Record, ExportedDecoderList) {
    const auto* list = static_cast<const DecShape*>(library->symbol("DecList"));
    ASSERT_NE(list, nullptr);
    for (int i = 0; i < 7; ++i) EXPECT_EQ(list[i], facts().decList[i]) << i;
}

TEST(Records, TwoBundlesInOneProcessStayApart) {
    auto regular = loadBundle(kRegular);
    auto irregular = loadBundle(kIrregular);
    ASSERT_TRUE(regular && irregular);
    auto a = createInstance(*regular);
    auto b = createInstance(*irregular);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->effect()->uniqueID, kRegular.uniqueID);
    EXPECT_EQ(b->effect()->uniqueID, kIrregular.uniqueID);
    EXPECT_EQ(a->productString(), kRegular.product);
    EXPECT_EQ(b->productString(), kIrregular.product);
    EXPECT_NE(regular->symbol("DecList"), irregular->symbol("DecList"));
}

KIV_BOTH_BUNDLES(Record);

} // namespace
