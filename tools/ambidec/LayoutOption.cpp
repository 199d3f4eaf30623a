// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/LayoutOption.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "host/VstOpcodes.h"
#include "product/LayoutDecoderProduct.h"
#include "rig/FactoryLayouts.h"
#include "rig/RigError.h"
#include "rig/UserLayouts.h"
#include "tools/ambidec/ToolError.h"

namespace kiv::ambidec {

namespace {

Layout layoutOf(const std::string& layout) {
    try {
        return findLayout(layout);
    } catch (const RigError& e) {
        throw ToolError(e.what(), ToolError::kUsage);
    }
}

std::string fixed(const char* format, double v) {
    char text[64];
    std::snprintf(text, sizeof text, format, v);
    return text;
}

} // namespace

void loadLayout(PluginSession& plugin, const std::string& layout) {
    if (plugin.name() != kLayoutDecoderProduct.name)
        throw ToolError("--layout takes the LayoutDecoder bundle, not " + plugin.name(),
                        ToolError::kUsage);
    std::string what = layout;
    if (plugin.instance().dispatch(effVendorSpecific, kKivLoadLayout, 0, what.data()) == 1) return;
    char line[kKivLayoutMessageBytes] = {};
    plugin.instance().dispatch(effVendorSpecific, kKivLayoutMessage, 0, line);
    throw ToolError(line[0] ? line : layout + ": the layout was refused", ToolError::kUsage);
}

Layout layoutInForce(PluginSession& plugin, const std::optional<std::string>& layout) {
    if (layout) return layoutOf(*layout);
    const std::vector<Layout>& factory = factoryLayouts();
    const int choice = layoutChoiceOf(plugin.instance().getParameter(kLdLayout));
    // The layout in state without a file is the first factory layout, as in the plug-in.
    return factory[choice >= 0 && choice < static_cast<int>(factory.size()) ? choice : 0];
}

int layoutOutputCount(PluginSession& plugin, const Layout& layout) {
    const bool subwoofer = ldSwitchOn(plugin.instance().getParameter(kLdSubwoofer));
    const std::vector<std::string> labels = ldOutputLabels(layout, subwoofer);
    int count = 0;
    for (int i = 0; i < static_cast<int>(labels.size()); ++i)
        if (labels[i] != "Unused") count = i + 1;
    return count;
}

SpeakerLayout speakerLayoutOfRig(const Layout& layout) {
    SpeakerLayout out;
    out.withHeight = false;
    for (const Speaker* s : layout.realSpeakers()) {
        out.speakers.push_back({s->azimuthDegrees, s->elevationDegrees});
        if (std::fabs(s->elevationDegrees) > 1.0) out.withHeight = true;
    }
    out.description = layout.name + ", " + std::to_string(out.speakers.size()) + " speakers";
    return out;
}

std::vector<double> speakerDistancesOfRig(const Layout& layout) {
    std::vector<double> distances;
    for (const Speaker* s : layout.realSpeakers()) distances.push_back(s->distanceMetres);
    return distances;
}

void printLayout(const std::string& name, double rateHz, std::ostream& out) {
    const Layout layout = layoutOf(name);
    RigPlan rig;
    try {
        rig = planForLayout(layout, name);
    } catch (const RigError& e) {
        throw ToolError(e.what(), ToolError::kUsage);
    }
    const DecoderPlan& plan = rig.plan;
    out << "layout: " << layout.name
        << (layout.description.empty() ? "" : " (" + layout.description + ")") << "\n  decoder: "
        << (rig.asWritten ? "the file's own, as written" : "designed from the positions")
        << (plan.twoBand ? ", two bands split at " + fixed("%.0f Hz", plan.crossoverHz)
                         : ", one band")
        << "\n";
    if (!rig.notice.empty()) out << "  " << rig.notice << "\n";
    if (!rig.uncovered.empty()) out << "  " << rig.uncovered << "\n";
    double farthest = 0.0;
    for (int s = 0; s < plan.numSpeakers; ++s)
        farthest = std::max(farthest, plan.distanceMetres[s]);
    const std::vector<const Speaker*> real = layout.realSpeakers();
    out << "  speakers (compensation at " << fixed("%.0f Hz", rateHz)
        << (layout.distancesDiffer() ? "" : "; distances equal, none needed") << "):\n"
        << "  output  name        azimuth  elevation  distance  delay ms  level dB\n";
    for (const Speaker* s : real) {
        const int o = s->outputChannel - 1;
        const double d = plan.distanceMetres[o];
        const double frames = std::round((farthest - d) / 343.0 * rateHz);
        char line[160];
        std::snprintf(line, sizeof line, "  %-6d  %-10s  %7.1f  %9.1f  %8.2f  %8.3f  %8.2f\n",
                      s->outputChannel, s->name.c_str(), s->azimuthDegrees, s->elevationDegrees, d,
                      1000.0 * frames / rateHz, 20.0 * std::log10(d / farthest));
        out << line;
    }
    const auto matrix = [&](const char* title, const double(*m)[4]) {
        out << "  " << title << " matrix (FuMa W, X, Y, Z to each output):\n";
        for (int s = 0; s < plan.numSpeakers; ++s) {
            char line[160];
            std::snprintf(line, sizeof line, "  %-6d  %9.5f  %9.5f  %9.5f  %9.5f\n", s + 1, m[s][0],
                          m[s][1], m[s][2], m[s][3]);
            out << line;
        }
    };
    matrix(plan.twoBand ? "LF" : "single-band", plan.lf);
    if (plan.twoBand) matrix("HF", plan.hf);
}

} // namespace kiv::ambidec
