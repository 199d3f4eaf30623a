// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/Plot.h"

#include "host/VstOpcodes.h"
#include "tools/ambidec/AtomicOutput.h"
#include "tools/ambidec/DecoderAnalysis.h"
#include "tools/ambidec/DecoderPlot.h"
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

} // namespace

void plotCommand(const Command& command, std::ostream& report) {
    PluginSession plugin(command.bundle);
    const int program = command.program
                            ? plugin.selectProgram(*command.program)
                            : static_cast<int>(plugin.instance().dispatch(effGetProgram));
    const auto applied = plugin.applySettings(command.settings);
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
    texts.subtitle.push_back(
        "Measured through the plug-in's processReplacing at 48 kHz: a sine plane wave from every "
        "azimuth in 1\u00B0 steps at ear height, amplitudes taken in the steady state after "
        "0.25 s.");
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
