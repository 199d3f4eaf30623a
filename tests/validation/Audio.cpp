// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/validation/Audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>

namespace kiv::validation {

std::vector<float*> Audio::pointers(int frame) {
    std::vector<float*> p;
    for (auto& channel : data_) p.push_back(channel.data() + frame);
    return p;
}

Audio noise(int channels, int frames, std::uint32_t seed, float level) {
    Audio audio(channels, frames);
    std::uint32_t state = seed * 2654435761u + 1u;
    for (int j = 0; j < channels; ++j)
        for (float& x : audio[j]) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            x = level * (static_cast<float>(state) * 4.656613e-10f - 1.0f);
        }
    return audio;
}

Audio sine(int channels, int frames, float frequencyHz, float sampleRate, float level) {
    Audio audio(channels, frames);
    const double step = 2.0 * M_PI * frequencyHz / sampleRate;
    for (int j = 0; j < channels; ++j)
        for (int i = 0; i < frames; ++i)
            audio[j][i] = static_cast<float>(level / (j + 1) * std::sin(step * i));
    return audio;
}

Audio render(vsthost::PluginInstance& instance, const Audio& input, int blockLength, bool inPlace) {
    const AEffect* effect = instance.effect();
    return render(
        effect->numInputs, effect->numOutputs,
        [&](float** in, float** out, int n) { instance.processReplacing(in, out, n); }, input,
        blockLength, inPlace);
}

Audio render(int ins, int outs, const ProcessBlock& process, const Audio& input, int blockLength,
             bool inPlace) {
    const int frames = input.frames();
    Audio work(std::max(ins, outs), frames);
    for (int j = 0; j < ins && j < input.channels(); ++j) work[j] = input[j];
    Audio separate(outs, inPlace ? 0 : frames);
    for (int done = 0; done < frames; done += blockLength) {
        const int n = std::min(blockLength, frames - done);
        std::vector<float*> in = work.pointers(done);
        std::vector<float*> out = inPlace ? work.pointers(done) : separate.pointers(done);
        process(in.data(), out.data(), n);
    }
    if (!inPlace) return separate;
    Audio result(outs, frames);
    for (int s = 0; s < outs; ++s) result[s] = work[s];
    return result;
}

std::string firstDifference(const Audio& a, const Audio& b) {
    if (a.channels() != b.channels() || a.frames() != b.frames()) return "different shapes";
    for (int j = 0; j < a.channels(); ++j)
        for (int i = 0; i < a.frames(); ++i)
            if (std::memcmp(&a[j][i], &b[j][i], sizeof(float)) != 0) {
                std::ostringstream os;
                os.precision(9);
                os << "channel " << j << ", frame " << i << ": " << a[j][i] << " against "
                   << b[j][i];
                return os.str();
            }
    return {};
}

std::string firstNonFinite(const Audio& audio, int fromFrame) {
    for (int j = 0; j < audio.channels(); ++j)
        for (int i = fromFrame; i < audio.frames(); ++i)
            if (!std::isfinite(audio[j][i])) {
                std::ostringstream os;
                os << "channel " << j << ", frame " << i << ": " << audio[j][i];
                return os.str();
            }
    return {};
}

float peak(const Audio& audio, int fromFrame) {
    float p = 0.0f;
    for (int j = 0; j < audio.channels(); ++j)
        for (int i = fromFrame; i < audio.frames(); ++i) p = std::max(p, std::fabs(audio[j][i]));
    return p;
}

} // namespace kiv::validation
