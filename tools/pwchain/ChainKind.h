// SPDX-License-Identifier: GPL-3.0-or-later
// What a filter-chain does around the decoder, as data: one row per use. The sink always
// takes four channels in W, X, Y, Z order (AmbiX: ACN 0 to 3) at the positions PipeWire
// gives a plain four-channel file, so that a player's B-format reaches the graph unmixed.
// The headphone use is one more row: the decoder, then a monitor plug-in whose input k takes
// the decoder's output k and whose outputs are the headphones' two channels.
#pragma once

#include "product/HeadphoneMonitorProduct.h"
#include "tools/pwchain/DecoderChoice.h"
#include "tools/pwchain/MonitorLayoutChoice.h"

namespace kiv::pwchain {

// A plug-in after the decoder that turns its speaker feeds into the final channels.
struct Follower {
    const char* uri;
    const char* inputPrefix;  // input k (from 1) is inputPrefix + k
    const char* outputs[2];   // its outputs, in order
    const char* positions[2]; // their channel positions
    // Its control that names the decoder's layout (null: none), and the value for a layout.
    const char* layoutSymbol;
    int (*layoutValue)(const DecoderChoice& choice);
};

struct ChainKind {
    const char* key;          // file names and node names: "bformat-loudspeakers"
    const char* description;  // the sink as applications list it, before the layout's name
    bool ambix;               // the B-format converter (AmbiX to FuMa) ahead of the decoder
    const Follower* follower; // null: the decoder's feeds go out as they are
};

inline constexpr const char* kSinkPositions[4] = {"FL", "FR", "RL", "RR"};

// HeadphoneMonitor on the decoder's feeds, set to the decoder's layout.
inline constexpr Follower kHeadphoneFollower = {
    kHeadphoneMonitorUri.text, "in", {"left", "right"}, {"FL", "FR"}, "layout",
    monitorLayoutChoice};

inline constexpr ChainKind kChainKinds[] = {
    {"bformat-loudspeakers", "Ambisonic B-format (FuMa) to loudspeakers", false, nullptr},
    {"ambix-loudspeakers", "Ambisonic B-format (AmbiX) to loudspeakers", true, nullptr},
    {"bformat-headphones", "Ambisonic B-format (FuMa) to headphones", false, &kHeadphoneFollower},
};

} // namespace kiv::pwchain
