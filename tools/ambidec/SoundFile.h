// SPDX-License-Identifier: GPL-3.0-or-later
// Audio files through libsndfile: a reader for any format libsndfile knows, and a writer
// whose format follows the output's extension (32-bit float WAV when there is none).
// Samples are interleaved 32-bit floats, frame after frame.
#pragma once

#include <sndfile.h>

#include <cstdint>
#include <string>
#include <vector>

namespace kiv::ambidec {

// "1 channel", "2 channels".
std::string counted(long long count, const char* singular);

class SoundFileReader {
public:
    // Throws ToolError "<path>: cannot be read: <why>", the why in plain words. "-" is
    // standard input.
    explicit SoundFileReader(const std::string& path);
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    int channels() const { return info_.channels; }
    int sampleRate() const { return info_.samplerate; }
    sf_count_t frames() const { return info_.frames; }
    // Reads up to frames frames; answers how many were read (0 at the end). Throws on error,
    // saying how far the file was read.
    sf_count_t read(float* interleaved, sf_count_t frames);

    // When the header promises more audio than the file holds (a file cut short), what it
    // promises: "its header promises 8.000 s" (or a count of bytes); empty otherwise. After
    // the last read, frames read short of frames() count too.
    std::string promisedButMissing() const;

private:
    std::string path_;
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
    sf_count_t read_ = 0;
};

// The libsndfile format for an output path: .wav (or no extension) 32-bit float WAV,
// .w64, .rf64, .aif/.aiff, .caf 32-bit float, .flac 24-bit FLAC, .ogg/.oga Vorbis.
// Throws ToolError (a usage error) for any other extension.
int outputFormatFor(const std::string& path);

// True for formats that store integers, which clip at full scale.
bool clipsAtFullScale(int format);

// Refuses, before anything is written, an output that would pass its format's size limit:
// the message names the limit and the formats to use instead. frames < 0: not known.
void checkOutputSize(const std::string& path, int format, int channels, long long frames);

// Refuses, before the output is opened, a format that cannot be streamed into a FIFO when
// the output is one (opening a FIFO waits for its reader).
void checkOutputPlace(const std::string& path, int format);

class SoundFileWriter {
public:
    // Writes into the open descriptor fd (which stays open); path is for messages.
    // channelMap (SF_CHANNEL_MAP_*, one per channel, or empty) names the channels' positions
    // where the format takes them from libsndfile (CAF, AIFF). A WAV
    // file is written as RF64 that falls back to plain WAV while it stays below 4 GiB, so
    // readers see all of a long one. A FIFO takes only formats that can be streamed.
    SoundFileWriter(int fd, const std::string& path, int format, int channels, int sampleRate,
                    const std::vector<int>& channelMap = {});
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    // Throws ToolError, also when the file would pass its format's size limit.
    void write(const float* interleaved, sf_count_t frames);
    // Finishes the headers. Throws ToolError.
    void close();

private:
    std::string path_;
    int format_;
    int channels_;
    long long written_ = 0;
    SNDFILE* file_ = nullptr;
};

} // namespace kiv::ambidec
