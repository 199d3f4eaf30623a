// SPDX-License-Identifier: GPL-3.0-or-later
// RegularDecoder: first-order B-format with height to up to eight loudspeakers in regular
// layouts.
#include "product/ProductDescription.h"
#include "product/RegularDecList.h"

namespace {

constexpr char kName[] = "RegularDecoder";
constexpr ProductUri kUri = makeProductUri(kName);
constexpr ProductUri kUiUri = makeProductUri(kName, ":ui");

constexpr PortDescription kInputs[] = {{"w", "W"}, {"x", "X"}, {"y", "Y"}, {"z", "Z"}};
constexpr PortDescription kOutputs[] = {
    {"out1", "Speaker 1"}, {"out2", "Speaker 2"}, {"out3", "Speaker 3"}, {"out4", "Speaker 4"},
    {"out5", "Speaker 5"}, {"out6", "Speaker 6"}, {"out7", "Speaker 7"}, {"out8", "Speaker 8"},
};

constexpr float kCutOff380Hz = 0.28695652f; // 50 + 1150 x value

// Program i selects slot i (i / 6 in 32 bits); the patterns store half the ratio; both
// distance compensations off; shelf spatial EQ.
constexpr FactoryProgram program(const char* name, int slot, float lowRatio, float highRatio) {
    return FactoryProgram{name,
                          {0.5f * lowRatio, 0.5f * highRatio, kCutOff380Hz,
                           static_cast<float>(slot) / 6.0f, 1.0f, 1.0f, 1.0f}};
}

constexpr FactoryProgram kPrograms[kNumFactoryPrograms] = {
    program("Quad (square)", 0, 1.33f, 1.15f),
    program("Hexagon with Centre Front", 1, 1.33f, 1.15f),
    program("Hexagon without Centre Front", 2, 1.33f, 1.15f),
    program("Octagon with Centre Front", 3, 1.33f, 1.15f),
    program("Octagon without Centre Front", 4, 1.33f, 1.15f),
    program("3D Cube", 5, 1.5f, 1.3f),
    program("3D Octahedron", 6, 1.5f, 1.3f),
};

} // namespace

const ProductDescription kRegularDecoderProduct = {
    kName,
    kUri.text,
    kUiUri.text,
    "Regular Shape 1st Order Decoder",
    "Kivtone",
    1000,
    0x5A424438, // "ZBD8"
    4,
    8,
    kInputs,
    kOutputs,
    kRegularDecList,
    kPrograms,
};
