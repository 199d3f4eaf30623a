// SPDX-License-Identifier: GPL-3.0-or-later
// The generated bundles as a host reads them through lilv, against the product description:
// plug-in, class, author, ports in the agreed order with their names, ranges, units and
// scale points, the editor, features, and every preset's values mapping back exactly.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <set>

#include "Lv2TestHost.h"
#include "product/ConverterProduct.h"

namespace kiv::lv2test {
namespace {

constexpr const char* kLv2 = "http://lv2plug.in/ns/lv2core#";
constexpr const char* kUnits = "http://lv2plug.in/ns/extensions/units#";

class Metadata : public ::testing::TestWithParam<const Lv2Case*> {
protected:
    void SetUp() override {
        plugin = World::get().plugin(product());
        ASSERT_NE(plugin, nullptr) << "no " << product().name << " in " << GetParam()->bundleDir;
    }
    const ProductDescription& product() const { return *GetParam()->product; }
    Node uri(const std::string& text) const { return World::get().uri(text); }
    const LilvPort* port(int index) const {
        return lilv_plugin_get_port_by_index(plugin, static_cast<std::uint32_t>(index));
    }
    bool isA(const LilvPort* p, const char* cls) const {
        return lilv_port_is_a(plugin, p, uri(std::string(kLv2) + cls).get());
    }
    std::string portName(const LilvPort* p) const {
        LilvNode* n = lilv_port_get_name(plugin, p);
        std::string s = n ? lilv_node_as_string(n) : "";
        lilv_node_free(n);
        return s;
    }
    std::string portSymbol(const LilvPort* p) const {
        return lilv_node_as_string(lilv_port_get_symbol(plugin, p));
    }
    // The single object of a port property, as a string ("" when absent).
    std::string portValue(const LilvPort* p, const std::string& predicate) const {
        LilvNodes* values = lilv_port_get_value(plugin, p, uri(predicate).get());
        std::string s;
        if (values && lilv_nodes_size(values) == 1)
            s = lilv_node_as_string(lilv_nodes_get_first(values));
        lilv_nodes_free(values);
        return s;
    }
    const LilvPlugin* plugin = nullptr;
};

TEST_P(Metadata, PluginIsFiledAsASpatialPluginWithTheVstTexts) {
    LilvNode* name = lilv_plugin_get_name(plugin);
    EXPECT_STREQ(lilv_node_as_string(name), product().productString);
    lilv_node_free(name);
    LilvNode* author = lilv_plugin_get_author_name(plugin);
    ASSERT_NE(author, nullptr);
    EXPECT_STREQ(lilv_node_as_string(author), "Kivtone");
    lilv_node_free(author);
    const LilvPluginClass* cls = lilv_plugin_get_class(plugin);
    EXPECT_STREQ(lilv_node_as_uri(lilv_plugin_class_get_uri(cls)),
                 "http://lv2plug.in/ns/lv2core#SpatialPlugin");
    const std::string binary = lilv_node_as_uri(lilv_plugin_get_library_uri(plugin));
    EXPECT_EQ(binary.substr(binary.rfind('/') + 1), std::string(product().name) + ".so");
    LilvNodes* licence =
        lilv_plugin_get_value(plugin, uri("http://usefulinc.com/ns/doap#license").get());
    ASSERT_EQ(lilv_nodes_size(licence), 1u);
    EXPECT_STREQ(lilv_node_as_uri(lilv_nodes_get_first(licence)),
                 "http://spdx.org/licenses/GPL-3.0-or-later");
    lilv_nodes_free(licence);
}

TEST_P(Metadata, FeaturesAllowHardRealTimeAndInPlaceAndRequireNothing) {
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    EXPECT_EQ(lilv_nodes_size(required), 0u);
    lilv_nodes_free(required);
    EXPECT_TRUE(lilv_plugin_has_feature(plugin, uri(std::string(kLv2) + "hardRTCapable").get()));
    EXPECT_TRUE(
        lilv_plugin_has_feature(plugin, uri("http://lv2plug.in/ns/ext/options#options").get()));
    EXPECT_FALSE(lilv_plugin_has_feature(plugin, uri(std::string(kLv2) + "inPlaceBroken").get()));
}

TEST_P(Metadata, EditorIsDeclaredWithItsBinary) {
    LilvUIs* uis = lilv_plugin_get_uis(plugin);
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    EXPECT_EQ(std::string(lilv_node_as_uri(lilv_ui_get_uri(ui))),
              std::string(kProductUriPrefix) + product().name + ":ui");
    EXPECT_TRUE(lilv_ui_is_a(ui, uri("http://lv2plug.in/ns/extensions/ui#X11UI").get()));
    const std::string binary = lilv_node_as_uri(lilv_ui_get_binary_uri(ui));
    EXPECT_EQ(binary.substr(binary.rfind('/') + 1), std::string(product().name) + "_ui.so");
    lilv_uis_free(uis);
}

TEST_P(Metadata, AudioPortsFollowTheProductInOrder) {
    const int audio = product().numInputs + product().numOutputs;
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin),
              static_cast<std::uint32_t>(audio + kNumParameters + 1));
    for (int i = 0; i < audio; ++i) {
        const bool input = i < product().numInputs;
        const PortDescription& d =
            input ? product().inputs[i] : product().outputs[i - product().numInputs];
        const LilvPort* p = port(i);
        SCOPED_TRACE(d.symbol);
        EXPECT_TRUE(isA(p, "AudioPort"));
        EXPECT_TRUE(isA(p, input ? "InputPort" : "OutputPort"));
        EXPECT_EQ(portSymbol(p), d.symbol);
        EXPECT_EQ(portName(p), d.name);
        if (input) {
            EXPECT_NE(portValue(p, "http://www.w3.org/2000/01/rdf-schema#comment").find("FuMa"),
                      std::string::npos);
        }
    }
}

TEST_P(Metadata, IrregularOutputsCarryThe50Designations) {
    const std::map<std::string, std::string> expected = {
        {"fl", "left"}, {"fr", "right"}, {"sl", "rearLeft"}, {"sr", "rearRight"}, {"c", "center"}};
    const std::string pg = "http://lv2plug.in/ns/ext/port-groups#";
    for (int o = 0; o < product().numOutputs; ++o) {
        const LilvPort* p = port(product().numInputs + o);
        const std::string designation = portValue(p, std::string(kLv2) + "designation");
        auto it = expected.find(portSymbol(p));
        if (product().numOutputs == 5) {
            ASSERT_NE(it, expected.end());
            EXPECT_EQ(designation, pg + it->second);
            EXPECT_FALSE(portValue(p, pg + "group").empty());
        } else {
            EXPECT_EQ(designation, ""); // speaker roles follow the layout
        }
    }
    for (int i = 0; i < product().numInputs; ++i)
        EXPECT_EQ(portValue(port(i), pg + "group"), "") << "no SN3D group on FuMa inputs";
}

struct ScalePoint {
    float value;
    std::string label;
};

TEST_P(Metadata, ControlPortsShowPhysicalRangesUnitsAndChoices) {
    KivAmbisonicDecoder catalogue(kDecListSize, product().decList, product().numInputs,
                                  product().numOutputs, 0);
    const std::map<ParameterUnit, std::string> units = {
        {ParameterUnit::Ratio, "coef"}, {ParameterUnit::Hertz, "hz"}, {ParameterUnit::Metres, "m"}};
    for (int k = 0; k < kNumParameters; ++k) {
        const ParameterRow& row = kParameters[k];
        const LilvPort* p = port(product().numInputs + product().numOutputs + k);
        SCOPED_TRACE(row.symbol);
        EXPECT_TRUE(isA(p, "ControlPort"));
        EXPECT_TRUE(isA(p, "InputPort"));
        EXPECT_EQ(portSymbol(p), row.symbol);
        EXPECT_EQ(portName(p), row.shortName);
        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(plugin, p, &def, &min, &max);
        ASSERT_TRUE(def && min && max);
        EXPECT_EQ(lilv_node_as_float(min), row.minimum);
        EXPECT_EQ(lilv_node_as_float(max), row.maximum);
        // The default is program 0, exactly.
        EXPECT_EQ(normalisedFromPhysical(row, lilv_node_as_float(def)),
                  product().programs[0].values[k]);
        lilv_node_free(def);
        lilv_node_free(min);
        lilv_node_free(max);

        const bool choice = row.unit == ParameterUnit::Choice;
        EXPECT_EQ(lilv_port_has_property(plugin, p, uri(std::string(kLv2) + "enumeration").get()),
                  choice);
        EXPECT_EQ(lilv_port_has_property(plugin, p, uri(std::string(kLv2) + "integer").get()),
                  choice);
        const std::string unit = portValue(p, std::string(kUnits) + "unit");
        EXPECT_EQ(unit, choice ? "" : std::string(kUnits) + units.at(row.unit));

        std::vector<ScalePoint> expected;
        if (k == kLayout)
            for (int s = 0; s < kDecListSize; ++s)
                expected.push_back({static_cast<float>(s), catalogue.decoders[s]->name});
        if (k == kSpatialEQ)
            for (int s = 0; s < 3; ++s)
                expected.push_back({static_cast<float>(s), kSpatialEQNames[s]});
        if (k == kDistanceComp) expected.push_back({8.0f, "None"});
        if (k == kEncodedDistance) expected.push_back({8.0f, "No NFC"});
        LilvScalePoints* points = lilv_port_get_scale_points(plugin, p);
        std::map<float, std::string> found;
        LILV_FOREACH(scale_points, i, points) {
            const LilvScalePoint* sp = lilv_scale_points_get(points, i);
            found[lilv_node_as_float(lilv_scale_point_get_value(sp))] =
                lilv_node_as_string(lilv_scale_point_get_label(sp));
        }
        lilv_scale_points_free(points);
        ASSERT_EQ(found.size(), expected.size());
        for (const ScalePoint& e : expected) EXPECT_EQ(found[e.value], e.label) << e.value;
    }
}

TEST_P(Metadata, DecoderInUseIsAnOutputEnumerationAfterEveryOtherPort) {
    const int index = product().numInputs + product().numOutputs + kNumParameters;
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin), static_cast<std::uint32_t>(index + 1));
    const LilvPort* p = port(index);
    EXPECT_EQ(portSymbol(p), "decoder_in_use");
    EXPECT_EQ(portName(p), "Decoder in Use");
    EXPECT_TRUE(isA(p, "ControlPort"));
    EXPECT_TRUE(isA(p, "OutputPort"));
    EXPECT_FALSE(isA(p, "InputPort"));
    EXPECT_TRUE(lilv_port_has_property(plugin, p, uri(std::string(kLv2) + "enumeration").get()));
    EXPECT_TRUE(lilv_port_has_property(plugin, p, uri(std::string(kLv2) + "integer").get()));
    // The same names as the layout control's choices, value for value.
    const LilvPort* layout = port(index - kNumParameters + kLayout);
    auto pointsOf = [this](const LilvPort* q) {
        std::map<float, std::string> found;
        LilvScalePoints* points = lilv_port_get_scale_points(plugin, q);
        LILV_FOREACH(scale_points, i, points) {
            const LilvScalePoint* sp = lilv_scale_points_get(points, i);
            found[lilv_node_as_float(lilv_scale_point_get_value(sp))] =
                lilv_node_as_string(lilv_scale_point_get_label(sp));
        }
        lilv_scale_points_free(points);
        return found;
    };
    EXPECT_EQ(pointsOf(p).size(), static_cast<std::size_t>(kDecListSize));
    EXPECT_EQ(pointsOf(p), pointsOf(layout));
}

TEST_P(Metadata, PresetsAreTheFactoryProgramsAndMapBackExactly) {
    Node presetClass = uri("http://lv2plug.in/ns/ext/presets#Preset");
    LilvNodes* presets = lilv_plugin_get_related(plugin, presetClass.get());
    EXPECT_EQ(lilv_nodes_size(presets), static_cast<unsigned>(kNumFactoryPrograms));
    lilv_nodes_free(presets);
    for (int p = 0; p < kNumFactoryPrograms; ++p) {
        const FactoryProgram& program = product().programs[p];
        const std::string id =
            std::string(kProductUriPrefix) + product().name + ":preset:" + std::to_string(p);
        SCOPED_TRACE(id);
        Node preset = uri(id);
        lilv_world_load_resource(World::get().world(), preset.get());
        LilvNodes* labels =
            lilv_world_find_nodes(World::get().world(), preset.get(),
                                  uri("http://www.w3.org/2000/01/rdf-schema#label").get(), nullptr);
        ASSERT_EQ(lilv_nodes_size(labels), 1u);
        EXPECT_STREQ(lilv_node_as_string(lilv_nodes_get_first(labels)), program.name);
        lilv_nodes_free(labels);

        Lv2Instance instance(product(), 48000.0);
        ASSERT_TRUE(instance.valid());
        ASSERT_TRUE(instance.applyPreset(id));
        for (int k = 0; k < kNumParameters; ++k)
            EXPECT_EQ(normalisedFromPhysical(kParameters[k], instance.control(k)),
                      program.values[k])
                << kParameters[k].symbol;
    }
}

// The URIs hosts save in their sessions: made from the product descriptions, and never to
// change.
TEST(PublishedUris, AreTheOnesSessionsSaved) {
    EXPECT_STREQ(kRegularDecoderProduct.uri, "urn:kivtone:RegularDecoder");
    EXPECT_STREQ(kRegularDecoderProduct.uiUri, "urn:kivtone:RegularDecoder:ui");
    EXPECT_STREQ(kIrregularDecoderProduct.uri, "urn:kivtone:IrregularDecoder");
    EXPECT_STREQ(kIrregularDecoderProduct.uiUri, "urn:kivtone:IrregularDecoder:ui");
    EXPECT_STREQ(kBFormatConverterProduct.uri, "urn:kivtone:BFormatConverter");
    EXPECT_EQ(presetUri(kIrregularDecoderProduct.uri, 6), "urn:kivtone:IrregularDecoder:preset:6");
    for (const ProductDescription* product : {&kRegularDecoderProduct, &kIrregularDecoderProduct})
        EXPECT_NE(World::get().plugin(*product), nullptr) << product->uri;
}

// The products whose editors talk patch messages with their plug-ins: one X11 UI each, its
// binary in the bundle, told of the plug-in's notify port.
TEST(OwnEditors, AreDeclaredWithTheirBinaryAndTheNotifyPort) {
    World& w = World::get();
    for (const char* name : {"LayoutDecoder", "HeadphoneMonitor"}) {
        SCOPED_TRACE(name);
        const std::string pluginUri = std::string(kProductUriPrefix) + name;
        const LilvPlugin* plugin = w.plugin(pluginUri.c_str());
        ASSERT_NE(plugin, nullptr);
        LilvUIs* uis = lilv_plugin_get_uis(plugin);
        ASSERT_EQ(lilv_uis_size(uis), 1u);
        const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
        EXPECT_EQ(std::string(lilv_node_as_uri(lilv_ui_get_uri(ui))), pluginUri + ":ui");
        EXPECT_TRUE(lilv_ui_is_a(ui, w.uri("http://lv2plug.in/ns/extensions/ui#X11UI").get()));
        char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
        const std::string path = binary ? binary : "";
        lilv_free(binary);
        EXPECT_EQ(path.substr(path.rfind('/') + 1), std::string(name) + "_ui.so");
        EXPECT_TRUE(std::ifstream(path).good()) << path;
        // The notification is read from the UI's description, which lilv loads on demand.
        lilv_world_load_resource(w.world(), lilv_ui_get_uri(ui));
        LilvNodes* notified = lilv_world_find_nodes(
            w.world(), lilv_ui_get_uri(ui),
            w.uri("http://lv2plug.in/ns/extensions/ui#portNotification").get(), nullptr);
        ASSERT_EQ(lilv_nodes_size(notified), 1u);
        LilvNodes* symbol =
            lilv_world_find_nodes(w.world(), lilv_nodes_get_first(notified),
                                  w.uri(std::string(kLv2) + "symbol").get(), nullptr);
        ASSERT_EQ(lilv_nodes_size(symbol), 1u);
        EXPECT_STREQ(lilv_node_as_string(lilv_nodes_get_first(symbol)), "notify");
        lilv_nodes_free(symbol);
        lilv_nodes_free(notified);
        lilv_uis_free(uis);
    }
}

INSTANTIATE_TEST_SUITE_P(Bundles, Metadata, ::testing::Values(&kRegularLv2, &kIrregularLv2),
                         [](const ::testing::TestParamInfo<const Lv2Case*>& info) {
                             return std::string(info.param->product->name);
                         });

} // namespace
} // namespace kiv::lv2test
