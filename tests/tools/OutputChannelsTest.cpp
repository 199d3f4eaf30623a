// SPDX-License-Identifier: GPL-3.0-or-later
// The channels of an output file: which plug-in output each carries, in the order its
// format stands for, and the positions it states (WAV mask, CAF layout) or does not.
#include "tools/ambidec/OutputChannels.h"
#include "tools/ambidec/ToolError.h"

#include <gtest/gtest.h>

#include <sndfile.h>

using namespace kiv::ambidec;

TEST(OutputChannels, EachFormatGetsItsOrderAndPositions) {
    const int wav = SF_FORMAT_WAV | SF_FORMAT_FLOAT, caf = SF_FORMAT_CAF | SF_FORMAT_FLOAT,
              w64 = SF_FORMAT_W64 | SF_FORMAT_FLOAT, flac = SF_FORMAT_FLAC | SF_FORMAT_PCM_24,
              ogg = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    const struct {
        int decoder, outputs, format;
        bool all;
        std::vector<int> order; // plug-in output per file channel
        unsigned mask;
        std::vector<int> cafMap;
        const char* positions;
    } cases[] = {
        // Square: quad everywhere that states positions, in the plug-in's order.
        {QuadSquare, 8, wav, false, {0, 1, 2, 3}, 0x33, {2, 3, 9, 10}, "FL FR BL BR"},
        {QuadSquare, 8, w64, false, {0, 1, 2, 3}, 0, {}, "none"},
        {QuadSquare, 8, flac, false, {0, 1, 2, 3}, 0x33, {2, 3, 9, 10}, "FL FR BL BR"},
        // Every output: the speakers' positions first, the silent outputs without any (and
        // no CAF layout, which cannot leave a channel out).
        {QuadSquare, 8, wav, true, {0, 1, 2, 3, 4, 5, 6, 7}, 0x33, {}, "FL FR BL BR, then none"},
        // ITU 5.0: side pair; with the centre, reordered to FL FR C SL SR (Vorbis: FL C FR).
        {ItuFullRangeV1, 5, wav, false, {0, 1, 2, 3}, 0x603, {2, 3, 9, 10}, "FL FR SL SR"},
        {ItuLFOptimisedV1,
         5,
         wav,
         false,
         {0, 1, 4, 2, 3},
         0x607,
         {2, 3, 4, 9, 10},
         "FL FR FC SL SR"},
        {ItuLFOptimisedV1,
         5,
         caf,
         false,
         {0, 1, 4, 2, 3},
         0x607,
         {2, 3, 4, 9, 10},
         "FL FR FC SL SR"},
        {ItuLFOptimisedV1,
         5,
         ogg,
         false,
         {0, 4, 1, 2, 3},
         0x607,
         {2, 4, 3, 9, 10},
         "FL FC FR SL SR"},
        // No standard positions: mask 0, no CAF layout, the plug-in's order.
        {HexagonWithCF, 8, wav, false, {0, 1, 2, 3, 4, 5}, 0, {}, "none"},
        {Cube8, 8, caf, false, {0, 1, 2, 3, 4, 5, 6, 7}, 0, {}, "none"},
        {Octahedron, 8, wav, true, {0, 1, 2, 3, 4, 5, 6, 7}, 0, {}, "none"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.decoder) + " " + std::to_string(c.format) +
                     (c.all ? " all" : ""));
        const FileChannels file =
            fileChannelsFor(speakersOf(c.decoder), c.outputs, c.all, c.format, "out", "it");
        EXPECT_EQ(file.outputs, c.order);
        EXPECT_EQ(file.waveMask, (c.format & SF_FORMAT_TYPEMASK) == SF_FORMAT_W64 ? 0u : c.mask);
        EXPECT_EQ(file.sndfileMap, c.cafMap); // libsndfile writes it into CAF only
        EXPECT_EQ(positionsText(file), c.positions);
    }
}

TEST(OutputChannels, FixedOrderFormatsTakeOnlyTheirOwnLayouts) {
    const int flac = SF_FORMAT_FLAC | SF_FORMAT_PCM_24, ogg = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    const struct {
        int decoder;
        bool all;
    } refused[] = {{HexagonWithCF, false}, {OctagonWithoutCF, false}, {Cube8, false},
                   {Octahedron, false},    {QuadSquare, true},        {ItuFullRangeV2, true}};
    for (const int format : {flac, ogg})
        for (const auto& c : refused) {
            SCOPED_TRACE(std::to_string(c.decoder) + (c.all ? " all" : ""));
            try {
                fileChannelsFor(speakersOf(c.decoder), 8, c.all, format, "out", "it");
                ADD_FAILURE() << "accepted";
            } catch (const ToolError& error) {
                EXPECT_EQ(error.status(), ToolError::kUsage);
                EXPECT_NE(std::string(error.what()).find("write .wav, .rf64, .w64 or .caf"),
                          std::string::npos);
            }
        }
    // B-format (no layout) goes anywhere, positions none.
    const FileChannels bformat = fileChannelsFor({}, 4, false, flac, "out", "it");
    EXPECT_EQ(bformat.outputs, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(positionsText(bformat), "none");
}

TEST(OutputChannels, DirectionsInWords) {
    const struct {
        SpeakerDirection direction;
        const char* words;
    } cases[] = {{{0, 0}, "ahead"},
                 {{180, 0}, "behind"},
                 {{-180, 0}, "behind"},
                 {{30, 0}, "30\u00B0 left"},
                 {{-110, 0}, "110\u00B0 right"},
                 {{315, 0}, "45\u00B0 right"},
                 {{45, 35.2}, "45\u00B0 left, 35.2\u00B0 up"},
                 {{0, -45}, "ahead, 45\u00B0 down"}};
    for (const auto& c : cases) EXPECT_EQ(directionWords(c.direction), c.words);
}
