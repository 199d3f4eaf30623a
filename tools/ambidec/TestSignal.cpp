// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/TestSignal.h"

#include "tools/ambidec/AtomicOutput.h"
#include "tools/ambidec/BFormat.h"
#include "tools/ambidec/OutputChannels.h"
#include "tools/ambidec/SoundFile.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace kiv::ambidec {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kFadeSeconds = 0.02;
} // namespace

TestSignal::TestSignal(const TestSignalSettings& settings)
    : settings_(settings), frames_(std::llround(settings.seconds * settings.sampleRateHz)),
      state_(settings.seed ? settings.seed : 1u) {}

double TestSignal::azimuthDegAt(long long frame) const {
    const double t = static_cast<double>(frame) / settings_.sampleRateHz;
    return std::fmod(360.0 * t / settings_.revolutionSeconds, 360.0);
}

double TestSignal::elevationDegAt(long long frame) const {
    if (settings_.channels < 4) return 0.0;
    const double t = static_cast<double>(frame) / settings_.sampleRateHz;
    return settings_.elevationDeg * std::sin(2.0 * kPi * t / settings_.revolutionSeconds);
}

float TestSignal::noise() {
    // xorshift32: the same file on every machine.
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<float>(static_cast<double>(state_) / 2147483647.5 - 1.0);
}

long TestSignal::render(float* interleaved, long frames) {
    const long n = static_cast<long>(std::min<long long>(frames, frames_ - position_));
    const double fadeFrames = kFadeSeconds * settings_.sampleRateHz;
    for (long i = 0; i < n; ++i) {
        const long long frame = position_ + i;
        const double edge = static_cast<double>(std::min(frame, frames_ - 1 - frame));
        const double fade = std::min(1.0, edge / fadeFrames);
        const double pressure = settings_.level * fade * noise();
        const BFormatGains g =
            encodePlaneWave(azimuthDegAt(frame) * kPi / 180.0, elevationDegAt(frame) * kPi / 180.0);
        float* out = interleaved + i * settings_.channels;
        out[0] = static_cast<float>(pressure * g.w);
        out[1] = static_cast<float>(pressure * g.x);
        out[2] = static_cast<float>(pressure * g.y);
        if (settings_.channels > 3) out[3] = static_cast<float>(pressure * g.z);
    }
    position_ += n;
    return n;
}

void testSignalCommand(const Command& command, std::ostream& report) {
    TestSignalSettings settings;
    settings.sampleRateHz = command.sampleRateHz;
    settings.seconds = command.seconds;
    settings.channels = command.channels;
    settings.elevationDeg = command.elevationDeg;
    TestSignal signal(settings);

    const int format = outputFormatFor(command.output);
    checkOutputSize(command.output, format, settings.channels, signal.frames());
    checkOutputPlace(command.output, format);
    AtomicOutput output(command.output, command.force);
    SoundFileWriter writer(output.fd(), command.output, format, settings.channels,
                           static_cast<int>(settings.sampleRateHz));
    std::vector<float> block(4096 * static_cast<std::size_t>(settings.channels));
    while (const long n = signal.render(block.data(), 4096)) writer.write(block.data(), n);
    writer.close();
    // B-format has no speaker positions: channel mask 0, not the quad libsndfile assumes.
    const int major = format & SF_FORMAT_TYPEMASK;
    if (major == SF_FORMAT_WAV || major == SF_FORMAT_RF64)
        writeWaveChannelMask(output.fd(), command.output, 0);
    output.commit();

    char line[256];
    std::snprintf(line, sizeof line,
                  "wrote %s: %d-channel B-format (%s), %.2f s at %.0f Hz, noise circling once "
                  "every %.0f s%s\n",
                  command.output.c_str(), settings.channels,
                  settings.channels == 3 ? "W X Y" : "W X Y Z", settings.seconds,
                  settings.sampleRateHz, settings.revolutionSeconds,
                  settings.elevationDeg > 0.0 ? ", rising and falling in elevation" : "");
    report << line;
}

} // namespace kiv::ambidec
