// SPDX-License-Identifier: GPL-3.0-or-later
// Which plug-in output feeds which speaker, and how the channels of an output file say so.
// A decoder's speakers are its layout's (product/SpeakerLayout.h), in output order; some
// layouts have standard channel positions (a square is quad, ITU 5.0 is FL FR C SL SR),
// the others have none. A file carries the positions only where its format can state
// them truthfully: WAV and RF64 in their channel mask, CAF and AIFF in their channel layout
// (libsndfile writes it from SFC_SET_CHANNEL_MAP_INFO; for WAV it keeps a default mask by
// channel count, which writeWaveChannelMask corrects), FLAC and Ogg Vorbis by the fixed
// order their channel count stands for. Everywhere else it says "no positions" (mask 0, no
// layout), or the render is refused.
//
// Numbers here are 0 based; everything ambidec prints counts from 1.
#pragma once

#include "tools/ambidec/SpeakerLayout.h"

#include <optional>
#include <string>
#include <vector>

namespace kiv::ambidec {

// The standard loudspeaker positions that some layouts have. The ITU 5.0 surrounds at
// +-110 degrees are side positions: ITU-R BS.2051 puts the side pair at 90 to 110 degrees
// and the back pair at 135 to 150, and Windows' 5.1 and FLAC's five-channel order use the
// side pair for them too.
enum class ChannelPosition {
    FrontLeft,
    FrontRight,
    FrontCentre,
    BackLeft,
    BackRight,
    SideLeft,
    SideRight
};

// "FL", "FR", "FC", "BL", "BR", "SL", "SR".
const char* positionName(ChannelPosition position);

// One speaker of a decoder's layout.
struct OutputSpeaker {
    int output;                 // plug-in output, 0 based
    SpeakerDirection direction; // degrees
    std::optional<ChannelPosition> position;
};

// The speakers of catalogue decoder `decoder`, in output order; empty when its layout is
// not known. Positions are given for every speaker or for none.
std::vector<OutputSpeaker> speakersOf(int decoder);

// "45° left", "110° right, 35.2° up", "ahead", "behind".
std::string directionWords(const SpeakerDirection& direction);

// How the channels of one output file are laid out.
struct FileChannels {
    std::vector<int> outputs; // file channel k carries plug-in output outputs[k]
    std::vector<std::optional<ChannelPosition>> positions; // per file channel, or none
    unsigned waveMask = 0;                                 // WAV and RF64 channel mask
    std::vector<int> sndfileMap; // SFC_SET_CHANNEL_MAP_INFO for CAF, AIFF; empty: none
    bool positioned() const { return waveMask != 0 || !sndfileMap.empty(); }
};

// The file channels for a render into a file of libsndfile format `format` from a plug-in
// with pluginOutputs outputs whose decoder has speakers (empty when it has no known
// layout). allOutputs keeps every plug-in output, otherwise only the speakers' are written.
// Throws ToolError (naming the formats that work) for FLAC or Ogg Vorbis when a decoder's
// channels are not those that the format's channel count stands for. layoutName completes
// "which ... does not have": 'the layout "square"'.
FileChannels fileChannelsFor(const std::vector<OutputSpeaker>& speakers, int pluginOutputs,
                             bool allOutputs, int format, const std::string& path,
                             const std::string& layoutName);

// "FL FR SL SR" (with a blank per channel without position), or "none".
std::string positionsText(const FileChannels& channels);

// Writes the channel mask into a finished WAV or RF64 file whose format chunk is
// WAVE_FORMAT_EXTENSIBLE (libsndfile 1.2 fills in a default one by channel count and takes
// no other). Answers false when the file has no such chunk. Throws ToolError on a failed
// write.
bool writeWaveChannelMask(int fd, const std::string& path, unsigned mask);

} // namespace kiv::ambidec
