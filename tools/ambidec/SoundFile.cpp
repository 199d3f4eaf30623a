// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/SoundFile.h"

#include "tools/ambidec/ParameterValue.h"
#include "tools/ambidec/ToolError.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

namespace kiv::ambidec {

namespace {

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", value);
    return text;
}

std::string withoutFullStop(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' ')) text.pop_back();
    return text;
}

// libsndfile's reason for a failed open, in words a user can act on.
std::string openFailure() {
    const int code = sf_error(nullptr);
    const std::string said = sf_strerror(nullptr);
    switch (code) {
    case SF_ERR_UNRECOGNISED_FORMAT:
        return "not a sound file in a format libsndfile knows";
    case SF_ERR_SYSTEM:
        return withoutFullStop(said.rfind("System error : ", 0) == 0 ? said.substr(15) : said);
    case SF_ERR_MALFORMED_FILE:
        return "its header is damaged (" + said + ")";
    case SF_ERR_UNSUPPORTED_ENCODING:
        return "its encoding is not supported (" + said + ")";
    default:
        break;
    }
    return "its header is damaged or incomplete (libsndfile: " + said + ")";
}

struct SizeLimit {
    int major;
    const char* name;
    long long bytes;  // largest file, 0: none
    long long frames; // most frames, 0: none
};

// The formats ambidec writes whose headers count in 32 bits (FLAC counts frames in 36).
constexpr SizeLimit kLimits[] = {
    {SF_FORMAT_AIFF, "AIFF", 0xFFFFFFFFLL, 0},
    {SF_FORMAT_FLAC, "FLAC", 0, 1LL << 36},
};
constexpr long long kHeaderBytes = 1 << 16; // generous room for the chunks around the data

int bytesPerSample(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_16:
        return 2;
    case SF_FORMAT_PCM_24:
        return 3;
    case SF_FORMAT_DOUBLE:
        return 8;
    default:
        return 4;
    }
}

const SizeLimit* limitOf(int format) {
    for (const SizeLimit& limit : kLimits)
        if ((format & SF_FORMAT_TYPEMASK) == limit.major) return &limit;
    return nullptr;
}

[[noreturn]] void tooLarge(const std::string& path, const SizeLimit& limit, int format,
                           long long channels, long long frames) {
    char text[256];
    if (limit.bytes)
        std::snprintf(text, sizeof text,
                      ": %.1f GiB of audio would pass the 4 GiB limit of %s files; write .wav, "
                      ".w64 or .caf instead",
                      static_cast<double>(frames) * static_cast<double>(channels) *
                          bytesPerSample(format) / 1073741824.0,
                      limit.name);
    else
        std::snprintf(text, sizeof text,
                      ": %lld frames would pass the limit of %s files (2^36 frames); write "
                      ".wav, .w64 or .caf instead",
                      frames, limit.name);
    throw ToolError(path + text);
}

bool passes(const SizeLimit& limit, int format, long long channels, long long frames) {
    if (limit.frames && frames > limit.frames) return true;
    const long long bytes = frames * channels * bytesPerSample(format);
    return limit.bytes && bytes > limit.bytes - kHeaderBytes;
}

} // namespace

std::string counted(long long count, const char* singular) {
    return std::to_string(count) + " " + singular + (count == 1 ? "" : "s");
}

SoundFileReader::SoundFileReader(const std::string& path) : path_(path) {
    if (path == "-") {
        // Standard input: libsndfile reads WAV, AIFF, FLAC and others from a pipe.
        path_ = "standard input";
        file_ = sf_open_fd(STDIN_FILENO, SFM_READ, &info_, SF_FALSE);
        if (!file_) throw ToolError("standard input: cannot be read: " + openFailure());
        if (info_.channels < 1 || info_.samplerate < 1) {
            sf_close(file_);
            file_ = nullptr;
            throw ToolError(
                "standard input: cannot be read: its header gives no channels or no sample rate");
        }
        return;
    }
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw ToolError(path + ": cannot be read: " + std::strerror(errno));
    if (S_ISDIR(st.st_mode)) throw ToolError(path + ": cannot be read: it is a directory");
    if (S_ISREG(st.st_mode) && st.st_size == 0)
        throw ToolError(path + ": cannot be read: the file is empty");
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        throw ToolError(path + ": cannot be read: it is a device, not a sound file");
    file_ = sf_open(path.c_str(), SFM_READ, &info_);
    if (!file_) throw ToolError(path + ": cannot be read: " + openFailure());
    if (info_.channels < 1 || info_.samplerate < 1) {
        sf_close(file_);
        file_ = nullptr;
        throw ToolError(path + ": cannot be read: its header gives no channels or no sample rate");
    }
}

SoundFileReader::~SoundFileReader() {
    if (file_) sf_close(file_);
}

sf_count_t SoundFileReader::read(float* interleaved, sf_count_t frames) {
    const sf_count_t got = sf_readf_float(file_, interleaved, frames);
    if (got < frames && sf_error(file_) != SF_ERR_NO_ERROR) {
        std::string why = sf_strerror(file_);
        if (why.rfind("Error : ", 0) == 0) why = why.substr(8);
        why = withoutFullStop(why);
        throw ToolError(
            path_ + ": cannot be read after " +
            seconds(static_cast<double>(read_ + got) / info_.samplerate) +
            (info_.frames > read_ + got && info_.frames < SF_COUNT_MAX / 2
                 ? " of " + seconds(static_cast<double>(info_.frames) / info_.samplerate)
                 : std::string()) +
            ": " + why + " (the file is damaged or cut short)");
    }
    if (got > 0) read_ += got;
    return got;
}

std::string SoundFileReader::promisedButMissing() const {
    // The header's count of frames that the data did not deliver.
    if (read_ < info_.frames && info_.frames < SF_COUNT_MAX / 2)
        return "its header promises " +
               seconds(static_cast<double>(info_.frames) / info_.samplerate);
    // libsndfile trims a size the file cannot hold and notes "N (should be M)" in its log.
    char log[8192] = "";
    sf_command(file_, SFC_GET_LOG_INFO, log, sizeof log);
    std::istringstream lines(log);
    std::string found;
    for (std::string line; std::getline(lines, line);) {
        const auto colon = line.find(" : ");
        const auto should = line.find("(should be ");
        if (colon == std::string::npos || should == std::string::npos || should < colon) continue;
        long long claimed = 0, present = 0;
        if (std::sscanf(line.c_str() + colon + 3, "%lld", &claimed) != 1 ||
            std::sscanf(line.c_str() + should + 11, "%lld", &present) != 1 || claimed <= present ||
            present <= 0)
            continue;
        const auto first = line.find_first_not_of(' ');
        const std::string chunk = line.substr(first, colon - first);
        if (chunk == "data" || chunk == "SSND") {
            const double share = static_cast<double>(claimed) / static_cast<double>(present);
            return "its header promises " +
                   seconds(static_cast<double>(info_.frames) * share / info_.samplerate);
        }
        if (found.empty())
            found = "its header promises " + std::to_string(claimed) + " bytes, the file holds " +
                    std::to_string(present);
    }
    return found;
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
                        "' (use .wav, .w64, .rf64, .aiff, .caf, .flac or .ogg)",
                    ToolError::kUsage);
}

bool clipsAtFullScale(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32:
        return true;
    default:
        return false;
    }
}

void checkOutputSize(const std::string& path, int format, int channels, long long frames) {
    const SizeLimit* limit = limitOf(format);
    if (limit && frames >= 0 && frames < SF_COUNT_MAX / 2 &&
        passes(*limit, format, channels, frames))
        tooLarge(path, *limit, format, channels, frames);
}

namespace {

bool streamable(int format) {
    const int major = format & SF_FORMAT_TYPEMASK;
    return major == SF_FORMAT_FLAC || major == SF_FORMAT_OGG;
}

[[noreturn]] void notStreamable(const std::string& path) {
    throw ToolError(path + ": is a pipe, and this format's header is finished at the end; "
                           "name it .flac or .ogg to stream");
}

} // namespace

void checkOutputPlace(const std::string& path, int format) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode) && !streamable(format))
        notStreamable(path);
}

SoundFileWriter::SoundFileWriter(int fd, const std::string& path, int format, int channels,
                                 int sampleRate, const std::vector<int>& channelMap)
    : path_(path), format_(format), channels_(channels) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = sampleRate;
    info.format = format;
    if (!sf_format_check(&info))
        throw ToolError(path + ": this format cannot hold " + counted(channels, "channel") +
                        " at " + std::to_string(sampleRate) + " Hz");
    struct stat st {};
    const int major = format & SF_FORMAT_TYPEMASK;
    if (::fstat(fd, &st) == 0 && (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode)) &&
        !streamable(format))
        notStreamable(path);
    // Plain WAV counts its sizes in 32 bits: RF64, which stays plain WAV below 4 GiB.
    const bool wav = major == SF_FORMAT_WAV;
    if (wav) info.format = SF_FORMAT_RF64 | (format & SF_FORMAT_SUBMASK);
    file_ = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (!file_) throw ToolError(path + ": cannot be written: " + openFailure());
    if (wav && sf_command(file_, SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE) != SF_TRUE) {
        sf_close(file_);
        file_ = nullptr;
        throw ToolError(path + ": cannot be written: RF64 cannot fall back to WAV");
    }
    if (!channelMap.empty() && static_cast<int>(channelMap.size()) == channels)
        sf_command(file_, SFC_SET_CHANNEL_MAP_INFO, const_cast<int*>(channelMap.data()),
                   static_cast<int>(channelMap.size() * sizeof(int)));
    // Integer formats clip instead of wrapping round.
    sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

SoundFileWriter::~SoundFileWriter() {
    if (file_) sf_close(file_);
}

void SoundFileWriter::write(const float* interleaved, sf_count_t frames) {
    // A length not known in advance (a pipe) is checked as it grows.
    if (const SizeLimit* limit = limitOf(format_))
        if (passes(*limit, format_, channels_, written_ + frames))
            tooLarge(path_, *limit, format_, channels_, written_ + frames);
    if (sf_writef_float(file_, interleaved, frames) != frames) {
        std::string why = sf_strerror(file_);
        if (why.rfind("System error : ", 0) == 0) why = why.substr(15);
        throw ToolError(path_ + ": cannot be written: " + withoutFullStop(why));
    }
    written_ += frames;
}

void SoundFileWriter::close() {
    SNDFILE* file = file_;
    file_ = nullptr;
    if (sf_close(file) != 0)
        throw ToolError(path_ + ": cannot be written: " + withoutFullStop(sf_strerror(nullptr)));
}

} // namespace kiv::ambidec
