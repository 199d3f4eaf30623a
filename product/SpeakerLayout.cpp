// SPDX-License-Identifier: GPL-3.0-or-later
#include "product/SpeakerLayout.h"

namespace {

constexpr double kCubeElevationDeg = 35.2;

std::vector<SpeakerDirection> ring(int count, double firstDeg) {
    std::vector<SpeakerDirection> speakers;
    for (int i = 0; i < count; ++i) speakers.push_back({firstDeg + 360.0 * i / count, 0.0});
    return speakers;
}

std::vector<SpeakerDirection> itu(bool centre) {
    std::vector<SpeakerDirection> speakers{{30, 0}, {-30, 0}, {110, 0}, {-110, 0}};
    if (centre) speakers.push_back({0, 0});
    return speakers;
}

} // namespace

std::optional<SpeakerLayout> speakerLayoutOf(DecShape decoder) {
    switch (decoder) {
    case QuadSquare:
        return SpeakerLayout{"square", {{45, 0}, {315, 0}, {135, 0}, {225, 0}}, false};
    case ItuFullRangeV1:
    case ItuFullRangeV2:
    case ItuHFOptimisedV1:
    case ItuFullRangeV4:
        return SpeakerLayout{"ITU 5.0, four speakers (centre silent)", itu(false), false};
    case ItuLFOptimisedV1:
    case ItuLFOptimisedV2:
    case ItuFullRangeV3:
        return SpeakerLayout{"ITU 5.0, five speakers", itu(true), false};
    case HexagonWithCF:
        return SpeakerLayout{"regular hexagon, speaker ahead", ring(6, 0), false};
    case HexagonWithoutCF:
        return SpeakerLayout{"regular hexagon, pair ahead", ring(6, 30), false};
    case OctagonWithCF:
        return SpeakerLayout{"regular octagon, speaker ahead", ring(8, 0), false};
    case OctagonWithoutCF:
        return SpeakerLayout{"regular octagon, pair ahead", ring(8, 22.5), false};
    case Cube8: {
        std::vector<SpeakerDirection> speakers;
        for (double elevation : {kCubeElevationDeg, -kCubeElevationDeg})
            for (double azimuth : {45.0, 135.0, 225.0, 315.0})
                speakers.push_back({azimuth, elevation});
        return SpeakerLayout{"cube, two squares at \u00B135.2\u00B0", speakers, true};
    }
    case Octahedron:
        return SpeakerLayout{
            "octahedron", {{0, 45}, {180, 45}, {90, 0}, {-90, 0}, {0, -45}, {180, -45}}, true};
    default:
        return std::nullopt;
    }
}

std::optional<SpeakerLayout> speakerLayoutOf(int decoderNumber) {
    if (decoderNumber < 0 || decoderNumber >= kNumDecShapes) return std::nullopt;
    return speakerLayoutOf(static_cast<DecShape>(decoderNumber));
}
