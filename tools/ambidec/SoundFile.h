// Audio files through libsndfile: a reader for any format libsndfile knows, and a writer
// whose format follows the output's extension (32-bit float WAV when there is none).
// Samples are interleaved 32-bit floats, frame after frame.
#pragma once

#include <sndfile.h>

#include <string>

namespace kiv::ambidec {

class SoundFileReader {
public:
    // Throws ToolError "<path>: cannot be read: <why>".
    explicit SoundFileReader(const std::string& path);
    ~SoundFileReader();
    SoundFileReader(const SoundFileReader&) = delete;
    SoundFileReader& operator=(const SoundFileReader&) = delete;

    int channels() const { return info_.channels; }
    int sampleRate() const { return info_.samplerate; }
    sf_count_t frames() const { return info_.frames; }
    // Reads up to frames frames; answers how many were read (0 at the end). Throws on error.
    sf_count_t read(float* interleaved, sf_count_t frames);

private:
    std::string path_;
    SF_INFO info_{};
    SNDFILE* file_ = nullptr;
};

// The libsndfile format for an output path: .wav (or no extension) 32-bit float WAV,
// .w64, .rf64, .aif/.aiff, .caf 32-bit float, .flac 24-bit FLAC, .ogg/.oga Vorbis.
// Throws ToolError for any other extension.
int outputFormatFor(const std::string& path);

class SoundFileWriter {
public:
    // Writes into the open descriptor fd (which stays open); path is for messages.
    SoundFileWriter(int fd, const std::string& path, int format, int channels, int sampleRate);
    ~SoundFileWriter();
    SoundFileWriter(const SoundFileWriter&) = delete;
    SoundFileWriter& operator=(const SoundFileWriter&) = delete;

    void write(const float* interleaved, sf_count_t frames);
    // Finishes the headers. Throws ToolError.
    void close();

private:
    std::string path_;
    SNDFILE* file_ = nullptr;
};

} // namespace kiv::ambidec
