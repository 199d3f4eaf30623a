// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/converter/ConverterFaces.h"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "product/ConverterLv2Ports.h"
#include "product/ConverterProduct.h"

namespace kiv::convertertest {

namespace {

class VstFace : public Face {
public:
    VstFace(float sampleRate, int blockSize) : instance_(vstInstance(sampleRate, blockSize)) {}
    void setDirection(float value) override { instance_->setParameter(0, value); }
    void process(float* const* inputs, float* const* outputs, int frames) override {
        instance_->processReplacing(const_cast<float**>(inputs), const_cast<float**>(outputs),
                                    frames);
    }

private:
    std::unique_ptr<vsthost::PluginInstance> instance_;
};

class Lv2Face : public Face {
public:
    Lv2Face(double sampleRate) {
        instance_ = lilv_plugin_instantiate(Lv2World::get().plugin(), sampleRate, nullptr);
        if (!instance_) throw std::runtime_error("lilv cannot instantiate the converter");
        lilv_instance_connect_port(instance_, kLv2DirectionPort, &direction_);
        lilv_instance_activate(instance_);
    }
    ~Lv2Face() override {
        lilv_instance_deactivate(instance_);
        lilv_instance_free(instance_);
    }
    void setDirection(float value) override { direction_ = value; }
    void process(float* const* inputs, float* const* outputs, int frames) override {
        for (std::uint32_t c = 0; c < kConverterChannels; ++c) {
            lilv_instance_connect_port(instance_, kLv2FirstInputPort + c, inputs[c]);
            lilv_instance_connect_port(instance_, kLv2FirstOutputPort + c, outputs[c]);
        }
        lilv_instance_run(instance_, static_cast<std::uint32_t>(frames));
    }

private:
    LilvInstance* instance_ = nullptr;
    float direction_ = 0.0f;
};

} // namespace

std::unique_ptr<Face> makeFace(FaceKind kind, double sampleRate, int blockSize) {
    if (kind == FaceKind::Vst)
        return std::make_unique<VstFace>(static_cast<float>(sampleRate), blockSize);
    return std::make_unique<Lv2Face>(sampleRate);
}

Channels render(Face& face, const Channels& input, int blockLength, bool inPlace) {
    const int frames = static_cast<int>(input[0].size());
    Channels work = input;
    Channels output(input.size(), std::vector<float>(frames, 0.0f));
    for (int from = 0; from < frames; from += blockLength) {
        const int n = std::min(blockLength, frames - from);
        std::vector<float*> in, out;
        for (std::size_t c = 0; c < input.size(); ++c) {
            in.push_back(work[c].data() + from);
            out.push_back((inPlace ? work[c] : output[c]).data() + from);
        }
        face.process(in.data(), out.data(), n);
    }
    return inPlace ? work : output;
}

Lv2World& Lv2World::get() {
    static Lv2World world;
    return world;
}

Lv2World::Lv2World() {
    world_ = lilv_world_new();
    // The bundle alone, found by its path as a host finds it on its search path.
    const std::string bundleUri = "file://" + kLv2Bundle + "/";
    LilvNode* bundle = lilv_new_uri(world_, bundleUri.c_str());
    lilv_world_load_bundle(world_, bundle);
    lilv_node_free(bundle);
    LilvNode* pluginUri = uri(kBFormatConverterProduct.uri);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), pluginUri);
    lilv_node_free(pluginUri);
    if (!plugin_)
        throw std::runtime_error("no plug-in " + std::string(kBFormatConverterProduct.uri) +
                                 " in " + kLv2Bundle);
}

Lv2World::~Lv2World() {
    lilv_world_free(world_);
}

LilvNode* Lv2World::uri(const char* text) const {
    return lilv_new_uri(world_, text);
}

const vsthost::PluginLibrary& vstLibrary(const std::string& bundle) {
    static std::map<std::string, std::unique_ptr<vsthost::PluginLibrary>> open;
    auto& library = open[bundle];
    if (!library) {
        std::string error;
        library = vsthost::PluginLibrary::open(bundle, error);
        if (!library) throw std::runtime_error(error);
    }
    return *library;
}

std::unique_ptr<vsthost::PluginInstance> vstInstance(float sampleRate, int blockSize) {
    std::string error;
    auto instance = vsthost::PluginInstance::create(vstLibrary(kVstBundle), error);
    if (!instance) throw std::runtime_error(error);
    instance->start(sampleRate, blockSize);
    return instance;
}

} // namespace kiv::convertertest
