// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/Info.h"

#include "host/VstOpcodes.h"
#include "product/ProductDescription.h"
#include "tools/ambidec/OutputChannels.h"
#include "tools/ambidec/PluginSession.h"
#include "tools/ambidec/ToolError.h"

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
        text += (i ? ", " : ": ") + std::to_string(i + 1) + " " + quoted(labels[i]);
    return text;
}

// Text padded with blanks to width characters (UTF-8: the degree sign is two bytes).
std::string padded(std::string text, std::size_t width) {
    std::size_t characters = 0;
    for (unsigned char c : text)
        if ((c & 0xC0) != 0x80) ++characters;
    if (characters < width) text.append(width - characters, ' ');
    return text;
}

// The LV2 port symbol of output `output` of the product the bundle is, empty when unknown.
std::string portSymbol(const std::string& bundleName, int output) {
    for (const ProductDescription* product : {&kRegularDecoderProduct, &kIrregularDecoderProduct})
        if (bundleName == product->name && output < product->numOutputs)
            return product->outputs[output].symbol;
    return "";
}

// The speakers of the program's layout: direction, output, the names hosts show for it.
void reportProgramSpeakers(PluginSession& plugin, const std::string& which, std::ostream& report) {
    const int program = plugin.selectProgram(which);
    auto& instance = plugin.instance();
    report << plugin.name() << ", program " << program << " " << quoted(instance.programName())
           << "\n";
    if (plugin.decoderList().empty())
        throw ToolError(plugin.name() + ": exports no DecList, so its speaker layout is unknown");
    const int decoder = plugin.activeDecoder();
    const auto layout = speakerLayoutOf(decoder);
    if (!layout)
        throw ToolError(plugin.name() + ": no speaker layout known for decoder " +
                        std::to_string(decoder));
    const auto speakers = speakersOf(decoder);
    const auto labels = plugin.outputLabels();
    report << "  decoder     " << quoted(trimmedText(instance.parameterDisplay(kLayout))) << ", "
           << layout->description << "\n";
    report << "speakers (" << speakers.size() << ")\n";
    char line[256];
    std::snprintf(line, sizeof line, "  %-7s  %-22s  %-6s  %-18s  %-8s  %s\n", "speaker",
                  "direction", "output", "VST pin", "LV2 port", "position");
    report << line;
    std::vector<bool> used(labels.size(), false);
    for (std::size_t s = 0; s < speakers.size(); ++s) {
        const OutputSpeaker& speaker = speakers[s];
        const int output = speaker.output;
        if (output < static_cast<int>(used.size())) used[static_cast<std::size_t>(output)] = true;
        const std::string symbol = portSymbol(plugin.name(), output);
        std::snprintf(line, sizeof line, "  %-7zu  %s  %-6d  %-18s  %-8s  %s\n", s + 1,
                      padded(directionWords(speaker.direction), 22).c_str(), output + 1,
                      output < static_cast<int>(labels.size()) ? labels[output].c_str() : "",
                      symbol.empty() ? "-" : symbol.c_str(),
                      speaker.position ? positionName(*speaker.position) : "none");
        report << line;
    }
    std::string unused;
    for (std::size_t o = 0; o < used.size(); ++o)
        if (!used[o]) unused += (unused.empty() ? "" : ", ") + std::to_string(o + 1);
    if (!unused.empty())
        report << "  silent outputs: " << unused
               << " (not written by render unless --all-outputs)\n";
}

} // namespace

void infoCommand(const std::string& bundle, const std::optional<std::string>& program,
                 std::ostream& report) {
    PluginSession plugin(bundle);
    if (program) {
        reportProgramSpeakers(plugin, *program, report);
        return;
    }
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
    if (!plugin.decoderList().empty())
        report << "speakers of a program: ambidec info " << bundle << " --program N|NAME\n";
}

} // namespace kiv::ambidec
