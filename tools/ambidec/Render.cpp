// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/Render.h"

#include "host/VstOpcodes.h"
#include "product/LayoutDecoderProduct.h"
#include "tools/ambidec/AtomicOutput.h"
#include "tools/ambidec/BFormat.h"
#include "tools/ambidec/HeadphoneRender.h"
#include "tools/ambidec/LayoutOption.h"
#include "tools/ambidec/OutputChannels.h"
#include "tools/ambidec/PluginSession.h"
#include "tools/ambidec/ProgressBar.h"
#include "tools/ambidec/SettingsReport.h"
#include "tools/ambidec/SoundFile.h"
#include "tools/ambidec/ToolError.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
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

// What the plug-in's inputs get from the file, when it is not simply one for one.
std::string inputNote(const Command& command, int fileChannels, PluginSession& plugin) {
    const int inputs = plugin.inputs();
    if (fileChannels < inputs)
        return "input: " + command.input + " has no Z (" + counted(fileChannels, "channel") +
               "): Z is silent";
    if (inputs < 4)
        return "input: Z ignored (" + plugin.name() + " takes " + joined(plugin.inputLabels()) +
               ")";
    return "";
}

// Samples that are NaN or infinite: how many, and where the first one is.
struct NonFinite {
    long long count = 0;
    long long firstFrame = -1;
    int firstChannel = -1;

    void check(const float* samples, long long frames, int channels, long long frameOffset) {
        for (long long i = 0; i < frames * channels; ++i) {
            if (std::isfinite(samples[i])) continue;
            if (count++ == 0) {
                firstFrame = frameOffset + i / channels;
                firstChannel = static_cast<int>(i % channels);
            }
        }
    }
};

std::string fileChannelName(InputFormat format, int channel) {
    static const char* const kFuMa[] = {"W", "X", "Y", "Z"};
    static const char* const kAcn[] = {"ACN 0", "ACN 1", "ACN 2", "ACN 3"};
    if (channel < 0 || channel > 3) return std::to_string(channel + 1);
    return format == InputFormat::AmbiX ? kAcn[channel] : kFuMa[channel];
}

} // namespace

void renderCommand(const Command& command, std::ostream& report) {
    PluginSession plugin(command.bundle);
    if (command.headphones || isHeadphoneMonitor(plugin))
        return renderHeadphones(command, plugin, report);
    if (command.hrtf) throw ToolError("--hrtf needs --headphones", ToolError::kUsage);
    const int inputs = plugin.inputs();
    const int channelsRun = plugin.outputs();
    int outputs = channelsRun; // written to the file

    SoundFileReader reader(command.input);
    const int fileChannels = reader.channels();
    if (!acceptsFileChannels(command.inputFormat, fileChannels)) {
        if (command.inputFormat == InputFormat::AmbiX)
            throw ToolError(command.input + ": has " + counted(fileChannels, "channel") +
                            "; AmbiX input takes 4 (ACN 0 to 3)");
        throw ToolError(command.input + ": has " + counted(fileChannels, "channel") + "; " +
                        plugin.name() + " takes 3 or 4 (W, X, Y or W, X, Y, Z)");
    }
    const int format = outputFormatFor(command.output);

    if (command.program) plugin.selectProgram(*command.program);
    if (command.layout) loadLayout(plugin, *command.layout);
    const auto applied = plugin.applySettings(command.settings);
    if (plugin.name() == kLayoutDecoderProduct.name && !command.allOutputs)
        outputs = layoutOutputCount(plugin, layoutInForce(plugin, command.layout));

    // The layout's speakers only (a square decode is four channels), in the order and with
    // the positions the output format can state.
    std::vector<OutputSpeaker> speakers;
    std::string layoutName = plugin.name();
    if (!plugin.decoderList().empty()) {
        const int decoder = plugin.activeDecoder();
        speakers = speakersOf(decoder);
        if (const auto layout = speakerLayoutOf(decoder))
            layoutName = "the layout \"" + layout->description + "\"";
    }
    const FileChannels file =
        fileChannelsFor(speakers, outputs, command.allOutputs, format, command.output, layoutName);
    const int channels = static_cast<int>(file.outputs.size());

    checkOutputSize(command.output, format, channels, reader.frames());
    checkOutputPlace(command.output, format);
    AtomicOutput output(command.output, command.force);
    SoundFileWriter writer(output.fd(), command.output, format, channels, reader.sampleRate(),
                           file.sndfileMap);

    // The program in use now: a plug-in whose program follows its parameters (the B-format
    // converter) may have changed it with a setting.
    reportProgramAndSettings(report, plugin,
                             static_cast<int>(plugin.instance().dispatch(effGetProgram)), applied);
    const std::string note = inputNote(command, fileChannels, plugin);
    if (!note.empty()) report << note << "\n";
    report.flush();

    const int block = command.blockSize;
    plugin.start(static_cast<float>(reader.sampleRate()), block);

    std::vector<float> fileBlock(static_cast<std::size_t>(block) * fileChannels);
    std::vector<float> outBlock(static_cast<std::size_t>(block) * channels);
    std::vector<std::vector<float>> in(inputs, std::vector<float>(block));
    std::vector<std::vector<float>> out(channelsRun, std::vector<float>(block));
    std::vector<float*> inPointers, outPointers;
    for (auto& channel : in) inPointers.push_back(channel.data());
    for (auto& channel : out) outPointers.push_back(channel.data());
    std::vector<float> peak(channels, 0.0f);
    std::vector<long long> clipped(channels, 0);
    const bool clips = clipsAtFullScale(format);
    NonFinite badInput, badOutput;

    ProgressBar progress(reader.frames(), "rendering");
    const auto began = std::chrono::steady_clock::now();
    long long frames = 0;
    for (;;) {
        const sf_count_t got = reader.read(fileBlock.data(), block);
        if (got <= 0) break;
        badInput.check(fileBlock.data(), got, fileChannels, frames);
        splitToPluginInputs(fileBlock.data(), fileChannels, command.inputFormat, got,
                            inPointers.data(), inputs);
        plugin.instance().processReplacing(inPointers.data(), outPointers.data(),
                                           static_cast<VstInt32>(got));
        for (int c = 0; c < channels; ++c)
            for (sf_count_t i = 0; i < got; ++i) {
                const float sample = out[file.outputs[c]][i];
                outBlock[i * channels + c] = sample;
                const float size = std::fabs(sample);
                if (!std::isfinite(sample)) continue;
                peak[c] = std::max(peak[c], size);
                if (clips && size > 1.0f) ++clipped[c];
            }
        badOutput.check(outBlock.data(), got, channels, frames);
        writer.write(outBlock.data(), got);
        frames += got;
        progress.update(frames);
    }
    progress.finish();
    const double rate = reader.sampleRate();
    const std::string inputProblem =
        badInput.count == 0
            ? ""
            : counted(badInput.count, "input sample") + " not finite, the first at " +
                  formatted("%.6f s", static_cast<double>(badInput.firstFrame) / rate) +
                  " (frame " + std::to_string(badInput.firstFrame) + ", channel " +
                  fileChannelName(command.inputFormat, badInput.firstChannel) + ")";
    // Audio with NaN or infinity in it is misread by whatever reads it next: not kept.
    if (badOutput.count > 0)
        throw ToolError(command.output +
                        ": not written: " + counted(badOutput.count, "output sample") +
                        " not finite (NaN or "
                        "infinity)" +
                        (inputProblem.empty() ? "" : ", from " + inputProblem));
    writer.close();
    const int major = format & SF_FORMAT_TYPEMASK;
    if (major == SF_FORMAT_WAV || major == SF_FORMAT_RF64)
        writeWaveChannelMask(output.fd(), command.output, file.waveMask);
    output.commit();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

    const double duration = static_cast<double>(frames) / rate;
    report << "wrote " << command.output << ": " << counted(channels, "channel") << ", "
           << formatted("%.3f", duration) << " s (" << counted(frames, "frame") << " at "
           << reader.sampleRate() << " Hz), blocks of " << block << "\n";
    const std::string promised = reader.promisedButMissing();
    if (!promised.empty()) {
        const std::string line = command.input + ": the file ended early (" + promised +
                                 "); rendered the " + formatted("%.3f s", duration) + " there";
        report << "  " << line << "\n";
        std::cerr << "ambidec: warning: " << line << "\n";
    }
    if (!inputProblem.empty()) {
        report << "  " << inputProblem << "; every output sample is finite\n";
        std::cerr << "ambidec: warning: " << command.input << ": " << inputProblem << "\n";
    }
    const auto labels = plugin.outputLabels();
    report << "  channel positions: " << positionsText(file) << "\n";
    report << "  channel  output  label               position  peak"
           << (clips ? "                 clipped" : "") << "\n";
    long long totalClipped = 0;
    int clippedOutputs = 0;
    for (int c = 0; c < channels; ++c) {
        const std::string level =
            peak[c] > 0.0f ? formatted("%7.2f dBFS", 20.0 * std::log10(peak[c])) : "   silent";
        const auto& position = file.positions[static_cast<std::size_t>(c)];
        char line[200];
        std::snprintf(line, sizeof line, "  %-7d  %-6d  %-18s  %-8s  %s  (%.6f)", c + 1,
                      file.outputs[c] + 1, labels[file.outputs[c]].c_str(),
                      position ? positionName(*position) : "none", level.c_str(),
                      static_cast<double>(peak[c]));
        report << line;
        if (clips) report << "  " << clipped[c];
        report << "\n";
        totalClipped += clipped[c];
        clippedOutputs += clipped[c] > 0 ? 1 : 0;
    }
    if (totalClipped > 0)
        std::cerr << "ambidec: warning: " << command.output << ": "
                  << counted(totalClipped, "sample") << " clipped at 0 dBFS on "
                  << counted(clippedOutputs, "channel")
                  << " (integer format); write .wav, .w64 or .caf (32-bit float) to keep them\n";
    report << "time taken " << formatted("%.3f", seconds) << " s, "
           << (seconds > 0.0 ? formatted("%.1f", duration / seconds) : std::string("inf"))
           << " x real time\n";
}

} // namespace kiv::ambidec
