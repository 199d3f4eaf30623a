// SPDX-License-Identifier: GPL-3.0-or-later
// A product as data: everything a bundle is, read by every face of it (the VST effect
// class, the LV2 plug-in and its editor, the LV2 metadata generator and ambidec), so that
// no face can drift from another. Parameters are the shared table of ParameterTable.h;
// output pin labels follow the decoder in use (OutputPinNames.h).
#pragma once

#include <cstdint>

#include "engine/DecShape.h"
#include "product/DecList.h"
#include "product/ParameterTable.h"
#include "product/ProductUri.h"

constexpr int kNumFactoryPrograms = 7;

// One factory program: its full name and the seven normalised values it stores, indexed by
// parameter number, each as computed in 32-bit floating point.
struct FactoryProgram {
    const char* name;
    float values[kNumParameters];
};

// One audio port as formats with fixed port names show it.
struct PortDescription {
    const char* symbol; // "w", "out1", "fl": lower case, no blanks
    const char* name;   // "W", "Speaker 1", "FL"
};

struct ProductDescription {
    const char* name;           // "RegularDecoder": bundle, binary and URI name
    const char* uri;            // "urn:kivtone:RegularDecoder" (ProductUri.h)
    const char* uiUri;          // "urn:kivtone:RegularDecoder:ui", its editor window
    const char* productString;  // "Regular Shape 1st Order Decoder"
    const char* vendor;         // "Kivtone"
    std::int32_t vendorVersion; // 1000
    std::int32_t uniqueID;      // four characters, the first in the most significant byte
    int numInputs;
    int numOutputs;
    const PortDescription* inputs;  // numInputs: W, X, Y(, Z), FuMa order and weighting
    const PortDescription* outputs; // numOutputs, for faces whose names cannot follow the layout
    const DecShape* decList;        // kDecListSize: engine slots 0 to 6
    const FactoryProgram* programs; // kNumFactoryPrograms, program 0 first
};

extern const ProductDescription kRegularDecoderProduct;
extern const ProductDescription kIrregularDecoderProduct;

// Formats with output controls show the decoder that runs, as the engine slot 0 to 6
// (named by the layout choice's names), on one port after the parameters.
inline constexpr const char* kDecoderInUseSymbol = "decoder_in_use";
inline constexpr const char* kDecoderInUseName = "Decoder in Use";
