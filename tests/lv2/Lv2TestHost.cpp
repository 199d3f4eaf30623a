// SPDX-License-Identifier: GPL-3.0-or-later
#include "Lv2TestHost.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/options/options.h>
#include <lv2/urid/urid.h>

#include <cstring>
#include <functional>
#include <sstream>

namespace kiv::lv2test {

const Lv2Case kRegularLv2{&kRegular, &kRegularDecoderProduct, KIV_REGULAR_LV2};
const Lv2Case kIrregularLv2{&kIrregular, &kIrregularDecoderProduct, KIV_IRREGULAR_LV2};

namespace {

// Outputs of `outputs` channels for in, processed in blocks of at most `block` frames by
// process(inputs, outputs, first frame, frames), the outputs apart from the inputs.
Channels renderInBlocks(const Channels& in, int outputs, int block,
                        const std::function<void(float**, float**, int, int)>& process) {
    const int frames = static_cast<int>(in[0].size());
    Channels out(static_cast<std::size_t>(outputs), std::vector<float>(frames));
    std::vector<float*> ins(in.size()), outs(out.size());
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        for (std::size_t j = 0; j < in.size(); ++j)
            ins[j] = const_cast<float*>(in[j].data()) + start;
        for (std::size_t j = 0; j < out.size(); ++j) outs[j] = out[j].data() + start;
        process(ins.data(), outs.data(), start, n);
    }
    return out;
}

std::vector<std::string>& uridTable() {
    static std::vector<std::string> table;
    return table;
}

LV2_URID mapUri(LV2_URID_Map_Handle, const char* uri) {
    auto& table = uridTable();
    for (std::size_t i = 0; i < table.size(); ++i)
        if (table[i] == uri) return static_cast<LV2_URID>(i + 1);
    table.emplace_back(uri);
    return static_cast<LV2_URID>(table.size());
}

LV2_URID_Map gMap{nullptr, mapUri};

void setPortValue(const char* symbol, void* userData, const void* value, uint32_t size,
                  uint32_t type) {
    auto* instance = static_cast<std::array<float, kNumParameters>*>(userData);
    for (int k = 0; k < kNumParameters; ++k) {
        if (std::strcmp(kParameters[k].symbol, symbol) != 0) continue;
        float v = 0.0f;
        if (type == mapUri(nullptr, LV2_ATOM__Float) && size == sizeof(float))
            std::memcpy(&v, value, sizeof v);
        else if (type == mapUri(nullptr, LV2_ATOM__Double) && size == sizeof(double)) {
            double d = 0.0;
            std::memcpy(&d, value, sizeof d);
            v = static_cast<float>(d);
        } else if (type == mapUri(nullptr, LV2_ATOM__Int) && size == sizeof(std::int32_t)) {
            std::int32_t i = 0;
            std::memcpy(&i, value, sizeof i);
            v = static_cast<float>(i);
        } else {
            ADD_FAILURE() << "preset value of " << symbol << " has an unexpected type";
            return;
        }
        (*instance)[static_cast<std::size_t>(k)] = v;
        return;
    }
    ADD_FAILURE() << "preset names an unknown port " << symbol;
}

} // namespace

World& World::get() {
    static World world;
    return world;
}

World::World() : world_(lilv_world_new()) {
    // The core vocabulary, for the plug-in classes, as a host finds it on its LV2_PATH.
    Node core(lilv_new_file_uri(world_, nullptr, KIV_LV2_SPEC_DIR "/core.lv2/"), lilv_node_free);
    lilv_world_load_bundle(world_, core.get());
    lilv_world_load_specifications(world_);
    lilv_world_load_plugin_classes(world_);
    for (const char* dir :
         {KIV_REGULAR_LV2, KIV_IRREGULAR_LV2, KIV_LAYOUT_LV2, KIV_HEADPHONE_LV2}) {
        const std::string path = std::string(dir) + "/";
        Node bundle(lilv_new_file_uri(world_, nullptr, path.c_str()), lilv_node_free);
        lilv_world_load_bundle(world_, bundle.get());
        lilv_world_load_resource(world_, bundle.get());
    }
}

Node World::uri(const std::string& text) const {
    return Node(lilv_new_uri(world_, text.c_str()), lilv_node_free);
}

const LilvPlugin* World::plugin(const ProductDescription& product) const {
    Node id = uri(std::string(kProductUriPrefix) + product.name);
    return lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), id.get());
}

const LilvPlugin* World::plugin(const char* pluginUri) const {
    Node id = uri(pluginUri);
    return lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), id.get());
}

Channels noise(int channels, int frames, unsigned seed) {
    Channels c(static_cast<std::size_t>(channels), std::vector<float>(frames));
    for (auto& ch : c)
        for (float& s : ch) {
            seed = seed * 1664525u + 1013904223u;
            s = static_cast<float>(seed >> 8) / 8388608.0f - 1.0f;
        }
    return c;
}

Lv2Instance::Lv2Instance(const ProductDescription& product, double rate, int maxBlock)
    : product_(product) {
    World& w = World::get();
    const LilvPlugin* plugin = w.plugin(product);
    if (plugin == nullptr) return;
    for (int k = 0; k < kNumParameters; ++k) {
        Node symbol(lilv_new_string(w.world(), kParameters[k].symbol), lilv_node_free);
        const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin, symbol.get());
        if (port == nullptr) return;
        controlIndex_[static_cast<std::size_t>(k)] = lilv_port_get_index(plugin, port);
    }
    // Start from the ports' defaults, as a host does.
    std::vector<float> defaults(lilv_plugin_get_num_ports(plugin));
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    for (int k = 0; k < kNumParameters; ++k)
        controls_[static_cast<std::size_t>(k)] = defaults[controlIndex_[k]];

    static std::int32_t maxLength = 0;
    maxLength = maxBlock;
    const LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, mapUri(nullptr, LV2_BUF_SIZE__maxBlockLength),
         sizeof(std::int32_t), mapUri(nullptr, LV2_ATOM__Int), &maxLength},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    const LV2_Feature mapFeature{LV2_URID__map, &gMap};
    const LV2_Feature optionsFeature{LV2_OPTIONS__options,
                                     const_cast<LV2_Options_Option*>(options)};
    const LV2_Feature* withOptions[] = {&mapFeature, &optionsFeature, nullptr};
    const LV2_Feature* without[] = {&mapFeature, nullptr};
    instance_ = lilv_plugin_instantiate(plugin, rate, maxBlock > 0 ? withOptions : without);
    if (instance_ == nullptr) return;
    for (int k = 0; k < kNumParameters; ++k)
        lilv_instance_connect_port(instance_, controlIndex_[k], &controls_[k]);
    Node inUse(lilv_new_string(w.world(), kDecoderInUseSymbol), lilv_node_free);
    if (const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin, inUse.get()))
        lilv_instance_connect_port(instance_, lilv_port_get_index(plugin, port), &decoderInUse_);
}

Lv2Instance::~Lv2Instance() {
    if (instance_ == nullptr) return;
    if (activated_) lilv_instance_deactivate(instance_);
    lilv_instance_free(instance_);
}

bool Lv2Instance::applyPreset(const std::string& presetUri) {
    World& w = World::get();
    Node preset = w.uri(presetUri);
    lilv_world_load_resource(w.world(), preset.get());
    LilvState* state = lilv_state_new_from_world(w.world(), &gMap, preset.get());
    if (state == nullptr) return false;
    lilv_state_restore(state, nullptr, setPortValue, &controls_, 0, nullptr);
    lilv_state_free(state);
    return true;
}

void Lv2Instance::run(float* const* inputs, float* const* outputs, int frames) {
    for (int j = 0; j < product_.numInputs; ++j)
        lilv_instance_connect_port(instance_, static_cast<std::uint32_t>(j), inputs[j]);
    for (int j = 0; j < product_.numOutputs; ++j)
        lilv_instance_connect_port(instance_, static_cast<std::uint32_t>(product_.numInputs + j),
                                   outputs[j]);
    if (!activated_) {
        lilv_instance_activate(instance_);
        activated_ = true;
    }
    lilv_instance_run(instance_, static_cast<std::uint32_t>(frames));
}

Channels Lv2Instance::render(const Channels& in, int block) {
    return renderInBlocks(in, product_.numOutputs, block,
                          [&](float** ins, float** outs, int, int n) { run(ins, outs, n); });
}

Channels Lv2Instance::renderInPlace(const Channels& in, int block) {
    const int frames = static_cast<int>(in[0].size());
    const std::size_t nIn = in.size();
    const std::size_t nOut = static_cast<std::size_t>(product_.numOutputs);
    std::vector<float> scratch(static_cast<std::size_t>(block));
    Channels work(std::max(nIn, nOut), std::vector<float>(static_cast<std::size_t>(block)));
    Channels out(nOut, std::vector<float>(frames));
    std::vector<float*> ins(nIn), outs(nOut);
    for (std::size_t j = 0; j < nIn; ++j) ins[j] = work[j].data();
    for (std::size_t j = 0; j < nOut; ++j) outs[j] = work[j].data(); // output j over input j
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        for (std::size_t j = 0; j < nIn; ++j)
            std::copy(in[j].begin() + start, in[j].begin() + start + n, work[j].begin());
        run(ins.data(), outs.data(), n);
        for (std::size_t j = 0; j < nOut; ++j)
            std::copy(work[j].begin(), work[j].begin() + n, out[j].begin() + start);
    }
    return out;
}

Channels
renderVst(const BundleFacts& bundle,
          const std::function<void(kiv::vsthost::PluginInstance&)>& configure, const Channels& in,
          int block, float rate,
          const std::function<void(kiv::vsthost::PluginInstance&, int frame)>& beforeBlock) {
    auto library = loadBundle(bundle);
    if (!library) return {};
    auto plugin = createInstance(*library);
    if (!plugin) return {};
    configure(*plugin);
    plugin->start(rate, block);
    return renderInBlocks(in, bundle.outputs, block,
                          [&](float** ins, float** outs, int start, int n) {
                              if (beforeBlock) beforeBlock(*plugin, start);
                              plugin->processReplacing(ins, outs, n);
                          });
}

std::string firstDifference(const Channels& a, const Channels& b) {
    if (a.size() != b.size()) return "different channel counts";
    for (std::size_t c = 0; c < a.size(); ++c) {
        if (a[c].size() != b[c].size()) return "different lengths";
        for (std::size_t i = 0; i < a[c].size(); ++i)
            if (std::memcmp(&a[c][i], &b[c][i], sizeof(float)) != 0) {
                std::ostringstream s;
                s << "channel " << c << " frame " << i << ": " << a[c][i] << " vs " << b[c][i];
                return s.str();
            }
    }
    return {};
}

} // namespace kiv::lv2test
