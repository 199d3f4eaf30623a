// SPDX-License-Identifier: GPL-3.0-or-later
// The converter's two faces as a host sees them, behind one small interface for the tests
// that apply to both: the VST bundle through our test host (entry point, record,
// dispatcher), the LV2 bundle through lilv (the bundle loaded by its path, an instance,
// ports connected, run).
#pragma once

#include <lilv/lilv.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "tools/vsthost/VstHost.h"

namespace kiv::convertertest {

inline const std::string kVstBundle = KIV_CONVERTER_BUNDLE;
inline const std::string kLv2Bundle = KIV_CONVERTER_LV2;

// Four channels of audio, one vector per channel.
using Channels = std::vector<std::vector<float>>;

class Face {
public:
    virtual ~Face() = default;
    // The direction value as the host sends it: the VST parameter (normalised) or the LV2
    // control port (physical; 0 and 1 are the two directions in both).
    virtual void setDirection(float value) = 0;
    // One block; outputs may be the input buffers themselves.
    virtual void process(float* const* inputs, float* const* outputs, int frames) = 0;
};

enum class FaceKind { Vst, Lv2 };

// For test names and messages.
inline void PrintTo(FaceKind kind, std::ostream* os) {
    *os << (kind == FaceKind::Vst ? "VST" : "LV2");
}

std::unique_ptr<Face> makeFace(FaceKind kind, double sampleRate = 48000.0, int blockSize = 512);

// Renders input through the face in blocks of blockLength (apart or in place).
Channels render(Face& face, const Channels& input, int blockLength, bool inPlace = false);

// The lilv world with the converter's bundle loaded (and nothing else), kept for the process.
class Lv2World {
public:
    static Lv2World& get();
    ~Lv2World();
    LilvWorld* world() const { return world_; }
    const LilvPlugin* plugin() const { return plugin_; }
    LilvNode* uri(const char* text) const; // caller frees

private:
    Lv2World();
    LilvWorld* world_ = nullptr;
    const LilvPlugin* plugin_ = nullptr;
};

// A VST instance of the converter's bundle, opened and started.
std::unique_ptr<vsthost::PluginInstance> vstInstance(float sampleRate = 48000.0f,
                                                     int blockSize = 512);
const vsthost::PluginLibrary& vstLibrary(const std::string& bundle);

} // namespace kiv::convertertest
