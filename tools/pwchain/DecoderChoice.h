// SPDX-License-Identifier: GPL-3.0-or-later
// The decoders a filter-chain can run, one per layout the products offer: RegularDecoder's
// and IrregularDecoder's factory programs and LayoutDecoder's factory layouts. Each carries
// its plug-in, its input ports in W, X, Y(, Z) order, its control values (the program's, in
// the LV2 ports' physical units) and its speaker feeds in output order.
#pragma once

#include <string>
#include <vector>

#include "tools/pwchain/ChannelPositions.h"

namespace kiv::pwchain {

struct ControlValue {
    std::string symbol;
    float value;
    float minimum;
    float maximum;
    bool whole; // a choice or switch: written and taken as a whole number
};

struct OutputFeed {
    std::string port; // "out1", "fl"
    SpeakerFeed feed;
};

struct DecoderChoice {
    std::string layout;  // "Octagon with Centre Front": the program or factory layout's name
    std::string product; // "RegularDecoder"
    std::string uri;
    int program;                     // the product's factory program that holds these values
    std::vector<std::string> inputs; // W, X, Y(, Z)
    std::vector<ControlValue> controls;
    std::vector<OutputFeed> outputs;
    // LayoutDecoder: with its subwoofer switch on, this port feeds the subwoofer too.
    std::string subwooferPort;
};

// Every layout, RegularDecoder's first, each product's in its own order.
const std::vector<DecoderChoice>& decoderChoices();

// The layout of that name or its short name (slug), any case; null when there is none.
const DecoderChoice* findDecoderChoice(const std::string& name);

// "Octagon with Centre Front" -> "octagon-with-centre-front": lower case, other characters
// than letters and digits one dash.
std::string slugOf(const std::string& name);

// Sets a control by symbol, as text; throws std::invalid_argument with a one-line reason
// (no such control, the layout itself, not a number, out of range).
void setControl(DecoderChoice& choice, const std::string& symbol, const std::string& text);

// The feeds that run with the controls as set: the subwoofer's added when it is on.
std::vector<OutputFeed> activeOutputs(const DecoderChoice& choice);

} // namespace kiv::pwchain
