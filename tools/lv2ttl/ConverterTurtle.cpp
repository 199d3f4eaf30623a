// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/lv2ttl/ConverterTurtle.h"

#include <sstream>

#include "product/ConverterLv2Ports.h"
#include "product/ConverterProduct.h"
#include "tools/lv2ttl/TurtleText.h"

namespace kiv::lv2ttl {

namespace {

const ConverterProduct& product = kBFormatConverterProduct;

const std::string kPrefixes = prefixBlock({"doap", "foaf", "lv2", "pset", "rdf", "rdfs"});

std::string presetUri(int program) {
    return ::presetUri(product.uri, program);
}

// What an audio port carries in either direction.
std::string portMeaning(bool input, int channel) {
    std::string text;
    for (int d = 0; d < kConverterPrograms; ++d) {
        const ConverterDirection& direction = product.directions[d];
        const char* pin = input ? direction.inputPins[channel] : direction.outputPins[channel];
        text += std::string(d ? " " : "") + direction.name + ": " + pin + ".";
    }
    return text;
}

void audioPort(std::ostringstream& ttl, std::uint32_t index, bool input, int channel) {
    const PortDescription& port = input ? product.inputs[channel] : product.outputs[channel];
    ttl << "    [\n"
        << "        a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort") << " ;\n"
        << "        lv2:index " << index << " ;\n"
        << "        lv2:symbol " << quoted(port.symbol) << " ;\n"
        << "        lv2:name " << quoted(port.name) << " ;\n"
        << "        rdfs:comment " << quoted(portMeaning(input, channel).c_str()) << "\n"
        << "    ] ,\n";
}

} // namespace

std::string converterManifestTtl() {
    std::ostringstream ttl;
    ttl << kPrefixes;
    ttl << "<" << product.uri << ">\n"
        << "    a lv2:Plugin ;\n"
        << "    lv2:binary <" << product.name << ".so> ;\n"
        << "    rdfs:seeAlso <" << product.name << ".ttl> .\n";
    for (int p = 0; p < kConverterPrograms; ++p)
        ttl << "\n<" << presetUri(p) << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << product.uri << "> ;\n"
            << "    rdfs:label " << quoted(product.directions[p].name) << " ;\n"
            << "    rdfs:seeAlso <presets.ttl> .\n";
    return ttl.str();
}

std::string converterPluginTtl() {
    std::ostringstream ttl;
    ttl << kPrefixes;
    std::string documentation = std::string(product.summary) +
                                " The direction control chooses the conversion; the port "
                                "comments say what each channel carries in either direction.";
    for (int d = 0; d < kConverterPrograms; ++d) {
        const ConverterDirection& direction = product.directions[d];
        documentation += std::string(" ") + direction.name + ": inputs ";
        for (int c = 0; c < kConverterChannels; ++c)
            documentation += std::string(c ? ", " : "") + direction.inputPins[c];
        documentation += ", outputs ";
        for (int c = 0; c < kConverterChannels; ++c)
            documentation += std::string(c ? ", " : "") + direction.outputPins[c];
        documentation += ".";
    }
    ttl << "<" << product.uri << ">\n"
        << "    a lv2:Plugin , lv2:ConverterPlugin ;\n"
        << "    doap:name " << quoted(product.productString) << " ;\n"
        << "    doap:maintainer [ foaf:name " << quoted(product.vendor) << " ] ;\n"
        << "    doap:license <" << kLicenceUri << "> ;\n"
        << "    rdfs:comment " << quoted(documentation.c_str()) << " ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n"
        << "    lv2:port\n";
    for (int c = 0; c < kConverterChannels; ++c) audioPort(ttl, kLv2FirstInputPort + c, true, c);
    for (int c = 0; c < kConverterChannels; ++c) audioPort(ttl, kLv2FirstOutputPort + c, false, c);
    ttl << "    [\n"
        << "        a lv2:ControlPort , lv2:InputPort ;\n"
        << "        lv2:index " << kLv2DirectionPort << " ;\n"
        << "        lv2:symbol " << quoted(product.parameterSymbol) << " ;\n"
        << "        lv2:name " << quoted(product.parameterName) << " ;\n"
        << "        lv2:default " << static_cast<int>(product.directions[0].direction) << " ;\n"
        << "        lv2:minimum 0 ;\n"
        << "        lv2:maximum 1 ;\n"
        << "        lv2:portProperty lv2:integer , lv2:enumeration ;\n"
        << "        lv2:scalePoint";
    for (int d = 0; d < kConverterPrograms; ++d)
        ttl << (d ? " , " : " ") << "[ rdfs:label " << quoted(product.directions[d].name)
            << " ; rdf:value " << static_cast<int>(product.directions[d].direction) << " ]";
    ttl << "\n    ] .\n";
    return ttl.str();
}

std::string converterPresetsTtl() {
    std::ostringstream ttl;
    ttl << kPrefixes;
    for (int p = 0; p < kConverterPrograms; ++p)
        ttl << (p ? "\n" : "") << "<" << presetUri(p) << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << product.uri << "> ;\n"
            << "    rdfs:label " << quoted(product.directions[p].name) << " ;\n"
            << "    lv2:port [\n"
            << "        lv2:symbol " << quoted(product.parameterSymbol) << " ;\n"
            << "        pset:value " << static_cast<int>(product.directions[p].direction) << ".0\n"
            << "    ] .\n";
    return ttl.str();
}

} // namespace kiv::lv2ttl
