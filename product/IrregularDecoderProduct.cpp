// SPDX-License-Identifier: GPL-3.0-or-later
// IrregularDecoder: horizontal first-order B-format to the five loudspeakers of ITU 5.0,
// with a choice of seven optimised decoders.
#include "product/IrregularDecList.h"
#include "product/ProductDescription.h"

namespace {

constexpr char kName[] = "IrregularDecoder";
constexpr ProductUri kUri = makeProductUri(kName);
constexpr ProductUri kUiUri = makeProductUri(kName, ":ui");

constexpr PortDescription kInputs[] = {{"w", "W"}, {"x", "X"}, {"y", "Y"}};
constexpr PortDescription kOutputs[] = {
    {"fl", "FL"}, {"fr", "FR"}, {"sl", "SL"}, {"sr", "SR"}, {"c", "C"},
};

constexpr float kCutOff380Hz = 0.28695652f; // 50 + 1150 x value

// Program i selects slot i (i / 6 in 32 bits); both patterns at ratio 1 (the matrix as it
// is); both distance compensations off; single band.
constexpr FactoryProgram program(const char* name, int slot) {
    return FactoryProgram{
        name, {0.5f, 0.5f, kCutOff380Hz, static_cast<float>(slot) / 6.0f, 1.0f, 1.0f, 0.0f}};
}

constexpr FactoryProgram kPrograms[kNumFactoryPrograms] = {
    program("ITU Full Range v1", 0),   program("ITU Full Range v2", 1),
    program("ITU LF Optimised v1", 2), program("ITU LF Optimised v2", 3),
    program("ITU HF Optimised v1", 4), program("ITU Full Range v3", 5),
    program("ITU Full Range v4", 6),
};

} // namespace

const ProductDescription kIrregularDecoderProduct = {
    kName,
    kUri.text,
    kUiUri.text,
    "Irregular Shape 1st Order Ambisonic Decoder",
    "Kivtone",
    1000,
    0x5A424435, // "ZBD5"
    3,
    5,
    kInputs,
    kOutputs,
    kIrregularDecList,
    kPrograms,
};
