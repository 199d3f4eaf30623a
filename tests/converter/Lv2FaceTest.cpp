// SPDX-License-Identifier: GPL-3.0-or-later
// The LV2 bundle as lilv reads it, against the product description: the plug-in, its class
// and features, every port (index, symbol, name, what it carries, range, scale points) and
// the presets, restored as a host restores them.
#include <gtest/gtest.h>

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/presets/presets.h>
#include <lv2/urid/urid.h>

#include <map>
#include <string>

#include "product/ConverterProduct.h"
#include "tests/converter/ConverterFaces.h"

using namespace kiv::convertertest;

namespace {

constexpr const char* kLv2 = "http://lv2plug.in/ns/lv2core#";
constexpr const char* kRdfsComment = "http://www.w3.org/2000/01/rdf-schema#comment";
constexpr const char* kRdfType = "http://www.w3.org/1999/02/22-rdf-syntax-ns#type";

// Frees a node when it goes.
struct Node {
    explicit Node(LilvNode* n) : node(n) {}
    Node(const Node&) = delete;
    ~Node() { lilv_node_free(node); }
    operator const LilvNode*() const { return node; }
    LilvNode* node;
};

Node lv2(const std::string& name) {
    return Node(Lv2World::get().uri((kLv2 + name).c_str()));
}

std::string text(const LilvNode* node) {
    return node ? lilv_node_as_string(node) : "";
}

const LilvPort* portOf(std::uint32_t index) {
    return lilv_plugin_get_port_by_index(Lv2World::get().plugin(), index);
}

std::string portComment(const LilvPort* port) {
    Node comment(Lv2World::get().uri(kRdfsComment));
    LilvNodes* values = lilv_port_get_value(Lv2World::get().plugin(), port, comment);
    std::string result = values ? text(lilv_nodes_get_first(values)) : "";
    lilv_nodes_free(values);
    return result;
}

// A URID map for restoring presets.
struct UridMap {
    std::map<std::string, LV2_URID> ids;
    static LV2_URID map(LV2_URID_Map_Handle handle, const char* uri) {
        auto& ids = static_cast<UridMap*>(handle)->ids;
        return ids.emplace(uri, static_cast<LV2_URID>(ids.size() + 1)).first->second;
    }
};

} // namespace

TEST(ConverterLv2, ThePlugIn) {
    const LilvPlugin* plugin = Lv2World::get().plugin();
    const ConverterProduct& product = kBFormatConverterProduct;
    EXPECT_STREQ(lilv_node_as_uri(lilv_plugin_get_uri(plugin)), "urn:kivtone:BFormatConverter");
    Node name(lilv_plugin_get_name(plugin));
    EXPECT_EQ(text(name), product.productString);
    Node author(lilv_plugin_get_author_name(plugin));
    EXPECT_EQ(text(author), "Kivtone");
    Node type(Lv2World::get().uri(kRdfType));
    EXPECT_TRUE(lilv_world_ask(Lv2World::get().world(), lilv_plugin_get_uri(plugin), type,
                               lv2("ConverterPlugin")));
    EXPECT_EQ(text(lilv_plugin_get_library_uri(plugin)),
              "file://" + kLv2Bundle + "/BFormatConverter.so");
    EXPECT_FALSE(lilv_plugin_has_latency(plugin));
    Node licenceKey(Lv2World::get().uri("http://usefulinc.com/ns/doap#license"));
    LilvNodes* licence = lilv_plugin_get_value(plugin, licenceKey);
    ASSERT_EQ(lilv_nodes_size(licence), 1u);
    EXPECT_EQ(text(lilv_nodes_get_first(licence)), "http://spdx.org/licenses/GPL-3.0-or-later");
    lilv_nodes_free(licence);
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    EXPECT_EQ(lilv_nodes_size(required), 0u);
    lilv_nodes_free(required);
    LilvNodes* optional = lilv_plugin_get_optional_features(plugin);
    EXPECT_TRUE(lilv_nodes_contains(optional, lv2("hardRTCapable")));
    lilv_nodes_free(optional);
    EXPECT_EQ(lilv_plugin_get_num_ports(plugin), 9u);
}

TEST(ConverterLv2, AudioPortNamesAndCommentsSayWhatTheyCarryEitherWay) {
    const LilvPlugin* plugin = Lv2World::get().plugin();
    const ConverterProduct& product = kBFormatConverterProduct;
    // What a host shows: the FuMa channel, then the ACN channel, the same on both sides.
    const char* const names[4] = {"W / ACN 0", "X / ACN 1 (Y)", "Y / ACN 2 (Z)", "Z / ACN 3 (X)"};
    const ConverterDirection& toFuMa = describeDirection(BFormatDirection::AmbiXToFuMa);
    const ConverterDirection& toAmbiX = describeDirection(BFormatDirection::FuMaToAmbiX);
    for (int k = 0; k < 8; ++k) {
        const bool input = k < 4;
        const int c = k % 4;
        const PortDescription& want = input ? product.inputs[c] : product.outputs[c];
        const LilvPort* port = portOf(k);
        ASSERT_NE(port, nullptr) << k;
        EXPECT_EQ(text(lilv_port_get_symbol(plugin, port)), want.symbol);
        EXPECT_EQ(text(lilv_port_get_symbol(plugin, port)),
                  (input ? "in" : "out") + std::to_string(c));
        Node name(lilv_port_get_name(plugin, port));
        EXPECT_EQ(text(name), names[c]);
        EXPECT_EQ(text(name), want.name);
        // The name agrees with the pins the VST face shows in each direction.
        const char* fumaPin = input ? toAmbiX.inputPins[c] : toFuMa.outputPins[c];
        const std::string acnPin = input ? toFuMa.inputPins[c] : toAmbiX.outputPins[c];
        EXPECT_EQ(text(name).rfind(std::string(fumaPin) + " / ", 0), 0u) << text(name);
        EXPECT_EQ(acnPin.rfind("ACN" + std::to_string(c), 0), 0u) << acnPin;
        EXPECT_NE(text(name).find("ACN " + std::to_string(c)), std::string::npos);
        EXPECT_TRUE(lilv_port_is_a(plugin, port, lv2("AudioPort"))) << k;
        EXPECT_TRUE(lilv_port_is_a(plugin, port, lv2(input ? "InputPort" : "OutputPort"))) << k;
        // Both meanings, each with its direction's name; port c is ACN c on the AmbiX side.
        const std::string comment = portComment(port);
        EXPECT_NE(comment.find("AmbiX to FuMa: "), std::string::npos) << comment;
        EXPECT_NE(comment.find("FuMa to AmbiX: "), std::string::npos) << comment;
        EXPECT_NE(comment.find("ACN" + std::to_string(c) + " ("), std::string::npos) << comment;
    }
    // The input that carries ACN3 (X) from AmbiX carries Z from FuMa; the output that gives
    // X to FuMa gives ACN1 (Y) to AmbiX.
    EXPECT_EQ(portComment(portOf(3)), "AmbiX to FuMa: ACN3 (X). FuMa to AmbiX: Z.");
    EXPECT_EQ(portComment(portOf(5)), "AmbiX to FuMa: X. FuMa to AmbiX: ACN1 (Y).");
}

TEST(ConverterLv2, TheDirectionControl) {
    const LilvPlugin* plugin = Lv2World::get().plugin();
    const LilvPort* port = portOf(8);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(text(lilv_port_get_symbol(plugin, port)), "direction");
    Node name(lilv_port_get_name(plugin, port));
    EXPECT_EQ(text(name), "Direction");
    EXPECT_TRUE(lilv_port_is_a(plugin, port, lv2("ControlPort")));
    EXPECT_TRUE(lilv_port_is_a(plugin, port, lv2("InputPort")));
    EXPECT_TRUE(lilv_port_has_property(plugin, port, lv2("integer")));
    EXPECT_TRUE(lilv_port_has_property(plugin, port, lv2("enumeration")));
    LilvNode *defaultValue = nullptr, *minimum = nullptr, *maximum = nullptr;
    lilv_port_get_range(plugin, port, &defaultValue, &minimum, &maximum);
    ASSERT_TRUE(defaultValue && minimum && maximum);
    EXPECT_EQ(lilv_node_as_float(defaultValue), 0.0f);
    EXPECT_EQ(lilv_node_as_float(minimum), 0.0f);
    EXPECT_EQ(lilv_node_as_float(maximum), 1.0f);
    lilv_node_free(defaultValue);
    lilv_node_free(minimum);
    lilv_node_free(maximum);

    std::map<float, std::string> points;
    LilvScalePoints* scale = lilv_port_get_scale_points(plugin, port);
    LILV_FOREACH(scale_points, i, scale) {
        const LilvScalePoint* point = lilv_scale_points_get(scale, i);
        points[lilv_node_as_float(lilv_scale_point_get_value(point))] =
            text(lilv_scale_point_get_label(point));
    }
    lilv_scale_points_free(scale);
    EXPECT_EQ(points,
              (std::map<float, std::string>{{0.0f, "AmbiX to FuMa"}, {1.0f, "FuMa to AmbiX"}}));
}

// Each preset, loaded and restored as a host does, sets the direction it is named after,
// and the plug-in then converts that way.
TEST(ConverterLv2, APresetPerDirection) {
    LilvWorld* world = Lv2World::get().world();
    const LilvPlugin* plugin = Lv2World::get().plugin();
    UridMap ids;
    LV2_URID_Map map{&ids, UridMap::map};
    const LV2_URID floatType = UridMap::map(&ids, LV2_ATOM__Float);

    Node presetClass(Lv2World::get().uri(LV2_PRESETS__Preset));
    LilvNodes* presets = lilv_plugin_get_related(plugin, presetClass);
    ASSERT_EQ(lilv_nodes_size(presets), 2u);
    lilv_nodes_free(presets);

    for (int p = 0; p < 2; ++p) {
        const std::string uri = "urn:kivtone:BFormatConverter:preset:" + std::to_string(p);
        Node preset(Lv2World::get().uri(uri.c_str()));
        lilv_world_load_resource(world, preset);
        LilvState* state = lilv_state_new_from_world(world, &map, preset);
        ASSERT_NE(state, nullptr) << uri;
        EXPECT_STREQ(lilv_state_get_label(state), kBFormatConverterProduct.directions[p].name);

        struct Restored {
            std::map<std::string, float> values;
            LV2_URID floatType;
        } restored{{}, floatType};
        lilv_state_restore(
            state, nullptr,
            [](const char* symbol, void* data, const void* value, uint32_t size, uint32_t type) {
                auto* r = static_cast<Restored*>(data);
                if (type == r->floatType && size == sizeof(float))
                    r->values[symbol] = *static_cast<const float*>(value);
            },
            &restored, 0, nullptr);
        lilv_state_free(state);
        EXPECT_EQ(restored.values, (std::map<std::string, float>{{"direction", float(p)}})) << uri;

        // Applied to the plug-in: the frame (1, 2, 3, 4) gives X = ACN3 = 4 on the way to
        // FuMa, ACN1 = Y = 3 on the way to AmbiX.
        auto face = makeFace(FaceKind::Lv2);
        face->setDirection(p == 0 ? 1.0f : 0.0f);
        face->setDirection(restored.values["direction"]);
        const Channels out = render(*face, Channels{{1.0f}, {2.0f}, {3.0f}, {4.0f}}, 1);
        EXPECT_EQ(out[1][0], p == 0 ? 4.0f : 3.0f) << uri;
    }
}
