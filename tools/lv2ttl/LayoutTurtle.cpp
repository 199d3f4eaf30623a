// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/lv2ttl/LayoutTurtle.h"

#include <sstream>

#include "product/LayoutDecoderLv2Ports.h"
#include "product/ProductUri.h"
#include "tools/lv2ttl/TurtleText.h"

namespace kiv::lv2ttl {

namespace {

const LayoutDecoderProduct& product = kLayoutDecoderProduct;

const std::string kPrefixes = prefixBlock(
    {"atom", "doap", "foaf", "lv2", "patch", "pset", "rdf", "rdfs", "state", "ui", "urid", "work"});

std::string physicalText(int k, float normalised) {
    const float v = ldPhysical(k, normalised);
    return product.parameters[k].unit == ParameterUnit::Choice ? std::to_string(static_cast<int>(v))
                                                               : number(v);
}

void controlPort(std::ostringstream& ttl, int k) {
    const LayoutParameter& p = product.parameters[k];
    ttl << "    [\n"
        << "        a lv2:ControlPort , lv2:InputPort ;\n"
        << "        lv2:index " << kLdLv2FirstControl + k << " ;\n"
        << "        lv2:symbol " << quoted(p.symbol) << " ;\n"
        << "        lv2:name " << quoted(p.shortName) << " ;\n"
        << "        lv2:default " << physicalText(k, ldDefaultValues()[k]) << " ;\n";
    if (p.unit == ParameterUnit::Choice) {
        ttl << "        lv2:minimum " << static_cast<int>(p.minimum) << " ;\n"
            << "        lv2:maximum " << static_cast<int>(p.maximum) << " ;\n"
            << "        lv2:portProperty lv2:integer";
        if (k == kLdCompensation || k == kLdSubwoofer) ttl << " , lv2:toggled";
        if (k == kLdLayout || k == kLdSpatialEQ) {
            ttl << " , lv2:enumeration ;\n        lv2:scalePoint";
            const int count = static_cast<int>(p.maximum) + 1;
            for (int i = 0; i < count; ++i) {
                std::string label;
                if (k == kLdSpatialEQ)
                    label = kSpatialEQNames[i];
                else
                    label = i < factoryLayoutCount() ? ldFactoryProgramName(i) : "Layout in state";
                ttl << (i ? " ,\n            " : " ") << "[ rdfs:label " << quoted(label.c_str())
                    << " ; rdf:value " << i << " ]";
            }
        }
        ttl << "\n";
    } else {
        ttl << "        lv2:minimum " << number(p.minimum) << " ;\n"
            << "        lv2:maximum " << number(p.maximum) << "\n";
    }
    ttl << "    ] ,\n";
}

} // namespace

std::string layoutManifestTtl() {
    std::ostringstream ttl;
    ttl << kPrefixes;
    ttl << "<" << product.uri << ">\n"
        << "    a lv2:Plugin ;\n"
        << "    lv2:binary <" << product.name << ".so> ;\n"
        << "    rdfs:seeAlso <" << product.name << ".ttl> .\n";
    // The editor; it learns the layout in force from the notify port.
    ttl << "\n<" << kLdLv2UiUri << ">\n"
        << "    a ui:X11UI ;\n"
        << "    ui:binary <" << product.name << "_ui.so> ;\n"
        << "    lv2:extensionData ui:idleInterface ;\n"
        << "    lv2:requiredFeature ui:idleInterface ;\n"
        << "    lv2:optionalFeature ui:parent , ui:touch , ui:resize , urid:map ;\n"
        << "    ui:portNotification [\n"
        << "        ui:plugin <" << product.uri << "> ;\n"
        << "        lv2:symbol \"notify\" ;\n"
        << "        ui:notifyType atom:Object\n"
        << "    ] .\n";
    for (int p = 0; p < factoryLayoutCount(); ++p)
        ttl << "\n<" << presetUri(product.uri, p) << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << product.uri << "> ;\n"
            << "    rdfs:label " << quoted(ldFactoryProgramName(p).c_str()) << " ;\n"
            << "    rdfs:seeAlso <presets.ttl> .\n";
    return ttl.str();
}

std::string layoutPluginTtl() {
    std::ostringstream ttl;
    ttl << kPrefixes;
    ttl << "<" << kLdLv2LayoutFileUri << ">\n"
        << "    a lv2:Parameter ;\n"
        << "    rdfs:label \"Layout file\" ;\n"
        << "    rdfs:comment \"An .ambdec preset, an IEM layout (.json) or a speaker list; its "
           "content is kept in the plug-in's state.\" ;\n"
        << "    rdfs:range atom:Path .\n\n";
    ttl << "<" << product.uri << ">\n"
        << "    a lv2:Plugin ;\n"
        << "    doap:name " << quoted(product.productString) << " ;\n"
        << "    doap:maintainer [ foaf:name " << quoted(product.vendor) << " ] ;\n"
        << "    doap:license <" << kLicenceUri << "> ;\n"
        << "    rdfs:comment " << quoted(product.summary) << " ;\n"
        << "    lv2:requiredFeature urid:map ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable , work:schedule ;\n"
        << "    lv2:extensionData work:interface , state:interface ;\n"
        << "    patch:writable <" << kLdLv2LayoutFileUri << "> ;\n"
        << "    ui:ui <" << kLdLv2UiUri << "> ;\n"
        << "    lv2:port\n";
    for (int c = 0; c < 4; ++c)
        ttl << audioPort(kLdLv2FirstInput + c, true, product.inputs[c].symbol,
                         product.inputs[c].name);
    for (int o = 0; o < 32; ++o)
        ttl << audioPort(kLdLv2FirstOutput + o, false, "out" + std::to_string(o + 1),
                         "Speaker " + std::to_string(o + 1));
    for (int k = 0; k < kLayoutDecoderParameters; ++k) controlPort(ttl, k);
    ttl << "    [\n"
        << "        a lv2:InputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports patch:Message ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        lv2:index " << kLdLv2ControlIn << " ;\n"
        << "        lv2:symbol \"control\" ;\n"
        << "        lv2:name \"Control\"\n"
        << "    ] ,\n"
        << "    [\n"
        << "        a lv2:OutputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports patch:Message ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        lv2:index " << kLdLv2NotifyOut << " ;\n"
        << "        lv2:symbol \"notify\" ;\n"
        << "        lv2:name \"Notify\"\n"
        << "    ] .\n";
    return ttl.str();
}

std::string layoutPresetsTtl() {
    std::ostringstream ttl;
    ttl << kPrefixes;
    for (int p = 0; p < factoryLayoutCount(); ++p) {
        const std::vector<float> values = ldFactoryProgramValues(p);
        ttl << (p ? "\n" : "") << "<" << presetUri(product.uri, p) << ">\n"
            << "    a pset:Preset ;\n"
            << "    lv2:appliesTo <" << product.uri << "> ;\n"
            << "    rdfs:label " << quoted(ldFactoryProgramName(p).c_str()) << " ;\n"
            << "    lv2:port";
        for (int k = 0; k < kLayoutDecoderParameters; ++k)
            ttl << (k ? " , " : " ") << "[ lv2:symbol " << quoted(product.parameters[k].symbol)
                << " ; pset:value " << number(ldPhysical(k, values[k])) << " ]";
        ttl << " .\n";
    }
    return ttl.str();
}

} // namespace kiv::lv2ttl
