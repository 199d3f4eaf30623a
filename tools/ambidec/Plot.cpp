// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/Plot.h"

#include "host/VstOpcodes.h"
#include "product/LayoutDecoderProduct.h"
#include "tools/ambidec/AtomicOutput.h"
#include "tools/ambidec/DecoderAnalysis.h"
#include "tools/ambidec/DecoderPlot.h"
#include "tools/ambidec/LayoutOption.h"
#include "tools/ambidec/ListeningSpot.h"
#include "tools/ambidec/ParameterValue.h"
#include "tools/ambidec/PluginSession.h"
#include "tools/ambidec/SettingsReport.h"
#include "tools/ambidec/ToolError.h"

#include <cstdio>

namespace kiv::ambidec {

namespace {

std::string settingsLine(PluginSession& plugin) {
    auto& instance = plugin.instance();
    std::string line;
    for (int index : {0, 1, 2, 6, 4, 5}) {
        line += (line.empty() ? "" : ",  ") + trimmedText(instance.parameterName(index)) + ": " +
                describeParameterValue(index, instance.getParameter(index));
    }
    return line;
}

constexpr char kMeasured[] =
    "Measured through the plug-in's processReplacing at 48 kHz: a sine plane wave from every "
    "azimuth in 1\u00B0 steps at ear height, amplitudes taken in the steady state after 0.25 s.";

// LayoutDecoder: the rig's own speakers, the figures at the listening spot.
void plotRig(PluginSession& plugin, const Command& command, int program,
             const std::vector<AppliedSetting>& applied, std::ostream& report) {
    const Layout layout = layoutInForce(plugin, command.layout);
    const SpeakerLayout speakers = speakerLayoutOfRig(layout);
    AtomicOutput output(command.output, command.force);
    DecoderAnalysis analysis = analyseDecoder(plugin, speakers, 1.0, MeasurementSettings{});
    arriveAtListeningSpot(analysis, speakerDistancesOfRig(layout));

    auto& instance = plugin.instance();
    PlotTexts texts;
    texts.title = plugin.name() + "  \u00B7  layout \u201C" + layout.name + "\u201D";
    std::string settings;
    for (int index : {kLdLowFPattern, kLdHighFPattern, kLdCutOff, kLdSpatialEQ, kLdCompensation,
                      kLdSubwoofer}) {
        const std::string label = trimmedText(instance.parameterLabel(index));
        settings += ",  " + trimmedText(instance.parameterName(index)) + ": " +
                    trimmedText(instance.parameterDisplay(index)) +
                    (label == "ratio" || label == "On/Off" || label == "Yes/No" ? "" : " " + label);
    }
    texts.subtitle.push_back(speakers.description + "  \u00B7  " + settings.substr(3));
    texts.subtitle.push_back(kMeasured);
    texts.subtitle.push_back("Each speaker's feed then travels its distance to the listening "
                             "spot (delay and 1/r; compensation on cancels both).");
    texts.speakerLabels = plugin.outputLabels();
    texts.footer = "ambidec plot " + command.bundle + "  \u00B7  " + instance.productString() +
                   " (" + instance.vendorString() + ")";
    writeDecoderPlot(output.fd(), command.output, analysis, texts);
    output.commit();

    reportProgramAndSettings(report, plugin, program, applied);
    report << "wrote " << command.output << ": layout \"" << layout.name << "\", "
           << describeSeries("rV at 100 Hz", summarise(analysis.velocity), false) << ", "
           << describeSeries("rE at 5 kHz", summarise(analysis.energy), false) << "\n";
}

} // namespace

void plotCommand(const Command& command, std::ostream& report) {
    PluginSession plugin(command.bundle);
    const int program = command.program
                            ? plugin.selectProgram(*command.program)
                            : static_cast<int>(plugin.instance().dispatch(effGetProgram));
    if (command.layout) loadLayout(plugin, *command.layout);
    const auto applied = plugin.applySettings(command.settings);
    if (plugin.name() == kLayoutDecoderProduct.name) {
        plotRig(plugin, command, program, applied, report);
        return;
    }
    if (plugin.decoderList().empty())
        throw ToolError(plugin.name() + ": exports no DecList, so its speaker layout is unknown");
    const int decoder = plugin.activeDecoder();
    const auto layout = speakerLayoutOf(decoder);
    if (!layout)
        throw ToolError(plugin.name() + ": no speaker layout known for decoder " +
                        std::to_string(decoder));

    AtomicOutput output(command.output, command.force);
    const MeasurementSettings settings;
    const DecoderAnalysis analysis = analyseDecoder(plugin, *layout, 1.0, settings);

    auto& instance = plugin.instance();
    const std::string decoderName = instance.parameterDisplay(3);
    PlotTexts texts;
    texts.title = plugin.name() + "  \u00B7  program " + std::to_string(program) + " \u201C" +
                  instance.programName() + "\u201D";
    texts.subtitle.push_back("Decoder \u201C" + decoderName + "\u201D (" + layout->description +
                             ")  \u00B7  " + settingsLine(plugin));
    texts.subtitle.push_back(kMeasured);
    texts.speakerLabels = plugin.outputLabels();
    texts.footer = "ambidec plot " + command.bundle + "  \u00B7  " + instance.productString() +
                   " (" + instance.vendorString() + ")";
    writeDecoderPlot(output.fd(), command.output, analysis, texts);
    output.commit();

    reportProgramAndSettings(report, plugin, program, applied);
    const SeriesSummary v = summarise(analysis.velocity);
    const SeriesSummary e = summarise(analysis.energy);
    report << "wrote " << command.output << ": decoder \"" << decoderName << "\", "
           << describeSeries("rV at 100 Hz", v, false) << ", "
           << describeSeries("rE at 5 kHz", e, false) << "\n";
}

} // namespace kiv::ambidec
