// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/HeadphoneRender.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sys/stat.h>
#include <vector>

#include "host/VstOpcodes.h"
#include "hrtf/HrtfSet.h"
#include "product/HeadphoneMonitorProduct.h"
#include "product/LayoutDecoderProduct.h"
#include "rig/FactoryLayouts.h"
#include "tools/ambidec/AtomicOutput.h"
#include "tools/ambidec/BFormat.h"
#include "tools/ambidec/LayoutOption.h"
#include "tools/ambidec/OutputChannels.h"
#include "tools/ambidec/ProgressBar.h"
#include "tools/ambidec/SettingsReport.h"
#include "tools/ambidec/SoundFile.h"
#include "tools/ambidec/ToolError.h"

namespace kiv::ambidec {

namespace {

constexpr int kFeeds = 32;

// A load request the monitor answers 1 to, or a usage error with its line.
void request(PluginSession& monitor, VstInt32 kind, const std::string& what) {
    std::string text = what;
    if (monitor.instance().dispatch(effVendorSpecific, kind, 0, text.data()) == 1) return;
    char line[kKivLayoutMessageBytes] = {};
    monitor.instance().dispatch(effVendorSpecific, kKivLayoutMessage, 0, line);
    throw ToolError(line[0] ? line : what + ": refused by " + monitor.name(), ToolError::kUsage);
}

// The monitor's bundle beside the decoder's (both .vst directories in one folder).
std::string monitorBeside(const PluginSession& decoder) {
    std::string bundle = decoder.soPath();
    for (int up = 0; up < 4; ++up) bundle = bundle.substr(0, bundle.find_last_of('/'));
    const std::string path = bundle + "/" + kHeadphoneMonitorName + ".vst";
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw ToolError("--headphones: no " + std::string(kHeadphoneMonitorName) + ".vst beside " +
                        decoder.bundle());
    return path;
}

// The monitor plays the layout the decoder decodes to.
void followDecoder(const Command& command, PluginSession& decoder, PluginSession& monitor) {
    if (!decoder.decoderList().empty()) {
        const int choice = hmLayoutChoiceOfShape(decoder.activeDecoder());
        if (choice < 0) throw ToolError("--headphones: the monitor has no layout for this decoder");
        monitor.instance().setParameter(kHmLayout, hmNormalisedOfLayoutChoice(choice));
    } else if (decoder.name() == kLayoutDecoderProduct.name) {
        if (command.layout) {
            request(monitor, kKivLoadLayout, *command.layout);
        } else {
            const int choice = layoutChoiceOf(decoder.instance().getParameter(kLdLayout));
            request(monitor, kKivLoadLayout, factoryLayouts()[choice].name);
        }
    } else {
        throw ToolError("--headphones takes a decoder bundle, not " + decoder.name(),
                        ToolError::kUsage);
    }
}

// Feeds with a speaker: the monitor's input pins up to the last that is not "Unused".
int feedCount(PluginSession& monitor) {
    const std::vector<std::string> labels = monitor.inputLabels();
    int count = 0;
    for (int i = 0; i < static_cast<int>(labels.size()); ++i)
        if (labels[i].find("Unused") == std::string::npos) count = i + 1;
    return count;
}

std::string fixed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

bool isHeadphoneMonitor(PluginSession& plugin) {
    return plugin.name() == kHeadphoneMonitorName;
}

void renderHeadphones(const Command& command, PluginSession& first, std::ostream& report) {
    const bool direct = isHeadphoneMonitor(first);
    if (direct && command.headphones)
        throw ToolError("--headphones takes a decoder bundle; " + first.name() +
                            " renders a file of speaker feeds itself",
                        ToolError::kUsage);
    std::unique_ptr<PluginSession> ownMonitor;
    PluginSession* decoder = direct ? nullptr : &first;
    if (!direct) ownMonitor = std::make_unique<PluginSession>(monitorBeside(first));
    PluginSession& monitor = direct ? first : *ownMonitor;

    if (command.program) first.selectProgram(*command.program);
    if (decoder && command.layout) loadLayout(*decoder, *command.layout);
    if (direct && command.layout) request(monitor, kKivLoadLayout, *command.layout);
    const auto applied = first.applySettings(command.settings);
    if (decoder) followDecoder(command, *decoder, monitor);
    if (command.hrtf) request(monitor, kKivLoadHrtf, *command.hrtf);

    SoundFileReader reader(command.input);
    const int fileChannels = reader.channels();
    const int feeds = feedCount(monitor);
    if (decoder && !acceptsFileChannels(command.inputFormat, fileChannels))
        throw ToolError(command.input + ": has " + counted(fileChannels, "channel") +
                        "; a B-format file has 3 or 4");
    if (direct && fileChannels != feeds && fileChannels != kFeeds)
        throw ToolError(command.input + ": has " + counted(fileChannels, "channel") +
                        "; the layout has " + counted(feeds, "speaker") + " (or give 32)");

    const int format = outputFormatFor(command.output);
    const std::vector<OutputSpeaker> ears = {{0, {30.0, 0.0}, ChannelPosition::FrontLeft},
                                             {1, {-30.0, 0.0}, ChannelPosition::FrontRight}};
    const FileChannels file =
        fileChannelsFor(ears, 2, false, format, command.output, "the headphones");
    checkOutputSize(command.output, format, 2, reader.frames());
    checkOutputPlace(command.output, format);
    AtomicOutput output(command.output, command.force);
    SoundFileWriter writer(output.fd(), command.output, format, 2, reader.sampleRate(),
                           file.sndfileMap);

    const int block = command.blockSize;
    const float rate = static_cast<float>(reader.sampleRate());
    if (decoder) decoder->start(rate, block);
    monitor.start(rate, block);
    const long long latency = monitor.instance().effect()->initialDelay;

    // Decoder outputs (or the file's feeds) are the monitor's inputs; the rest are silent.
    const int decoderInputs = decoder ? decoder->inputs() : 0;
    const int decoderOutputs = decoder ? decoder->outputs() : 0;
    std::vector<float> fileBlock(static_cast<std::size_t>(block) * fileChannels);
    std::vector<std::vector<float>> in(std::max(decoderInputs, 1), std::vector<float>(block));
    std::vector<std::vector<float>> feedsIn(std::max(kFeeds, decoderOutputs),
                                            std::vector<float>(block));
    std::vector<float> left(block), right(block), outBlock(2 * static_cast<std::size_t>(block));
    std::vector<float*> inPointers, feedPointers;
    for (auto& c : in) inPointers.push_back(c.data());
    for (auto& c : feedsIn) feedPointers.push_back(c.data());
    float* earPointers[2] = {left.data(), right.data()};

    ProgressBar progress(reader.frames(), "rendering");
    long long read = 0, produced = 0, written = 0, bad = 0;
    float peak[2] = {0.0f, 0.0f};
    bool ended = false;
    while (!ended || written < read) {
        sf_count_t got = 0;
        if (!ended) {
            got = reader.read(fileBlock.data(), block);
            if (got <= 0) ended = true;
        }
        // After the file, silence until the monitor's latency has come out too.
        const int n = got > 0 ? static_cast<int>(got)
                              : static_cast<int>(std::min<long long>(block, read - written));
        if (got <= 0) std::fill(fileBlock.begin(), fileBlock.end(), 0.0f);
        if (n <= 0) break;
        if (decoder) {
            splitToPluginInputs(fileBlock.data(), fileChannels, command.inputFormat, n,
                                inPointers.data(), decoderInputs);
            for (auto& c : feedsIn) std::fill(c.begin(), c.end(), 0.0f);
            decoder->instance().processReplacing(inPointers.data(), feedPointers.data(), n);
        } else {
            for (int c = 0; c < kFeeds; ++c)
                for (int i = 0; i < n; ++i)
                    feedsIn[c][i] = c < fileChannels ? fileBlock[i * fileChannels + c] : 0.0f;
        }
        monitor.instance().processReplacing(feedPointers.data(), earPointers, n);
        read += got > 0 ? got : 0;
        // The first `latency` frames are the monitor's delay: dropped.
        const long long skip = std::clamp<long long>(latency - produced, 0, n);
        produced += n;
        const long long keep = std::min<long long>(n - skip, read - written);
        for (long long i = 0; i < keep; ++i)
            for (int c = 0; c < 2; ++c) {
                const float sample = earPointers[c][skip + i];
                outBlock[i * 2 + c] = sample;
                if (!std::isfinite(sample))
                    ++bad;
                else
                    peak[c] = std::max(peak[c], std::fabs(sample));
            }
        if (keep > 0) writer.write(outBlock.data(), keep);
        written += std::max(keep, 0LL);
        progress.update(std::min(read, written + latency));
    }
    progress.finish();
    if (bad > 0)
        throw ToolError(command.output + ": not written: " + counted(bad, "output sample") +
                        " not finite (NaN or infinity)");
    writer.close();
    const int major = format & SF_FORMAT_TYPEMASK;
    if (major == SF_FORMAT_WAV || major == SF_FORMAT_RF64)
        writeWaveChannelMask(output.fd(), command.output, file.waveMask);
    output.commit();

    report << "wrote " << command.output << ": 2 channels (left and right ear), "
           << fixed("%.3f", static_cast<double>(written) / reader.sampleRate()) << " s ("
           << counted(written, "frame") << " at " << reader.sampleRate() << " Hz), blocks of "
           << block << "\n";
    report << "  " << (decoder ? decoder->name() + " into " : std::string()) << monitor.name()
           << ", layout " << monitor.instance().parameterDisplay(kHmLayout) << ", set "
           << (command.hrtf ? *command.hrtf : HrtfSet::defaultPath()) << "; its latency of "
           << counted(latency, "frame") << " taken out\n";
    reportSettings(report, applied);
    for (int c = 0; c < 2; ++c)
        report << "  " << (c ? "right" : "left ") << "  "
               << (peak[c] > 0.0f ? fixed("%7.2f dBFS", 20.0 * std::log10(peak[c]))
                                  : std::string("   silent"))
               << "\n";
}

} // namespace kiv::ambidec
