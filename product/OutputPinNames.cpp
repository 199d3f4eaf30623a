// SPDX-License-Identifier: GPL-3.0-or-later
#include "product/OutputPinNames.h"

namespace {

using PinLabels = const char* const[kLabelledOutputPins];

// clang-format off
constexpr PinLabels kQuad       = {"FL", "FR", "BL", "BR", "Unused", "Unused", "Unused", "Unused"};
constexpr PinLabels kItu50      = {"FL", "FR", "SL", "SR", "C (may be unused)", "Unused", "Unused", "Unused"};
constexpr PinLabels kHexagonCF  = {"C", "FL", "BL", "B", "BR", "FR", "Unused", "Unused"};
constexpr PinLabels kHexagon    = {"FL", "L", "BL", "BR", "R", "FR", "Unused", "Unused"};
constexpr PinLabels kOctagonCF  = {"C_0", "FL_45", "L_90", "BL_135", "B_180", "BR_225", "R_270", "FR_315"};
constexpr PinLabels kOctagon    = {"FL_22.5", "FL_67.5", "BL_112.5", "BL_157.5", "BR_202.5", "BR_247.5", "FR_292.5", "FR_337.5"};
constexpr PinLabels kCube       = {"FL_Up", "BL_Up", "BR_Up", "FR_Up", "FL_Dn", "BL_Dn", "BR_Dn", "FR_Dn"};
constexpr PinLabels kOctahedron = {"Front_Up", "Back_Up", "Left", "Right", "Front_Dn", "Back_Dn", "Unused", "Unused"};
// clang-format on

const char* const* labelsOf(DecShape shape) {
    switch (shape) {
    case QuadSquare:
        return kQuad;
    case ItuFullRangeV1:
    case ItuFullRangeV2:
    case ItuLFOptimisedV1:
    case ItuLFOptimisedV2:
    case ItuHFOptimisedV1:
    case ItuFullRangeV3:
    case ItuFullRangeV4:
        return kItu50; // every ITU 5.0 decoder: the centre is silent in the four-speaker ones
    case HexagonWithCF:
        return kHexagonCF;
    case HexagonWithoutCF:
        return kHexagon;
    case OctagonWithCF:
        return kOctagonCF;
    case OctagonWithoutCF:
        return kOctagon;
    case Cube8:
        return kCube;
    case Octahedron:
        return kOctahedron;
    default:
        return nullptr; // in no plug-in's decoder list
    }
}

} // namespace

const char* outputPinLabel(DecShape shape, int pin) {
    if (static_cast<unsigned>(pin) >= static_cast<unsigned>(kLabelledOutputPins)) return nullptr;
    const char* const* labels = labelsOf(shape);
    return labels ? labels[pin] : nullptr;
}
