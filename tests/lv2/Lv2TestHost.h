// SPDX-License-Identifier: GPL-3.0-or-later
// A small LV2 host on lilv for the tests: one world with both built bundles loaded, an
// instance with its own control values and features (urid:map, and the block-length
// options when asked for), and the same renders through the VST bundle for comparison.
#pragma once

#include <lilv/lilv.h>

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "../plugins/PluginBundles.h"
#include "product/ProductDescription.h"

namespace kiv::lv2test {

struct Lv2Case {
    const BundleFacts* vst;
    const ProductDescription* product;
    const char* bundleDir;
};
// A test's parameter prints as the bundle's name.
inline void PrintTo(const Lv2Case* bundle, std::ostream* out) {
    *out << (bundle ? bundle->product->name : "none");
}
extern const Lv2Case kRegularLv2;
extern const Lv2Case kIrregularLv2;

// A node that frees itself.
using Node = std::unique_ptr<LilvNode, void (*)(LilvNode*)>;

// The process-wide world: the LV2 vocabularies, plug-in classes and both bundles.
class World {
public:
    static World& get();
    LilvWorld* world() const { return world_; }
    Node uri(const std::string& text) const;
    // Null when the bundle holds no plug-in of that URI.
    const LilvPlugin* plugin(const ProductDescription& product) const;
    const LilvPlugin* plugin(const char* pluginUri) const;

private:
    World();
    LilvWorld* world_;
};

using Channels = std::vector<std::vector<float>>;

// Deterministic full-scale noise, one vector per channel.
Channels noise(int channels, int frames, unsigned seed);

class Lv2Instance {
public:
    // maxBlock > 0 passes bufsz:maxBlockLength in the options feature.
    Lv2Instance(const ProductDescription& product, double rate, int maxBlock = 0);
    ~Lv2Instance();
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    bool valid() const { return instance_ != nullptr; }
    // The control value of parameter k (physical), as the host writes it.
    float& control(int k) { return controls_[static_cast<std::size_t>(k)]; }
    // The decoder-in-use output control as the last run left it; -1 before any run.
    float decoderInUse() const { return decoderInUse_; }
    // Applies a preset through lilv_state_restore; false when lilv cannot read it.
    bool applyPreset(const std::string& presetUri);
    // Runs the whole input in blocks of `block` frames into separate output buffers.
    Channels render(const Channels& in, int block);
    // Runs the whole input in blocks, with every output that has an input of the same
    // index decoded over that input's buffer.
    Channels renderInPlace(const Channels& in, int block);
    // One run of `frames` on caller buffers.
    void run(float* const* inputs, float* const* outputs, int frames);

private:
    const ProductDescription& product_;
    LilvInstance* instance_ = nullptr;
    std::array<float, kNumParameters> controls_{};
    std::array<std::uint32_t, kNumParameters> controlIndex_{};
    float decoderInUse_ = -1.0f;
    bool activated_ = false;
};

// The VST bundle's output for the same input: `configure` runs before start (program or
// parameters set as a host restoring a session does), then blocks of `block` frames;
// beforeBlock, when given, runs before each block with the block's first frame.
Channels renderVst(
    const BundleFacts& bundle, const std::function<void(kiv::vsthost::PluginInstance&)>& configure,
    const Channels& in, int block, float rate = 48000.0f,
    const std::function<void(kiv::vsthost::PluginInstance&, int frame)>& beforeBlock = nullptr);

// First frame and channel where two renders differ in their bits; empty when none.
std::string firstDifference(const Channels& a, const Channels& b);

} // namespace kiv::lv2test
