// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/pwchain/FilterChainText.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "product/ConverterProduct.h"

namespace kiv::pwchain {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char ch : text) {
        if (ch == '"' || ch == '\\') out += '\\';
        out += ch;
    }
    return out + "\"";
}

// Nine significant digits read back as the same float; choices as whole numbers.
std::string valueText(const ControlValue& c) {
    char text[32];
    if (c.whole)
        std::snprintf(text, sizeof text, "%ld", std::lround(c.value));
    else
        std::snprintf(text, sizeof text, "%.9g", static_cast<double>(c.value));
    return text;
}

std::string list(const std::vector<std::string>& items) {
    std::string out = "[";
    for (const std::string& item : items) out += " " + item;
    return out + " ]";
}

std::vector<std::string> quotedAll(const std::vector<std::string>& items) {
    std::vector<std::string> out;
    for (const std::string& item : items) out.push_back(quoted(item));
    return out;
}

} // namespace

std::string sinkNodeName(const ChainKind& kind) {
    return std::string("kivtone.") + kind.key;
}

std::string filterChainText(const ChainKind& kind, const DecoderChoice& choice) {
    const ConverterProduct& converter = kBFormatConverterProduct;
    const std::vector<OutputFeed> feeds = activeOutputs(choice);
    const std::string title = std::string(kind.description) + ": " + choice.layout;

    // The graph's entry and exit ports; a channel the decoder does not take (Z for a
    // horizontal decoder) is null.
    std::vector<std::string> inputs, outputs, positions, links;
    for (int c = 0; c < 4; ++c) {
        const bool used = c < static_cast<int>(choice.inputs.size());
        if (kind.ambix) {
            inputs.push_back(quoted(std::string("converter:") + converter.inputs[c].symbol));
            if (used)
                links.push_back("{ output = " +
                                quoted(std::string("converter:") + converter.outputs[c].symbol) +
                                " input = " + quoted("decoder:" + choice.inputs[c]) + " }");
        } else {
            inputs.push_back(used ? quoted("decoder:" + choice.inputs[c]) : "null");
        }
    }
    if (kind.follower) {
        for (std::size_t k = 0; k < feeds.size(); ++k)
            links.push_back("{ output = " + quoted("decoder:" + feeds[k].port) + " input = " +
                            quoted("follower:" + std::string(kind.follower->inputPrefix) +
                                   std::to_string(k + 1)) +
                            " }");
        for (int o = 0; o < 2; ++o) {
            outputs.push_back(std::string("follower:") + kind.follower->outputs[o]);
            positions.push_back(kind.follower->positions[o]);
        }
    } else {
        std::vector<SpeakerFeed> directions;
        for (const OutputFeed& f : feeds) {
            outputs.push_back("decoder:" + f.port);
            directions.push_back(f.feed);
        }
        positions = channelPositions(directions);
    }

    std::ostringstream t;
    t << "# " << title << " (" << choice.product << ").\n"
      << "# A virtual sink for four-channel Ambisonic B-format, decoded by Kivtone's "
      << choice.product
      << (kind.follower ? std::string(",\n# then played on two channels by ") + kind.follower->uri
                        : std::string())
      << ".\n"
      << "# It takes " << (kind.ambix ? "AmbiX W, Y, Z, X (ACN 0 to 3)" : "FuMa W, X, Y, Z")
      << " on channels FL, FR, RL, RR, in that order: the\n"
      << "# positions PipeWire gives a plain four-channel file. Feeds:";
    for (std::size_t o = 0; o < outputs.size(); ++o)
        t << (o % 5 == 0 ? "\n#  " : "") << " " << outputs[o] << " " << positions[o]
          << (o + 1 < outputs.size() ? "," : ".");
    t << "\n# Written by kiv_pwchain from the product descriptions; scripts/install.sh --pipewire\n"
      << "# installs it into ~/.config/pipewire/pipewire.conf.d/.\n"
      << "context.modules = [\n"
      << "    {   name = libpipewire-module-filter-chain\n"
      << "        args = {\n"
      << "            node.description = " << quoted(title) << "\n"
      << "            media.name = " << quoted(title) << "\n"
      << "            filter.graph = {\n"
      << "                nodes = [\n";
    if (kind.ambix)
        t << "                    {\n"
          << "                        type = lv2\n"
          << "                        name = converter\n"
          << "                        plugin = " << quoted(converter.uri) << "\n"
          << "                        control = { " << quoted(converter.parameterSymbol) << " = "
          << static_cast<int>(converter.directions[0].direction) << " }\n"
          << "                    }\n";
    t << "                    {\n"
      << "                        type = lv2\n"
      << "                        name = decoder\n"
      << "                        plugin = " << quoted(choice.uri) << "\n"
      << "                        control = {\n";
    for (const ControlValue& c : choice.controls)
        t << "                            " << quoted(c.symbol) << " = " << valueText(c) << "\n";
    t << "                        }\n"
      << "                    }\n";
    if (kind.follower)
        t << "                    {\n"
          << "                        type = lv2\n"
          << "                        name = follower\n"
          << "                        plugin = " << quoted(kind.follower->uri) << "\n"
          << (kind.follower->layoutSymbol
                  ? "                        control = { " + quoted(kind.follower->layoutSymbol) +
                        " = " + std::to_string(kind.follower->layoutValue(choice)) + " }\n"
                  : std::string())
          << "                    }\n";
    t << "                ]\n";
    if (!links.empty()) {
        t << "                links = [\n";
        for (const std::string& link : links) t << "                    " << link << "\n";
        t << "                ]\n";
    }
    t << "                inputs = " << list(inputs) << "\n"
      << "                outputs = " << list(quotedAll(outputs)) << "\n"
      << "            }\n"
      << "            capture.props = {\n"
      << "                node.name = " << quoted(sinkNodeName(kind)) << "\n"
      << "                media.class = Audio/Sink\n"
      << "                audio.channels = 4\n"
      << "                audio.position = " << list({kSinkPositions, kSinkPositions + 4}) << "\n"
      << "            }\n"
      << "            playback.props = {\n"
      << "                node.name = " << quoted(sinkNodeName(kind) + ".output") << "\n"
      << "                node.passive = true\n"
      << "                audio.channels = " << outputs.size() << "\n"
      << "                audio.position = " << list(positions) << "\n"
      << "            }\n"
      << "        }\n"
      << "    }\n"
      << "]\n";
    return t.str();
}

} // namespace kiv::pwchain
