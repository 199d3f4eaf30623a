// SPDX-License-Identifier: GPL-3.0-or-later
// The B-format converter as data: what every face of it reads (the VST effect class, the
// LV2 plug-in, the LV2 Turtle generator and the tests), so that no face can drift from
// another. One parameter, the direction; a program per direction; pin names that follow
// the direction where the format lets them (VST), and where it does not (LV2) port names
// that say what each channel carries either way: FuMa name first, then the ACN channel.
#pragma once

#include <cstdint>

#include "engine/BFormatConversion.h"
#include "product/NormalisedValue.h"
#include "product/ProductDescription.h"
#include "product/ProductUri.h"

// One direction: its name (program name, display text, scale point label), the normalised
// value its program stores, and the pin names on either side.
struct ConverterDirection {
    BFormatDirection direction;
    const char* name;                         // "AmbiX to FuMa"
    float value;                              // normalised, as its program stores it
    const char* inputPins[kBFormatChannels];  // "ACN0 (W)" ... or "W" ...
    const char* outputPins[kBFormatChannels]; // the other side
};

struct ConverterProduct {
    const char* name;           // "BFormatConverter": bundle and binary name
    const char* uri;            // "urn:kivtone:BFormatConverter" (ProductUri.h)
    const char* productString;  // "B-Format Converter (AmbiX / FuMa)"
    const char* vendor;         // "Kivtone"
    std::int32_t vendorVersion; // 1000
    std::int32_t uniqueID;      // four characters, the first in the most significant byte
    const char* summary;        // one line on what it does, for formats that show one
    // The parameter.
    const char* parameterName;   // "Direction"
    const char* parameterSymbol; // "direction"
    // Formats with fixed port names: each port's meaning in both directions. Channel k is
    // FuMa channel k on the FuMa side and ACN k on the AmbiX side, inputs and outputs alike.
    PortDescription inputs[kBFormatChannels];
    PortDescription outputs[kBFormatChannels];
    ConverterDirection directions[2]; // indexed by BFormatDirection, which is also the program
};

inline constexpr char kConverterName[] = "BFormatConverter";
inline constexpr ProductUri kConverterUri = makeProductUri(kConverterName);

inline constexpr int kConverterChannels = kBFormatChannels;
inline constexpr int kConverterPrograms = 2;
inline constexpr int kConverterParameters = 1;

// clang-format off
inline constexpr ConverterProduct kBFormatConverterProduct = {
    kConverterName,
    kConverterUri.text,
    "B-Format Converter (AmbiX / FuMa)",
    "Kivtone",
    1000,
    0x5A424643, // "ZBFC"
    "Converts first-order B-format between AmbiX (ACN order, SN3D) and FuMa (W, X, Y, Z, W 3 dB "
    "down), the convention the Kivtone decoders take.",
    "Direction",
    "direction",
    {{"in0", "W / ACN 0"}, {"in1", "X / ACN 1 (Y)"}, {"in2", "Y / ACN 2 (Z)"}, {"in3", "Z / ACN 3 (X)"}},
    {{"out0", "W / ACN 0"}, {"out1", "X / ACN 1 (Y)"}, {"out2", "Y / ACN 2 (Z)"}, {"out3", "Z / ACN 3 (X)"}},
    {
        {BFormatDirection::AmbiXToFuMa, "AmbiX to FuMa", 0.0f,
         {"ACN0 (W)", "ACN1 (Y)", "ACN2 (Z)", "ACN3 (X)"}, {"W", "X", "Y", "Z"}},
        {BFormatDirection::FuMaToAmbiX, "FuMa to AmbiX", 1.0f,
         {"W", "X", "Y", "Z"}, {"ACN0 (W)", "ACN1 (Y)", "ACN2 (Z)", "ACN3 (X)"}},
    },
};
// clang-format on

// The direction a normalised value selects: below one half AmbiX to FuMa, from one half on
// FuMa to AmbiX.
inline BFormatDirection directionFromNormalised(float normalised) {
    return normalised >= 0.5f ? BFormatDirection::FuMaToAmbiX : BFormatDirection::AmbiXToFuMa;
}

inline const ConverterDirection& describeDirection(BFormatDirection direction) {
    return kBFormatConverterProduct.directions[static_cast<int>(direction)];
}
