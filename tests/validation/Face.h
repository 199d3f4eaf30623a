// SPDX-License-Identifier: GPL-3.0-or-later
// One face of a bundle under validation, VST or LV2, behind the few calls the shared checks
// make: set controls and programs, start at a rate with a longest block, process blocks in
// place or apart, restart, close. The VST face goes through our test host (record and
// dispatcher); the LV2 face through the DSP binary's descriptor, with the control ports in
// physical units as a host holds them.
//
// Threads: a Face is driven by one thread at a time.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/validation/Audio.h"
#include "tests/validation/Bundles.h"
#include "tests/validation/Lv2Plugin.h"
#include "tests/validation/ParameterSets.h"
#include "tools/vsthost/VstHost.h"

namespace kiv::validation {

enum class Format { Vst, Lv2 };

struct FaceUnderTest {
    std::string name; // the VST face by the bundle's name, the LV2 face with "Lv2" after it
    Format format;
    int inputs;
    int outputs;
    int programs; // LV2: presets
    bool decoder; // see BundleUnderTest
    BundleUnderTest vst;
    Lv2BundleUnderTest lv2;
};

inline std::ostream& operator<<(std::ostream& os, const FaceUnderTest& face) {
    return os << face.name;
}

// Both faces of both decoders.
const std::vector<FaceUnderTest>& decoderFaces();
// Both faces of the decoders and of the B-format converter.
const std::vector<FaceUnderTest>& allFaces();
// The LV2 faces alone (decoders and converter).
const std::vector<FaceUnderTest>& lv2Faces();

class Face {
public:
    virtual ~Face() = default;
    virtual int inputs() const = 0;
    virtual int outputs() const = 0;

    // A factory program (VST) or the preset's control values (LV2).
    virtual void selectProgram(int program) = 0;
    // Parameter k to a normalised value; LV2: the control port to the physical value that
    // stands for it. Indices past the face's controls are ignored (LV2) or sent (VST).
    virtual void setParameter(int k, float normalised) = 0;
    // Parameter k to a value as a hostile host sends it: VST the normalised value, LV2 the
    // control port's physical value, unchanged.
    virtual void setRaw(int k, float value) = 0;
    // What a host saves: VST the parameter values read back through the record, LV2 the
    // control port values.
    virtual std::vector<float> saved() = 0;
    // Hands saved values to the face the way a host restores them.
    virtual void restore(const std::vector<float>& values) = 0;

    // VST: open, rate, block size, switched on. LV2: instantiated at the rate with the
    // longest block as bufsz:maxBlockLength, controls connected, activated.
    virtual void start(float rate, int maxBlock) = 0;
    // Switched off and on again (VST effMainsChanged; LV2 deactivate and activate).
    virtual void restart() = 0;
    // One block; outputs may be the inputs' own buffers.
    virtual void process(float** inputs, float** outputs, int frames) = 0;
    virtual void close() = 0;

    // The test host's instance behind a VST face (program names, the record); null for LV2.
    virtual vsthost::PluginInstance* vst() { return nullptr; }
};

// A face not yet started; throws std::runtime_error when the bundle refuses an instance.
std::unique_ptr<Face> newFace(const FaceUnderTest& face);
std::unique_ptr<Face> startedFace(const FaceUnderTest& face, float rate, int maxBlock);

// Sets all seven values in parameter order.
void apply(Face& face, const ParameterSet& set);

// As render() for an instance of the test host.
Audio render(Face& face, const Audio& input, int blockLength, bool inPlace = false);

} // namespace kiv::validation
