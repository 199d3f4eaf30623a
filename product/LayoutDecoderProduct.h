// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder as data: first-order FuMa B-format to the user's own loudspeaker rig (a
// factory layout, or a file whose content travels in the plug-in's state), up to 32 outputs.
// What every face reads: names, ports, the ten parameters and what they do to a plan, the
// factory programs (one per factory layout) and the versioned state chunk.
//
// The parameters. The seed's seven keep their meaning for a decoder designed from speaker
// positions: the patterns weight W and X, Y, Z ahead of the designed matrices (1 leaves the
// design as it is: rV at LF, max-rE at HF), the cut-off and spatial EQ choose how, the
// loudspeaker distance is the near-field distance of a plan without its own and the encoded
// distance that of the recording. A preset decoded as written (an .ambdec or IEM decoder
// matrix) plays exactly as its file says: its patterns, cut-off and spatial EQ are held at
// the neutral single band (p = 1) and the loudspeaker distance at off, whatever the
// parameters read; only the encoded distance (a property of the recording) still applies.
// Compensation on applies delay and level compensation by the speakers' distances (for a
// preset: as its delay_comp and level_comp say); off applies none. Subwoofer on adds the
// LR4 bass management at the crossover parameter, W to output N + 1.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/DecoderPlan.h"
#include "product/ParameterTable.h"
#include "product/ProductDescription.h"
#include "product/ProductUri.h"
#include "rig/RigPlan.h"

inline constexpr char kLayoutDecoderName[] = "LayoutDecoder";
inline constexpr ProductUri kLayoutDecoderUri = makeProductUri(kLayoutDecoderName);

// One parameter: physical = minimum + normalised x (maximum - minimum); a choice or switch
// is a whole number.
struct LayoutParameter {
    const char* name;      // host name
    const char* label;     // unit label
    const char* symbol;    // "lf_pattern"
    const char* shortName; // "LF Pattern"
    float minimum;
    float maximum;
    float defaultPhysical;
    ParameterUnit unit;
};

enum LayoutParameterIndex : int {
    kLdLowFPattern = 0,
    kLdHighFPattern,
    kLdCutOff,
    kLdLayout,
    kLdDistance,
    kLdEncodedDistance,
    kLdSpatialEQ,
    kLdCompensation,
    kLdSubwoofer,
    kLdSubCrossover,
    kLayoutDecoderParameters
};

struct LayoutDecoderProduct {
    const char* name;
    const char* uri;
    const char* productString;
    const char* vendor;
    std::int32_t vendorVersion;
    std::int32_t uniqueID;
    const char* summary;
    int numInputs;
    int numOutputs;
    PortDescription inputs[DecoderPlan::kInputs];
    LayoutParameter parameters[kLayoutDecoderParameters];
};

extern const LayoutDecoderProduct kLayoutDecoderProduct;

// The factory layouts offered by the layout choice: values 0 to count - 1; the value count
// itself is "the layout in state" (a file loaded by the user).
int factoryLayoutCount();
inline int stateLayoutChoice() {
    return factoryLayoutCount();
}
// The layout choice a normalised value selects (0 to factoryLayoutCount()).
int layoutChoiceOf(float normalised);
float normalisedOfLayoutChoice(int choice);

float ldPhysical(int parameter, float normalised);
float ldNormalised(int parameter, float physical); // clamped to 0 to 1
bool ldSwitchOn(float normalised);                 // switches: from one half on

// The text a host shows for a normalised value: the factory layout's name, or for the layout
// in state its file name ("Layout in state" while there is none); "On"/"Off"; "None" and
// "No NFC" for distances at their top; numbers with two decimals (Hz without). Any thread but
// the audio thread.
std::string ldDisplayText(int parameter, float normalised, const std::string& stateLayoutName);

// The ten normalised values of the defaults, and of factory program `program` (its layout
// chosen, the subwoofer as that layout has it).
std::vector<float> ldDefaultValues();
std::vector<float> ldFactoryProgramValues(int program);
std::string ldFactoryProgramName(int program);

// What the engine's seed parameters are set to, normalised, for the plan in use: the
// parameter values for a designed decoder, the neutral values for a preset as written.
struct LdEngineValues {
    float lpGain, hpGain, fCut, distComp, nfc, seq;
};
// values: kLayoutDecoderParameters normalised values. Allocates nothing (any thread).
LdEngineValues ldEngineValues(const float* values, bool asWritten);

// The plan the engine runs: the rig's plan with compensation and bass management as the
// parameters say.
DecoderPlan ldApplySettings(const RigPlan& rig, const std::vector<float>& values);

// Output pin labels of a layout: "1 L", "2 R", ..., "N+1 Sub" with bass management,
// "Unused" beyond.
std::vector<std::string> ldOutputLabels(const Layout& layout, bool subwoofer);

// ---- the state chunk ----
// "KLDS", version, the ten normalised values (float32), the file name and the file content
// (each a 32-bit length and its bytes; no content: a factory layout by the layout choice).
// Little-endian, no padding, the exact length of its parts.
inline constexpr std::uint32_t kLdChunkMagic = 0x53444C4B; // "KLDS" read little-endian
inline constexpr std::uint32_t kLdChunkVersion = 1;

struct LdState {
    std::vector<float> values; // kLayoutDecoderParameters
    std::string fileName;      // tells the format by its extension
    std::string fileText;      // empty: a factory layout
};

std::vector<char> encodeLdState(const LdState& state);
// Throws RigError naming what is wrong: short, long, wrong magic or version, a value that
// is not a number in 0 to 1, a name or content over the limits. The content itself is not
// parsed here.
LdState decodeLdState(const void* data, std::size_t size);

// The layout and its plan for a layout choice (a factory layout) or, with the choice
// stateLayoutChoice(), for the file content (the first factory layout while there is none).
// Off the audio thread; throws RigError naming the file and what is wrong.
struct LdResolved {
    Layout layout;
    RigPlan rig;
};
LdResolved ldResolve(int choice, const std::string& fileName, const std::string& fileText);
