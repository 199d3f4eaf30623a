// SPDX-License-Identifier: GPL-3.0-or-later
// The two bundles as the plug-in tests expect them, and a fixture that loads one through
// the test host and creates an instance.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/DecShape.h"
#include "host/VstOpcodes.h"
#include "tools/vsthost/VstHost.h"

struct BundleFacts {
    const char* name;
    const char* bundleDir;
    const char* so;
    VstInt32 inputs;
    VstInt32 outputs;
    VstInt32 uniqueID;
    const char* product;
    std::vector<DecShape> decList;
    std::vector<const char*> programNames;
};

inline const BundleFacts kRegular{
    "RegularDecoder",
    KIV_REGULAR_BUNDLE,
    KIV_REGULAR_SO,
    4,
    8,
    0x5A424438,
    "Regular Shape 1st Order Decoder",
    {QuadSquare, HexagonWithCF, HexagonWithoutCF, OctagonWithCF, OctagonWithoutCF, Cube8,
     Octahedron},
    // The record keeps 23 characters of each name.
    {"Quad (square)", "Hexagon with Centre Fro", "Hexagon without Centre ",
     "Octagon with Centre Fro", "Octagon without Centre ", "3D Cube", "3D Octahedron"},
};

inline const BundleFacts kIrregular{
    "IrregularDecoder",
    KIV_IRREGULAR_BUNDLE,
    KIV_IRREGULAR_SO,
    3,
    5,
    0x5A424435,
    "Irregular Shape 1st Order Ambisonic Decoder",
    {ItuFullRangeV1, ItuFullRangeV2, ItuLFOptimisedV1, ItuLFOptimisedV2, ItuHFOptimisedV1,
     ItuFullRangeV3, ItuFullRangeV4},
    {"ITU Full Range v1", "ITU Full Range v2", "ITU LF Optimised v1", "ITU LF Optimised v2",
     "ITU HF Optimised v1", "ITU Full Range v3", "ITU Full Range v4"},
};

inline std::unique_ptr<kiv::vsthost::PluginLibrary> loadBundle(const BundleFacts& b) {
    std::string error;
    auto library = kiv::vsthost::PluginLibrary::open(b.bundleDir, error);
    EXPECT_NE(library, nullptr) << error;
    return library;
}

inline std::unique_ptr<kiv::vsthost::PluginInstance>
createInstance(const kiv::vsthost::PluginLibrary& library, VstIntPtr hostVersion = 2400) {
    std::string error;
    auto instance = kiv::vsthost::PluginInstance::create(library, error, hostVersion);
    EXPECT_NE(instance, nullptr) << error;
    return instance;
}

// One loaded bundle and one instance of it, for tests run over both bundles.
class PluginTest : public ::testing::TestWithParam<const BundleFacts*> {
protected:
    void SetUp() override {
        library = loadBundle(facts());
        ASSERT_NE(library, nullptr);
        plugin = createInstance(*library);
        ASSERT_NE(plugin, nullptr);
    }
    void TearDown() override {
        plugin.reset();
        library.reset();
    }
    const BundleFacts& facts() const { return *GetParam(); }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return plugin->dispatch(opcode, index, value, ptr, opt);
    }
    std::string outputLabel(VstInt32 pin) {
        VstPinProperties p{};
        EXPECT_TRUE(plugin->outputProperties(pin, p)) << pin;
        return p.label;
    }

    std::unique_ptr<kiv::vsthost::PluginLibrary> library;
    std::unique_ptr<kiv::vsthost::PluginInstance> plugin;
};

// A test's parameter prints as the bundle's name.
inline void PrintTo(const BundleFacts* bundle, std::ostream* out) {
    *out << (bundle ? bundle->name : "none");
}

inline std::string bundleName(const ::testing::TestParamInfo<const BundleFacts*>& info) {
    return info.param->name;
}

#define KIV_BOTH_BUNDLES(Suite)                                                                    \
    INSTANTIATE_TEST_SUITE_P(Bundles, Suite, ::testing::Values(&kRegular, &kIrregular), bundleName)
