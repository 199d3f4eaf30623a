#include "tools/ambidec/SoundFile.h"

#include "tools/ambidec/ParameterValue.h"
#include "tools/ambidec/ToolError.h"

namespace kiv::ambidec {

SoundFileReader::SoundFileReader(const std::string& path) : path_(path) {
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (!file_) throw ToolError(path + ": cannot be read: " + sf_strerror(nullptr));
    if (info_.channels < 1 || info_.samplerate < 1) {
        sf_close(file_);
        file_ = nullptr;
        throw ToolError(path + ": cannot be read: no audio channels");
    }
}

SoundFileReader::~SoundFileReader() {
    if (file_) sf_close(file_);
}

sf_count_t SoundFileReader::read(float* interleaved, sf_count_t frames) {
    const sf_count_t got = sf_readf_float(file_, interleaved, frames);
    if (got < frames && sf_error(file_) != SF_ERR_NO_ERROR)
        throw ToolError(path_ + ": cannot be read: " + sf_strerror(file_));
    return got;
}

int outputFormatFor(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    const std::string extension =
        dot == std::string::npos || dot == 0 ? "" : foldName(name.substr(dot + 1));
    if (extension.empty() || extension == "wav") return SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    if (extension == "w64") return SF_FORMAT_W64 | SF_FORMAT_FLOAT;
    if (extension == "rf64") return SF_FORMAT_RF64 | SF_FORMAT_FLOAT;
    if (extension == "aif" || extension == "aiff") return SF_FORMAT_AIFF | SF_FORMAT_FLOAT;
    if (extension == "caf") return SF_FORMAT_CAF | SF_FORMAT_FLOAT;
    if (extension == "flac") return SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
    if (extension == "ogg" || extension == "oga") return SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    throw ToolError(path + ": unknown output format '." + name.substr(dot + 1) +
                    "' (use .wav, .w64, .rf64, .aiff, .caf, .flac or .ogg)");
}

SoundFileWriter::SoundFileWriter(int fd, const std::string& path, int format, int channels,
                                 int sampleRate)
    : path_(path) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = format;
    if (!sf_format_check(&info))
        throw ToolError(path + ": this format cannot hold " + std::to_string(channels) +
                        " channels at " + std::to_string(sampleRate) + " Hz");
    file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (!file_) throw ToolError(path + ": cannot be written: " + sf_strerror(nullptr));
    // Integer formats clip instead of wrapping round.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

SoundFileWriter::~SoundFileWriter() {
    if (file_) sf_close(file_);
}

void SoundFileWriter::write(const float* interleaved, sf_count_t frames) {
    if (sf_writef_float(file_, interleaved, frames) != frames)
        throw ToolError(path_ + ": cannot be written: " + sf_strerror(file_));
}

void SoundFileWriter::close() {
    SNDFILE* file = file_;
    file_ = nullptr;
    if (sf_close(file) != 0)
        throw ToolError(path_ + ": cannot be written: " + sf_strerror(nullptr));
}

} // namespace kiv::ambidec
