// SPDX-License-Identifier: GPL-3.0-or-later
// Multichannel audio for the checks: test signals, rendering a signal through an instance
// block by block (optionally with the outputs written over the inputs), and exact
// comparison of results.
//
// Threads: an Audio object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tools/vsthost/VstHost.h"

namespace kiv::validation {

class Audio {
public:
    Audio(int channels, int frames) : data_(channels, std::vector<float>(frames, 0.0f)) {}
    int channels() const { return static_cast<int>(data_.size()); }
    int frames() const { return data_.empty() ? 0 : static_cast<int>(data_[0].size()); }
    std::vector<float>& operator[](int channel) { return data_[channel]; }
    const std::vector<float>& operator[](int channel) const { return data_[channel]; }
    // One pointer per channel, each offset by frame.
    std::vector<float*> pointers(int frame = 0);

private:
    std::vector<std::vector<float>> data_;
};

// Uniform noise in [-level, level), the same for the same seed.
Audio noise(int channels, int frames, std::uint32_t seed, float level = 1.0f);
// A sine of frequencyHz at sampleRate on every channel, channel j scaled by 1 / (j + 1).
Audio sine(int channels, int frames, float frequencyHz, float sampleRate, float level = 0.5f);

// Renders input through the instance in blocks of blockLength frames (the last may be
// shorter); with inPlace the output channels are the input channels' own buffers where
// both exist. The output has the record's numOutputs channels.
Audio render(vsthost::PluginInstance& instance, const Audio& input, int blockLength,
             bool inPlace = false);
// The same through any process call of inputs channels in and outputs channels out.
using ProcessBlock = std::function<void(float** inputs, float** outputs, int frames)>;
Audio render(int inputs, int outputs, const ProcessBlock& process, const Audio& input,
             int blockLength, bool inPlace = false);

// Empty when a and b are bit-identical; otherwise where and how they first differ.
std::string firstDifference(const Audio& a, const Audio& b);
// Empty when every sample is finite; otherwise the first that is not.
std::string firstNonFinite(const Audio& audio, int fromFrame = 0);
float peak(const Audio& audio, int fromFrame = 0);

} // namespace kiv::validation
