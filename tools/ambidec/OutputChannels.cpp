// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/OutputChannels.h"

#include "tools/ambidec/SoundFile.h"
#include "tools/ambidec/ToolError.h"

#include <sndfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace kiv::ambidec {

namespace {

using P = ChannelPosition;

struct PositionFacts {
    const char* name;
    unsigned waveBit;
    int sndfileId;  // Apple's names in CAF: L, R, C, Ls, Rs (the 5.0 surround pair)
    int vorbisRank; // order in Vorbis: FL, C, FR, then the surround pair
};

constexpr PositionFacts kFacts[] = {
    {"FL", 0x1, SF_CHANNEL_MAP_LEFT, 0},         {"FR", 0x2, SF_CHANNEL_MAP_RIGHT, 2},
    {"FC", 0x4, SF_CHANNEL_MAP_CENTER, 1},       {"BL", 0x10, SF_CHANNEL_MAP_REAR_LEFT, 3},
    {"BR", 0x20, SF_CHANNEL_MAP_REAR_RIGHT, 4},  {"SL", 0x200, SF_CHANNEL_MAP_REAR_LEFT, 3},
    {"SR", 0x400, SF_CHANNEL_MAP_REAR_RIGHT, 4},
};

const PositionFacts& factsOf(ChannelPosition position) {
    return kFacts[static_cast<int>(position)];
}

// The positions of a layout's speakers in output order, where it has standard ones.
std::vector<ChannelPosition> standardPositions(int decoder) {
    switch (decoder) {
    case QuadSquare:
        return {P::FrontLeft, P::FrontRight, P::BackLeft, P::BackRight};
    case ItuFullRangeV1:
    case ItuFullRangeV2:
    case ItuHFOptimisedV1:
    case ItuFullRangeV4:
        return {P::FrontLeft, P::FrontRight, P::SideLeft, P::SideRight};
    case ItuLFOptimisedV1:
    case ItuLFOptimisedV2:
    case ItuFullRangeV3:
        return {P::FrontLeft, P::FrontRight, P::SideLeft, P::SideRight, P::FrontCentre};
    default:
        return {};
    }
}

std::string degrees(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g\u00B0", value);
    return text;
}

bool isFixedOrder(int major) {
    return major == SF_FORMAT_FLAC || major == SF_FORMAT_OGG;
}

// FLAC and Vorbis give four channels FL FR and the surround pair, five FL FR C and the
// surround pair (in their own order); every other count means positions our layouts lack.
bool fitsFixedOrder(const std::vector<std::optional<ChannelPosition>>& positions) {
    std::vector<std::string> names;
    for (const auto& p : positions) {
        if (!p) return false;
        const std::string name = factsOf(*p).name;
        names.push_back(name == "BL" || name == "SL"   ? "L"
                        : name == "BR" || name == "SR" ? "R"
                                                       : name);
    }
    std::sort(names.begin(), names.end());
    return names == std::vector<std::string>{"FL", "FR", "L", "R"} ||
           names == std::vector<std::string>{"FC", "FL", "FR", "L", "R"};
}

std::uint16_t little16(const unsigned char* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8);
}

std::uint32_t little32(const unsigned char* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

} // namespace

const char* positionName(ChannelPosition position) {
    return factsOf(position).name;
}

std::vector<OutputSpeaker> speakersOf(int decoder) {
    std::vector<OutputSpeaker> speakers;
    const auto layout = speakerLayoutOf(decoder);
    if (!layout) return speakers;
    const auto positions = standardPositions(decoder);
    for (std::size_t s = 0; s < layout->speakers.size(); ++s)
        speakers.push_back({static_cast<int>(s), layout->speakers[s],
                            positions.size() == layout->speakers.size()
                                ? std::optional<ChannelPosition>(positions[s])
                                : std::nullopt});
    return speakers;
}

std::string directionWords(const SpeakerDirection& direction) {
    double az = std::fmod(direction.azimuthDeg, 360.0);
    if (az > 180.0) az -= 360.0;
    if (az <= -180.0) az += 360.0;
    std::string text = az == 0.0     ? "ahead"
                       : az == 180.0 ? "behind"
                                     : degrees(std::fabs(az)) + (az > 0 ? " left" : " right");
    if (direction.elevationDeg != 0.0)
        text += ", " + degrees(std::fabs(direction.elevationDeg)) +
                (direction.elevationDeg > 0 ? " up" : " down");
    return text;
}

FileChannels fileChannelsFor(const std::vector<OutputSpeaker>& speakers, int pluginOutputs,
                             bool allOutputs, int format, const std::string& path,
                             const std::string& layoutName) {
    const int major = format & SF_FORMAT_TYPEMASK;
    FileChannels file;
    struct Channel {
        int output;
        std::optional<ChannelPosition> position;
    };
    // W64 as libsndfile writes it carries no positions: its channels have none. AIFF and
    // CAF take Apple's channel layouts.
    const bool carriesPositions = major == SF_FORMAT_WAV || major == SF_FORMAT_RF64 ||
                                  major == SF_FORMAT_CAF || major == SF_FORMAT_AIFF ||
                                  isFixedOrder(major);
    std::vector<Channel> positioned, plain;
    for (const OutputSpeaker& s : speakers)
        if (s.position && carriesPositions)
            positioned.push_back({s.output, s.position});
        else
            plain.push_back({s.output, std::nullopt});
    // The positioned channels in the format's order; those without a position after them.
    const bool vorbis = major == SF_FORMAT_OGG;
    std::stable_sort(positioned.begin(), positioned.end(),
                     [vorbis](const Channel& a, const Channel& b) {
                         const PositionFacts& x = factsOf(*a.position);
                         const PositionFacts& y = factsOf(*b.position);
                         return vorbis ? x.vorbisRank < y.vorbisRank : x.waveBit < y.waveBit;
                     });
    std::vector<Channel> channels = positioned;
    channels.insert(channels.end(), plain.begin(), plain.end());
    if (speakers.empty() || allOutputs) {
        std::vector<bool> taken(static_cast<std::size_t>(pluginOutputs), false);
        for (const Channel& c : channels)
            if (c.output < pluginOutputs) taken[static_cast<std::size_t>(c.output)] = true;
        for (int o = 0; o < pluginOutputs; ++o)
            if (!taken[static_cast<std::size_t>(o)]) channels.push_back({o, std::nullopt});
    }
    for (const Channel& c : channels) {
        file.outputs.push_back(c.output);
        file.positions.push_back(c.position);
    }

    // Speaker feeds only: a plug-in without a layout (the B-format converter) writes B-format,
    // which no format states and which is kept in FLAC and Ogg by custom.
    if (!speakers.empty() && isFixedOrder(major) && !fitsFixedOrder(file.positions)) {
        const char* name = major == SF_FORMAT_FLAC ? "FLAC" : "Ogg Vorbis";
        throw ToolError(
            path + ": a " + std::string(name) + " file of " +
                counted(static_cast<long long>(channels.size()), "channel") +
                " stands for fixed speaker positions, which " + layoutName +
                (positioned.empty() ? "" : " with its silent outputs") +
                " does not have; write .wav, .rf64, .w64 or .caf, which can say that its "
                "channels have none",
            ToolError::kUsage);
    }
    // WAV: the mask names the positioned channels, the first ones; the rest have none.
    for (const Channel& c : positioned) file.waveMask |= factsOf(*c.position).waveBit;
    // CAF and AIFF: a channel layout only when every channel has a position.
    if (!positioned.empty() && positioned.size() == channels.size())
        for (const Channel& c : positioned)
            file.sndfileMap.push_back(factsOf(*c.position).sndfileId);
    return file;
}

std::string positionsText(const FileChannels& channels) {
    if (!channels.positioned()) return "none";
    std::string text;
    for (const auto& p : channels.positions) {
        if (!p) break;
        text += (text.empty() ? "" : " ") + std::string(positionName(*p));
    }
    if (channels.positions.back() == std::nullopt) text += ", then none";
    return text;
}

bool writeWaveChannelMask(int fd, const std::string& path, unsigned mask) {
    unsigned char head[12];
    if (::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return false;
    if ((std::memcmp(head, "RIFF", 4) != 0 && std::memcmp(head, "RF64", 4) != 0) ||
        std::memcmp(head + 8, "WAVE", 4) != 0)
        return false;
    off_t at = 12;
    for (int chunks = 0; chunks < 64; ++chunks) {
        unsigned char chunk[8 + 24];
        const ssize_t got = ::pread(fd, chunk, sizeof chunk, at);
        if (got < 8) return false;
        const std::uint32_t size = little32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            // WAVE_FORMAT_EXTENSIBLE: the mask follows the 18-byte WAVEFORMATEX and wValidBits.
            if (got < static_cast<ssize_t>(sizeof chunk) || size < 40 ||
                little16(chunk + 8) != 0xFFFE)
                return false;
            const unsigned char bytes[4] = {static_cast<unsigned char>(mask & 0xFF),
                                            static_cast<unsigned char>(mask >> 8 & 0xFF),
                                            static_cast<unsigned char>(mask >> 16 & 0xFF),
                                            static_cast<unsigned char>(mask >> 24 & 0xFF)};
            if (::pwrite(fd, bytes, sizeof bytes, at + 8 + 20) !=
                static_cast<ssize_t>(sizeof bytes))
                throw ToolError(path + ": cannot be written: " + std::strerror(errno));
            return true;
        }
        if (std::memcmp(chunk, "data", 4) == 0) return false;
        at += 8 + static_cast<off_t>(size) + (size & 1);
    }
    return false;
}

} // namespace kiv::ambidec
