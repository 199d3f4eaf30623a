// SPDX-License-Identifier: GPL-3.0-or-later
// The products whose state holds more than their parameters (a layout file's content, a set's
// path), as the state fuzz targets see them: the VST chunk's parts, and the LV2 binary's
// ports, state keys and file parameters. A target finds its product by what the loaded bundle
// calls itself (the VST effect name, the LV2 URI), so one target serves every such product.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::fuzz {

// What a text in a chunk, a state entry or a file parameter holds.
enum class Field { FileName, LayoutText, Path };

struct ControlPort {
    float minimum, maximum, defaultPhysical;
};

struct StateKey {
    const char* uri;
    Field field;
};

struct StatefulProduct {
    const char* name;   // the VST effect name
    const char* lv2Uri; // the LV2 plug-in URI

    // The VST chunk: magic, version, `values` normalised floats, then each text of
    // chunkTexts as a 32-bit length and its bytes.
    std::uint32_t chunkMagic;
    std::uint32_t chunkVersion;
    int values;
    std::vector<Field> chunkTexts;

    // The LV2 ports: audio ports firstAudio to firstAudio + audioPorts - 1, the parameters'
    // control ports from firstControl, a latency output (latencyPort < 0: none), the control
    // input and the notify output.
    std::uint32_t firstAudio;
    std::uint32_t audioPorts;
    std::uint32_t firstControl;
    std::vector<ControlPort> controls;
    int latencyPort;
    std::uint32_t controlIn;
    std::uint32_t notifyOut;
    std::vector<StateKey> stateKeys;         // what the plug-in saves and restores
    std::vector<const char*> fileParameters; // patch:Parameters of range atom:Path
};

const std::vector<StatefulProduct>& statefulProducts();

// The product a bundle names (effect name or LV2 URI); null when it is none of them.
const StatefulProduct* statefulProductNamed(const std::string& nameOrUri);

} // namespace kiv::fuzz
