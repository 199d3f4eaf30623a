#include "tools/ambidec/Render.h"

#include "host/VstOpcodes.h"
#include "tools/ambidec/AtomicOutput.h"
#include "tools/ambidec/BFormat.h"
#include "tools/ambidec/PluginSession.h"
#include "tools/ambidec/ProgressBar.h"
#include "tools/ambidec/SettingsReport.h"
#include "tools/ambidec/SoundFile.h"
#include "tools/ambidec/ToolError.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kiv::ambidec {

namespace {

std::string joined(const std::vector<std::string>& labels) {
    std::string text;
    for (std::size_t i = 0; i < labels.size(); ++i) text += (i ? ", " : "") + labels[i];
    return text;
}

std::string formatted(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

void renderCommand(const Command& command, std::ostream& report) {
    PluginSession plugin(command.bundle);
    const int inputs = plugin.inputs();
    const int outputs = plugin.outputs();

    SoundFileReader reader(command.input);
    const int fileChannels = fileChannelsFor(command.inputFormat, inputs);
    if (reader.channels() != fileChannels) {
        if (command.inputFormat == InputFormat::AmbiX)
            throw ToolError(command.input + ": has " + std::to_string(reader.channels()) +
                            " channels; AmbiX input takes 4 (ACN 0 to 3)");
        throw ToolError(command.input + ": has " + std::to_string(reader.channels()) +
                        " channels; " + plugin.name() + " takes " + std::to_string(inputs) + " (" +
                        joined(plugin.inputLabels()) + ")");
    }
    const int format = outputFormatFor(command.output);

    if (command.program) plugin.selectProgram(*command.program);
    const auto applied = plugin.applySettings(command.settings);

    AtomicOutput output(command.output, command.force);
    SoundFileWriter writer(output.fd(), command.output, format, outputs, reader.sampleRate());

    // The program in use now: a plug-in whose program follows its parameters (the B-format
    // converter) may have changed it with a setting.
    reportProgramAndSettings(report, plugin,
                             static_cast<int>(plugin.instance().dispatch(effGetProgram)), applied);
    report.flush();

    const int block = command.blockSize;
    plugin.start(static_cast<float>(reader.sampleRate()), block);

    std::vector<float> fileBlock(static_cast<std::size_t>(block) * fileChannels);
    std::vector<float> outBlock(static_cast<std::size_t>(block) * outputs);
    std::vector<std::vector<float>> in(inputs, std::vector<float>(block));
    std::vector<std::vector<float>> out(outputs, std::vector<float>(block));
    std::vector<float*> inPointers, outPointers;
    for (auto& channel : in) inPointers.push_back(channel.data());
    for (auto& channel : out) outPointers.push_back(channel.data());
    std::vector<float> peak(outputs, 0.0f);

    ProgressBar progress(reader.frames(), "rendering");
    const auto began = std::chrono::steady_clock::now();
    long long frames = 0;
    for (;;) {
        const sf_count_t got = reader.read(fileBlock.data(), block);
        if (got <= 0) break;
        splitToPluginInputs(fileBlock.data(), fileChannels, command.inputFormat, got,
                            inPointers.data(), inputs);
        plugin.instance().processReplacing(inPointers.data(), outPointers.data(),
                                           static_cast<VstInt32>(got));
        for (int c = 0; c < outputs; ++c)
            for (sf_count_t i = 0; i < got; ++i) {
                const float sample = out[c][i];
                outBlock[i * outputs + c] = sample;
                peak[c] = std::max(peak[c], std::fabs(sample));
            }
        writer.write(outBlock.data(), got);
        frames += got;
        progress.update(frames);
    }
    progress.finish();
    writer.close();
    output.commit();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

    const double duration = static_cast<double>(frames) / reader.sampleRate();
    report << "wrote " << command.output << ": " << outputs << " channels, "
           << formatted("%.3f", duration) << " s (" << frames << " frames at "
           << reader.sampleRate() << " Hz), blocks of " << block << "\n";
    const auto labels = plugin.outputLabels();
    report << "  output  label               peak\n";
    for (int c = 0; c < outputs; ++c) {
        const std::string level =
            peak[c] > 0.0f ? formatted("%7.2f dBFS", 20.0 * std::log10(peak[c])) : "   silent";
        char line[160];
        std::snprintf(line, sizeof line, "  %-6d  %-18s  %s  (%.6f)\n", c, labels[c].c_str(),
                      level.c_str(), static_cast<double>(peak[c]));
        report << line;
    }
    report << "time taken " << formatted("%.3f", seconds) << " s, "
           << (seconds > 0.0 ? formatted("%.1f", duration / seconds) : std::string("inf"))
           << " x real time\n";
}

} // namespace kiv::ambidec
