// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/validation/Face.h"

#include <map>
#include <stdexcept>

#include "host/VstOpcodes.h"
#include "tests/validation/Lv2Worker.h"

namespace kiv::validation {

namespace {

FaceUnderTest vstFace(const BundleUnderTest& b) {
    return {b.name, Format::Vst, b.inputs, b.outputs, b.programs, b.decoder, b, {}};
}

FaceUnderTest lv2Face(const Lv2BundleUnderTest& b) {
    return {
        std::string(b.name) + "Lv2", Format::Lv2, b.inputs, b.outputs, b.presets, b.decoder, {}, b};
}

class VstFace : public Face {
public:
    explicit VstFace(const BundleUnderTest& bundle)
        : bundle_(bundle), instance_(newInstance(bundle)) {}
    int inputs() const override { return bundle_.inputs; }
    int outputs() const override { return bundle_.outputs; }
    void selectProgram(int program) override { instance_->dispatch(effSetProgram, 0, program); }
    void setParameter(int k, float normalised) override { instance_->setParameter(k, normalised); }
    void setRaw(int k, float value) override { instance_->setParameter(k, value); }
    std::vector<float> saved() override {
        std::vector<float> values;
        for (int k = 0; k < instance_->effect()->numParams; ++k)
            values.push_back(instance_->getParameter(k));
        return values;
    }
    void restore(const std::vector<float>& values) override {
        for (std::size_t k = 0; k < values.size(); ++k)
            instance_->setParameter(static_cast<VstInt32>(k), values[k]);
    }
    void start(float rate, int maxBlock) override { instance_->start(rate, maxBlock); }
    void restart() override {
        instance_->stop();
        instance_->dispatch(effMainsChanged, 0, 1);
    }
    void process(float** in, float** out, int frames) override {
        instance_->processReplacing(in, out, frames);
    }
    void close() override { instance_->close(); }
    vsthost::PluginInstance* vst() override { return instance_.get(); }

private:
    BundleUnderTest bundle_;
    std::unique_ptr<vsthost::PluginInstance> instance_;
};

// Loaded once per binary, before any check arms the allocation hook around an instance.
const LV2_Descriptor* descriptorOf(const Lv2BundleUnderTest& bundle) {
    static std::map<std::string, const LV2_Descriptor*> loaded;
    const LV2_Descriptor*& d = loaded[bundle.so];
    if (d == nullptr) {
        std::string error;
        d = lv2Descriptor(bundle, error);
        if (d == nullptr) throw std::runtime_error(error);
    }
    return d;
}

class Lv2Face : public Face {
public:
    explicit Lv2Face(const Lv2BundleUnderTest& bundle) : bundle_(bundle), d_(descriptorOf(bundle)) {
        // A host starts every control at its default: preset 0's value.
        selectProgram(0);
    }
    ~Lv2Face() override { close(); }
    int inputs() const override { return bundle_.inputs; }
    int outputs() const override { return bundle_.outputs; }
    void selectProgram(int program) override {
        if (program < 0 || program >= bundle_.presets) return;
        for (int k = 0; k < bundle_.controls; ++k)
            controls_[k] = lv2PresetValue(bundle_, program, k);
    }
    void setParameter(int k, float normalised) override {
        if (k >= 0 && k < bundle_.controls) controls_[k] = lv2ControlValue(bundle_, k, normalised);
    }
    void setRaw(int k, float value) override {
        if (k >= 0 && k < bundle_.controls) controls_[k] = value;
    }
    std::vector<float> saved() override { return {controls_, controls_ + bundle_.controls}; }
    void restore(const std::vector<float>& values) override {
        for (std::size_t k = 0; k < values.size(); ++k) setRaw(static_cast<int>(k), values[k]);
    }
    void start(float rate, int maxBlock) override {
        close();
        worker_ = std::make_unique<Lv2Worker>();
        features_ = std::make_unique<Lv2HostFeatures>(maxBlock, worker_->feature());
        const std::string path = bundle_.so.substr(0, bundle_.so.rfind('/') + 1);
        handle_ = d_->instantiate(d_, rate, path.c_str(), features_->features());
        if (handle_ == nullptr)
            throw std::runtime_error(bundle_.uri + " refuses an instance at " +
                                     std::to_string(rate) + " Hz");
        worker_->attach(
            static_cast<const LV2_Worker_Interface*>(d_->extension_data(LV2_WORKER__interface)),
            handle_);
        for (int k = 0; k < bundle_.controls; ++k)
            d_->connect_port(handle_, port(bundle_.inputs + bundle_.outputs + k), &controls_[k]);
        // Output controls are connected as a host connects them, so every check runs with
        // them written.
        for (int k = 0; k < bundle_.controlOutputs; ++k)
            d_->connect_port(handle_, port(bundle_.inputs + bundle_.outputs + bundle_.controls + k),
                             &controlOutputs_[k]);
        d_->activate(handle_);
    }
    void restart() override {
        d_->deactivate(handle_);
        d_->activate(handle_);
    }
    void process(float** in, float** out, int frames) override {
        for (int j = 0; j < bundle_.inputs; ++j) d_->connect_port(handle_, port(j), in[j]);
        for (int j = 0; j < bundle_.outputs; ++j)
            d_->connect_port(handle_, port(bundle_.inputs + j), out[j]);
        d_->run(handle_, static_cast<uint32_t>(frames));
        worker_->afterRun();
    }
    void close() override {
        if (handle_ == nullptr) return;
        d_->deactivate(handle_);
        d_->cleanup(handle_);
        handle_ = nullptr;
        features_.reset();
        worker_.reset();
    }

private:
    static uint32_t port(int index) { return static_cast<uint32_t>(index); }

    Lv2BundleUnderTest bundle_;
    const LV2_Descriptor* d_;
    LV2_Handle handle_ = nullptr;
    std::unique_ptr<Lv2Worker> worker_;
    std::unique_ptr<Lv2HostFeatures> features_;
    float controls_[16] = {}; // the most controls of any bundle: LayoutDecoder's ten
    float controlOutputs_[1] = {};
};

} // namespace

const std::vector<FaceUnderTest>& decoderFaces() {
    static const std::vector<FaceUnderTest> faces = [] {
        std::vector<FaceUnderTest> all;
        for (const BundleUnderTest& b : bundlesUnderTest()) all.push_back(vstFace(b));
        for (const Lv2BundleUnderTest& b : lv2BundlesUnderTest()) all.push_back(lv2Face(b));
        return all;
    }();
    return faces;
}

const std::vector<FaceUnderTest>& allFaces() {
    static const std::vector<FaceUnderTest> faces = [] {
        std::vector<FaceUnderTest> all;
        for (const BundleUnderTest& b : allBundlesUnderTest()) all.push_back(vstFace(b));
        for (const Lv2BundleUnderTest& b : allLv2BundlesUnderTest()) all.push_back(lv2Face(b));
        return all;
    }();
    return faces;
}

const std::vector<FaceUnderTest>& lv2Faces() {
    static const std::vector<FaceUnderTest> faces = [] {
        std::vector<FaceUnderTest> all;
        for (const Lv2BundleUnderTest& b : allLv2BundlesUnderTest()) all.push_back(lv2Face(b));
        return all;
    }();
    return faces;
}

std::unique_ptr<Face> newFace(const FaceUnderTest& face) {
    if (face.format == Format::Vst) return std::make_unique<VstFace>(face.vst);
    return std::make_unique<Lv2Face>(face.lv2);
}

std::unique_ptr<Face> startedFace(const FaceUnderTest& face, float rate, int maxBlock) {
    auto f = newFace(face);
    f->start(rate, maxBlock);
    return f;
}

void apply(Face& face, const ParameterSet& set) {
    for (int k = 0; k < 7; ++k) face.setParameter(k, set.values[k]);
}

Audio render(Face& face, const Audio& input, int blockLength, bool inPlace) {
    return render(
        face.inputs(), face.outputs(),
        [&](float** in, float** out, int n) { face.process(in, out, n); }, input, blockLength,
        inPlace);
}

} // namespace kiv::validation
