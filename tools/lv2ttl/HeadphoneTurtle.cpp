// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/lv2ttl/HeadphoneTurtle.h"

#include <sstream>

#include "engine/HeadphoneMonitorEngine.h"
#include "product/HeadphoneMonitorLv2Ports.h"
#include "tools/lv2ttl/TurtleText.h"

namespace kiv::lv2ttl {

namespace {

const HeadphoneMonitorProduct& product = kHeadphoneMonitorProduct;

const std::string kPrefixes = prefixBlock({"atom", "doap", "foaf", "log", "lv2", "patch", "rdf",
                                           "rdfs", "state", "ui", "units", "urid", "work"});

void controlHead(std::ostringstream& ttl, int k) {
    const MonitorParameter& p = product.parameters[k];
    ttl << "    [\n"
        << "        a lv2:ControlPort , lv2:InputPort ;\n"
        << "        lv2:index " << kHmLv2FirstControl + k << " ;\n"
        << "        lv2:symbol " << quoted(p.symbol) << " ;\n"
        << "        lv2:name " << quoted(p.shortName) << " ;\n";
}

void filePara(std::ostringstream& ttl, const char* uri, const char* label, const char* comment) {
    ttl << "<" << uri << ">\n"
        << "    a lv2:Parameter ;\n"
        << "    rdfs:label " << quoted(label) << " ;\n"
        << "    rdfs:comment " << quoted(comment) << " ;\n"
        << "    rdfs:range atom:Path .\n\n";
}

} // namespace

std::string headphoneManifestTtl() {
    std::ostringstream ttl;
    ttl << kPrefixes;
    ttl << "<" << product.uri << ">\n"
        << "    a lv2:Plugin ;\n"
        << "    lv2:binary <" << product.name << ".so> ;\n"
        << "    rdfs:seeAlso <" << product.name << ".ttl> .\n";
    // The editor; it learns the layout and set in force from the notify port.
    ttl << "\n<" << kHmLv2UiUri << ">\n"
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
    return ttl.str();
}

std::string headphonePluginTtl() {
    std::ostringstream ttl;
    ttl << kPrefixes;
    filePara(ttl, kHmLv2LayoutFileUri, "Layout file",
             "An .ambdec preset, an IEM layout (.json) or a speaker list; its content is kept "
             "in the plug-in's state.");
    filePara(ttl, kHmLv2HrtfFileUri, "HRTF set",
             "A SOFA file of head-related impulse responses; the state keeps its path.");
    ttl << "<" << product.uri << ">\n"
        << "    a lv2:Plugin , lv2:SpatialPlugin ;\n"
        << "    doap:name " << quoted(product.productString) << " ;\n"
        << "    doap:maintainer [ foaf:name " << quoted(product.vendor) << " ] ;\n"
        << "    doap:license <" << kLicenceUri << "> ;\n"
        << "    rdfs:comment " << quoted(product.summary) << " ;\n"
        << "    lv2:requiredFeature urid:map ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable , work:schedule , state:mapPath , log:log ;\n"
        << "    lv2:extensionData work:interface , state:interface ;\n"
        << "    patch:writable <" << kHmLv2LayoutFileUri << "> , <" << kHmLv2HrtfFileUri << "> ;\n"
        << "    ui:ui <" << kHmLv2UiUri << "> ;\n"
        << "    lv2:port\n";
    for (int c = 0; c < 32; ++c)
        ttl << audioPort(kHmLv2FirstInput + c, true, "in" + std::to_string(c + 1),
                         "Feed " + std::to_string(c + 1));
    for (int o = 0; o < 2; ++o)
        ttl << audioPort(kHmLv2Left + o, false, product.outputs[o].symbol, product.outputs[o].name);

    controlHead(ttl, kHmLayout);
    ttl << "        lv2:default 0 ;\n"
        << "        lv2:minimum 0 ;\n"
        << "        lv2:maximum " << monitorLayoutCount() << " ;\n"
        << "        lv2:portProperty lv2:integer , lv2:enumeration ;\n"
        << "        lv2:scalePoint";
    for (int i = 0; i <= monitorLayoutCount(); ++i) {
        const std::string label =
            i < monitorLayoutCount() ? monitorLayouts()[i].name : "Layout in state";
        ttl << (i ? " ,\n            " : " ") << "[ rdfs:label " << quoted(label.c_str())
            << " ; rdf:value " << i << " ]";
    }
    ttl << "\n    ] ,\n";

    const MonitorParameter& level = product.parameters[kHmLevel];
    controlHead(ttl, kHmLevel);
    ttl << "        lv2:default " << number(level.defaultPhysical) << " ;\n"
        << "        lv2:minimum " << number(level.minimum) << " ;\n"
        << "        lv2:maximum " << number(level.maximum) << " ;\n"
        << "        units:unit units:db\n"
        << "    ] ,\n";

    controlHead(ttl, kHmBypass);
    ttl << "        lv2:default 0 ;\n"
        << "        lv2:minimum 0 ;\n"
        << "        lv2:maximum 1 ;\n"
        << "        lv2:portProperty lv2:integer , lv2:toggled\n"
        << "    ] ,\n";
    ttl << "    [\n"
        << "        a lv2:ControlPort , lv2:OutputPort ;\n"
        << "        lv2:index " << kHmLv2Latency << " ;\n"
        << "        lv2:symbol \"latency\" ;\n"
        << "        lv2:name \"Latency\" ;\n"
        << "        lv2:minimum 0 ;\n"
        << "        lv2:maximum " << HeadphoneMonitorEngine::kMaxPartition << " ;\n"
        << "        lv2:portProperty lv2:reportsLatency , lv2:integer ;\n"
        << "        units:unit units:frame\n"
        << "    ] ,\n";
    ttl << "    [\n"
        << "        a lv2:InputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports patch:Message ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        lv2:index " << kHmLv2ControlIn << " ;\n"
        << "        lv2:symbol \"control\" ;\n"
        << "        lv2:name \"Control\"\n"
        << "    ] ,\n"
        << "    [\n"
        << "        a lv2:OutputPort , atom:AtomPort ;\n"
        << "        atom:bufferType atom:Sequence ;\n"
        << "        atom:supports patch:Message ;\n"
        << "        lv2:designation lv2:control ;\n"
        << "        lv2:index " << kHmLv2NotifyOut << " ;\n"
        << "        lv2:symbol \"notify\" ;\n"
        << "        lv2:name \"Notify\"\n"
        << "    ] .\n";
    return ttl.str();
}

} // namespace kiv::lv2ttl
