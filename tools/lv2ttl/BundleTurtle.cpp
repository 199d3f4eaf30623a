// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/lv2ttl/BundleTurtle.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "product/OutputPinNames.h"
#include "tools/lv2ttl/PresetValue.h"
#include "tools/lv2ttl/TurtleText.h"

namespace kiv::lv2ttl {

namespace {

const std::string kPrefixes = prefixBlock(
    {"bufsz", "doap", "foaf", "lv2", "opts", "pg", "pset", "rdf", "rdfs", "ui", "units", "urid"});

// The inputs carry no port group. The Ambisonic groups of the port-groups vocabulary imply
// SN3D weighting, whose W is 3 dB above the FuMa W these inputs take: a host that routed
// a group-aware source by them would decode with the wrong W. The comments say FuMa instead.
const char* const kInputComments[] = {
    "Omnidirectional component W, FuMa order and weighting (W is 3 dB below the SN3D W), as "
    "the VST version takes it.",
    "Front-back figure of eight X, FuMa order and weighting.",
    "Left-right figure of eight Y, FuMa order and weighting.",
    "Up-down figure of eight Z, FuMa order and weighting.",
};

// Outputs with a fixed role in the 5.0 group of the port-groups vocabulary, by symbol.
struct Designation {
    const char* symbol;
    const char* designation;
};
const Designation kFivePointZero[] = {
    {"fl", "pg:left"},     {"fr", "pg:right"},     {"c", "pg:center"},
    {"sl", "pg:rearLeft"}, {"sr", "pg:rearRight"},
};

const char* designationOf(const char* symbol) {
    for (const Designation& d : kFivePointZero)
        if (std::strcmp(d.symbol, symbol) == 0) return d.designation;
    return nullptr;
}

// True when every output has a 5.0 role: the outputs then form the 5.0 group.
bool isFivePointZero(const ProductDescription& product) {
    if (product.numOutputs != 5) return false;
    for (int i = 0; i < product.numOutputs; ++i)
        if (designationOf(product.outputs[i].symbol) == nullptr) return false;
    return true;
}

const char* const kControlComments[kNumParameters] = {
    "Pattern of the low band: weight of the directional channels against W (1 keeps the "
    "decoder's matrix; the VST value times 2).",
    "Pattern of the high band: weight of the directional channels against W (1 keeps the "
    "decoder's matrix; the VST value times 2).",
    "Frequency that divides the low band from the high band.",
    "The decoder: loudspeaker layout and optimisation.",
    "Distance of the loudspeakers from the listener, for near-field compensation; 8 m is "
    "off.",
    "Source distance assumed when the material was encoded; 8 m is none.",
    "How the two patterns apply: one band, a crossover (Kiv EQ) or shelf filters (Mavo EQ).",
};

std::string decoderName(const KivAmbisonicDecoder& engine, int slot) {
    return engine.decoders[slot]->name;
}

// The engine's catalogue for the product's decoder list, for the decoder names.
struct Catalogue {
    explicit Catalogue(const ProductDescription& product)
        : engine(kDecListSize, product.decList, product.numInputs, product.numOutputs, 0) {}
    KivAmbisonicDecoder engine;
};

std::string integerText(float value) {
    return std::to_string(static_cast<long>(std::lround(value)));
}

std::string controlPort(const ProductDescription& product, const Catalogue& catalogue, int k) {
    const ParameterRow& row = kParameters[k];
    const int index = product.numInputs + product.numOutputs + k;
    bool exact = false;
    const float initial = physicalFor(row, product.programs[0].values[k], exact);
    const bool choice = row.unit == ParameterUnit::Choice;
    auto value = [choice](float v) { return choice ? integerText(v) : number(v); };

    std::string t = "\t\ta lv2:InputPort , lv2:ControlPort ;\n";
    t += "\t\tlv2:index " + std::to_string(index) + " ;\n";
    t += "\t\tlv2:symbol " + quoted(row.symbol) + " ;\n";
    t += "\t\tlv2:name " + quoted(row.shortName) + " ;\n";
    t += "\t\trdfs:comment " + quoted(kControlComments[k]) + " ;\n";
    t += "\t\tlv2:default " + value(initial) + " ;\n";
    t += "\t\tlv2:minimum " + value(row.minimum) + " ;\n";
    t += "\t\tlv2:maximum " + value(row.maximum);
    switch (row.unit) {
    case ParameterUnit::Ratio:
        t += " ;\n\t\tunits:unit units:coef";
        break;
    case ParameterUnit::Hertz:
        t += " ;\n\t\tunits:unit units:hz";
        break;
    case ParameterUnit::Metres:
        // The far end switches the compensation off; the host shows the VST face's word.
        t += " ;\n\t\tunits:unit units:m ;\n\t\tlv2:scalePoint [\n\t\t\trdfs:label " +
             quoted(row.offText) + " ;\n\t\t\trdf:value " + number(kDistanceOffMetres) + "\n\t\t]";
        break;
    case ParameterUnit::Choice: {
        t += " ;\n\t\tlv2:portProperty lv2:integer , lv2:enumeration";
        const int count = static_cast<int>(std::lround(row.maximum - row.minimum)) + 1;
        for (int i = 0; i < count; ++i) {
            const std::string label =
                k == kLayout ? decoderName(catalogue.engine, i) : kSpatialEQNames[i];
            t += i == 0 ? " ;\n\t\tlv2:scalePoint [\n" : " , [\n";
            t += "\t\t\trdfs:label " + quoted(label.c_str()) + " ;\n";
            t += "\t\t\trdf:value " + std::to_string(i) + "\n\t\t]";
        }
        break;
    }
    }
    return t + "\n";
}

// The decoder that runs, for hosts to show (jalv and Ardour list output controls); after
// the parameters so that no port index or symbol changes.
std::string decoderInUsePort(const ProductDescription& product, const Catalogue& catalogue) {
    const int index = product.numInputs + product.numOutputs + kNumParameters;
    std::string t = "\t\ta lv2:OutputPort , lv2:ControlPort ;\n";
    t += "\t\tlv2:index " + std::to_string(index) + " ;\n";
    t += "\t\tlv2:symbol " + quoted(kDecoderInUseSymbol) + " ;\n";
    t += "\t\tlv2:name " + quoted(kDecoderInUseName) + " ;\n";
    t += "\t\trdfs:comment " +
         quoted("The decoder running now: the layout control's choice as the decoder took it "
                "(out-of-range values held to the ends). Written at every run.") +
         " ;\n";
    t += "\t\tlv2:minimum 0 ;\n\t\tlv2:maximum " + std::to_string(kDecListSize - 1) + " ;\n";
    t += "\t\tlv2:portProperty lv2:integer , lv2:enumeration";
    for (int i = 0; i < kDecListSize; ++i) {
        t += i == 0 ? " ;\n\t\tlv2:scalePoint [\n" : " , [\n";
        t += "\t\t\trdfs:label " + quoted(decoderName(catalogue.engine, i).c_str()) + " ;\n";
        t += "\t\t\trdf:value " + std::to_string(i) + "\n\t\t]";
    }
    return t + "\n";
}

std::string outputComment(const ProductDescription& product, const Catalogue& catalogue, int pin) {
    // Which loudspeaker an output feeds may depend on the layout: then list it per layout.
    std::string comment = std::string("Loudspeaker feed ") + product.outputs[pin].name + ".";
    std::string perLayout;
    bool sameForAll = true;
    const char* first = outputPinLabel(product.decList[0], pin);
    for (int slot = 0; slot < kDecListSize; ++slot) {
        const char* label = outputPinLabel(product.decList[slot], pin);
        if (label == nullptr) continue;
        sameForAll = sameForAll && first && std::string(label) == first;
        perLayout += (perLayout.empty() ? " By layout: " : "; ") +
                     decoderName(catalogue.engine, slot) + ": " + label;
    }
    if (sameForAll && first) return std::string("Loudspeaker feed ") + first + ", in every layout.";
    return comment + perLayout + ".";
}

} // namespace

std::string manifestTtl(const ProductDescription& product) {
    const std::string uri = "<" + std::string(product.uri) + ">";
    std::string t = kPrefixes;
    t += uri + "\n\ta lv2:Plugin ;\n\tlv2:binary <" + product.name + ".so> ;\n";
    t += "\trdfs:seeAlso <" + std::string(product.name) + ".ttl> .\n\n";
    // The editor; its binary is the only one that links the toolkit and the artwork.
    t += "<" + std::string(product.uiUri) + ">\n\ta ui:X11UI ;\n";
    t += "\tui:binary <" + std::string(product.name) + "_ui.so> ;\n";
    t += "\tlv2:extensionData ui:idleInterface ;\n\tlv2:requiredFeature ui:idleInterface ;\n";
    t += "\tlv2:optionalFeature ui:parent , ui:touch , ui:resize .\n";
    for (int p = 0; p < kNumFactoryPrograms; ++p) {
        t += "\n<" + presetUri(product.uri, p) + ">\n";
        t += "\ta pset:Preset ;\n\tlv2:appliesTo " + uri + " ;\n";
        t += "\trdfs:label " + quoted(product.programs[p].name) + " ;\n";
        t += "\trdfs:seeAlso <presets.ttl> .\n";
    }
    return t;
}

std::string pluginTtl(const ProductDescription& product) {
    const Catalogue catalogue(product);
    const std::string uri = product.uri;
    const bool surround = isFivePointZero(product);
    std::string layouts;
    for (int slot = 0; slot < kDecListSize; ++slot)
        layouts += (slot == 0 ? "" : ", ") + decoderName(catalogue.engine, slot);

    std::string t = kPrefixes;
    if (surround)
        t += "<" + uri +
             ":out>\n\ta pg:OutputGroup , pg:FivePointZeroGroup ;\n"
             "\tlv2:symbol \"out\" ;\n\trdfs:label \"5.0 loudspeakers\" .\n\n";
    t += "<" + uri + ">\n\ta lv2:Plugin , lv2:SpatialPlugin ;\n";
    t += "\tdoap:name " + quoted(product.productString) + " ;\n";
    t += "\tdoap:maintainer [\n\t\tfoaf:name " + quoted(product.vendor) + "\n\t] ;\n";
    t += "\tdoap:license <" + std::string(kLicenceUri) + "> ;\n";
    // The major version is part of the URI; minor and micro from the vendor version.
    t += "\tlv2:minorVersion " + std::to_string(product.vendorVersion / 100 % 10) + " ;\n";
    t += "\tlv2:microVersion " + std::to_string(product.vendorVersion / 10 % 10) + " ;\n";
    t += "\trdfs:comment " +
         quoted(("First-order Ambisonic decoder: B-format in FuMa order and weighting to " +
                 std::to_string(product.numOutputs) + " loudspeaker feeds. Layouts: " + layouts +
                 ".")
                    .c_str()) +
         " ;\n";
    // Any block length up to the work buffers runs at once, longer ones in pieces; the
    // maximum, when the options give it, only sizes those buffers.
    t += "\tlv2:optionalFeature lv2:hardRTCapable , opts:options , urid:map , "
         "bufsz:boundedBlockLength ;\n";
    t += "\topts:supportedOption bufsz:maxBlockLength , bufsz:nominalBlockLength ;\n";
    t += "\tui:ui <" + std::string(product.uiUri) + "> ;\n";
    if (surround) t += "\tpg:mainOutput <" + uri + ":out> ;\n";
    t += "\tlv2:port [\n";
    int index = 0;
    for (int i = 0; i < product.numInputs; ++i, ++index) {
        t += index == 0 ? "" : "\t] , [\n";
        t += "\t\ta lv2:InputPort , lv2:AudioPort ;\n";
        t += "\t\tlv2:index " + std::to_string(index) + " ;\n";
        t += "\t\tlv2:symbol " + quoted(product.inputs[i].symbol) + " ;\n";
        t += "\t\tlv2:name " + quoted(product.inputs[i].name) + " ;\n";
        t += "\t\trdfs:comment " + quoted(kInputComments[i < 4 ? i : 3]) + "\n";
    }
    for (int o = 0; o < product.numOutputs; ++o, ++index) {
        t += "\t] , [\n\t\ta lv2:OutputPort , lv2:AudioPort ;\n";
        t += "\t\tlv2:index " + std::to_string(index) + " ;\n";
        t += "\t\tlv2:symbol " + quoted(product.outputs[o].symbol) + " ;\n";
        t += "\t\tlv2:name " + quoted(product.outputs[o].name) + " ;\n";
        if (surround) {
            t += "\t\tpg:group <" + uri + ":out> ;\n";
            t += "\t\tlv2:designation " + std::string(designationOf(product.outputs[o].symbol)) +
                 " ;\n";
        }
        t += "\t\trdfs:comment " + quoted(outputComment(product, catalogue, o).c_str()) + "\n";
    }
    for (int k = 0; k < kNumParameters; ++k) t += "\t] , [\n" + controlPort(product, catalogue, k);
    t += "\t] , [\n" + decoderInUsePort(product, catalogue);
    return t + "\t] .\n";
}

std::string presetsTtl(const ProductDescription& product) {
    std::string t = kPrefixes;
    for (int p = 0; p < kNumFactoryPrograms; ++p) {
        const FactoryProgram& program = product.programs[p];
        t += "<" + presetUri(product.uri, p) + ">\n";
        t += "\ta pset:Preset ;\n\tlv2:appliesTo <" + std::string(product.uri) + "> ;\n";
        t += "\trdfs:label " + quoted(program.name) + " ;\n\tlv2:port [\n";
        for (int k = 0; k < kNumParameters; ++k) {
            const ParameterRow& row = kParameters[k];
            bool exact = false;
            const float physical = physicalFor(row, program.values[k], exact);
            if (!exact)
                throw std::runtime_error(std::string("no port value of ") + row.symbol +
                                         " gives program \"" + program.name +
                                         "\"'s stored value back");
            t += k == 0 ? "" : "\t] , [\n";
            t += "\t\tlv2:symbol " + quoted(row.symbol) + " ;\n";
            t += "\t\tpset:value " +
                 (row.unit == ParameterUnit::Choice ? integerText(physical) : number(physical)) +
                 "\n";
        }
        t += "\t] .\n\n";
    }
    return t;
}

} // namespace kiv::lv2ttl
