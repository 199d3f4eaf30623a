// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/Info.h"

#include "host/VstOpcodes.h"
#include "tools/ambidec/PluginSession.h"

#include <cctype>
#include <cstdio>

namespace kiv::ambidec {

namespace {

std::string quoted(const std::string& text) {
    return "\"" + text + "\"";
}

std::string uniqueIdText(VstInt32 id) {
    std::string chars;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const char c = static_cast<char>((static_cast<std::uint32_t>(id) >> shift) & 0xFF);
        if (!std::isprint(static_cast<unsigned char>(c))) {
            chars.clear();
            break;
        }
        chars += c;
    }
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(id));
    return chars.empty() ? hex : quoted(chars) + " (" + hex + ")";
}

std::string pinList(const std::vector<std::string>& labels) {
    std::string text = std::to_string(labels.size());
    for (std::size_t i = 0; i < labels.size(); ++i)
        text += (i ? ", " : ": ") + std::to_string(i) + " " + quoted(labels[i]);
    return text;
}

} // namespace

void infoCommand(const std::string& bundle, std::ostream& report) {
    PluginSession plugin(bundle);
    auto& instance = plugin.instance();
    const AEffect& effect = *instance.effect();

    report << plugin.name() << " (" << plugin.soPath() << ")\n";
    const std::string effectName = instance.effectName();
    report << "  name        " << (effectName.empty() ? "(none given)" : quoted(effectName))
           << "\n";
    report << "  vendor      " << quoted(instance.vendorString()) << ", version "
           << instance.dispatch(effGetVendorVersion) << "\n";
    report << "  product     " << quoted(instance.productString()) << "\n";
    report << "  unique id   " << uniqueIdText(effect.uniqueID) << "\n";
    report << "  category    " << instance.dispatch(effGetPlugCategory) << "\n";
    report << "  inputs      " << pinList(plugin.inputLabels()) << "\n";
    report << "  outputs     " << pinList(plugin.outputLabels()) << "\n";
    ERect rect{};
    if ((effect.flags & effFlagsHasEditor) && instance.editorRect(rect))
        report << "  editor      " << rect.right - rect.left << " x " << rect.bottom - rect.top
               << " pixels\n";
    else
        report << "  editor      none\n";
    if (!plugin.decoderList().empty()) {
        report << "  DecList    ";
        for (int shape : plugin.decoderList()) report << " " << shape;
        report << "\n";
    }

    report << "parameters (" << effect.numParams << ")\n";
    char line[256];
    std::snprintf(line, sizeof line, "  %-2s %-34s %-8s %-10s %s\n", "#", "name", "label", "value",
                  "display");
    report << line;
    for (int i = 0; i < effect.numParams; ++i) {
        std::snprintf(line, sizeof line, "  %-2d %-34s %-8s %-10.6f %s\n", i,
                      quoted(instance.parameterName(i)).c_str(),
                      quoted(instance.parameterLabel(i)).c_str(),
                      static_cast<double>(instance.getParameter(i)),
                      quoted(instance.parameterDisplay(i)).c_str());
        report << line;
    }
    report << "programs (" << effect.numPrograms << ", current " << instance.dispatch(effGetProgram)
           << ")\n";
    const auto programs = plugin.programNames();
    for (std::size_t i = 0; i < programs.size(); ++i)
        report << "  " << i << "  " << quoted(programs[i]) << "\n";
}

} // namespace kiv::ambidec
