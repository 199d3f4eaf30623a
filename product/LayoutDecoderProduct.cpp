// SPDX-License-Identifier: GPL-3.0-or-later
#include "product/LayoutDecoderProduct.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "product/StateChunk.h"
#include "rig/FactoryLayouts.h"
#include "rig/LayoutFile.h"
#include "rig/RigError.h"

// clang-format off
const LayoutDecoderProduct kLayoutDecoderProduct = {
    kLayoutDecoderName,
    kLayoutDecoderUri.text,
    "Layout 1st Order Ambisonic Decoder",
    "Kivtone",
    1000,
    0x5A424C44, // "ZBLD"
    "Decodes first-order FuMa B-format to your own loudspeaker rig: a factory layout, an "
    ".ambdec preset, an IEM layout file or a speaker list, with distance compensation.",
    DecoderPlan::kInputs,
    32,
    {{"w", "W"}, {"x", "X"}, {"y", "Y"}, {"z", "Z"}},
    {
        {" Low F Pattern ",                "ratio",  "lf_pattern",       "LF Pattern",       0.0f,  2.0f,    1.0f,   ParameterUnit::Ratio},
        {" High F Pattern ",               "ratio",  "hf_pattern",       "HF Pattern",       0.0f,  2.0f,    1.0f,   ParameterUnit::Ratio},
        {" Cut off F ",                    "Hz",     "cutoff",           "Cut-off",          50.0f, 1200.0f, 380.0f, ParameterUnit::Hertz},
        {" Layout ",                       "layout", "layout",           "Layout",           0.0f,  7.0f,    0.0f,   ParameterUnit::Choice},
        {" Distance Comp",                 "Metres", "distance",         "Speaker Distance", 0.5f,  8.0f,    8.0f,   ParameterUnit::Metres},
        {"Encoded Speaker Distance (NFC)", "Metres", "encoded_distance", "Encoded Distance", 0.5f,  8.0f,    8.0f,   ParameterUnit::Metres},
        {" Use Spatial EQ ",               "Yes/No", "spatial_eq",       "Spatial EQ",       0.0f,  2.0f,    0.0f,   ParameterUnit::Choice},
        {"Distance Compensation",          "On/Off", "compensation",     "Compensation",     0.0f,  1.0f,    1.0f,   ParameterUnit::Choice},
        {"Subwoofer",                      "On/Off", "subwoofer",        "Subwoofer",        0.0f,  1.0f,    0.0f,   ParameterUnit::Choice},
        {"Subwoofer Crossover",            "Hz",     "sub_crossover",    "Sub Crossover",    40.0f, 200.0f,  80.0f,  ParameterUnit::Hertz},
    },
};
// clang-format on

int factoryLayoutCount() {
    return static_cast<int>(factoryLayouts().size());
}

int layoutChoiceOf(float normalised) {
    const int count = factoryLayoutCount();
    if (!(normalised > 0.0f)) return 0;
    if (normalised >= 1.0f) return count;
    return static_cast<int>(std::lround(normalised * static_cast<float>(count)));
}

float normalisedOfLayoutChoice(int choice) {
    return static_cast<float>(choice) / static_cast<float>(factoryLayoutCount());
}

float ldPhysical(int parameter, float normalised) {
    if (parameter == kLdLayout) return static_cast<float>(layoutChoiceOf(normalised));
    const LayoutParameter& p = kLayoutDecoderProduct.parameters[parameter];
    const float v = p.minimum + normalised * (p.maximum - p.minimum);
    return p.unit == ParameterUnit::Choice ? std::round(v) : v;
}

float ldNormalised(int parameter, float physical) {
    if (parameter == kLdLayout)
        return normalisedOfLayoutChoice(static_cast<int>(std::lround(
            physical < 0.0f
                ? 0.0f
                : (physical > factoryLayoutCount() ? factoryLayoutCount() : physical))));
    const LayoutParameter& p = kLayoutDecoderProduct.parameters[parameter];
    if (p.unit == ParameterUnit::Choice) physical = std::round(physical);
    const float n = (physical - p.minimum) / (p.maximum - p.minimum);
    return n < 0.0f ? 0.0f : (n > 1.0f ? 1.0f : n);
}

bool ldSwitchOn(float normalised) {
    return normalised >= 0.5f;
}

std::string ldDisplayText(int index, float n, const std::string& stateLayoutName) {
    const float v = ldPhysical(index, n);
    switch (index) {
    case kLdLayout: {
        const int choice = layoutChoiceOf(n);
        if (choice < factoryLayoutCount()) return ldFactoryProgramName(choice);
        return stateLayoutName.empty() ? "Layout in state" : stateLayoutName;
    }
    case kLdSpatialEQ:
        return kSpatialEQNames[v < 0.0f ? 0 : (v > 2.0f ? 2 : static_cast<int>(v))];
    case kLdCompensation:
    case kLdSubwoofer:
        return ldSwitchOn(n) ? "On" : "Off";
    case kLdDistance:
        if (v >= kDistanceOffMetres) return "None";
        break;
    case kLdEncodedDistance:
        if (v >= kDistanceOffMetres) return "No NFC";
        break;
    default:
        break;
    }
    char text[32];
    const int decimals =
        kLayoutDecoderProduct.parameters[index].unit == ParameterUnit::Hertz ? 0 : 2;
    std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(v));
    return text;
}

std::vector<float> ldDefaultValues() {
    std::vector<float> values(kLayoutDecoderParameters);
    for (int i = 0; i < kLayoutDecoderParameters; ++i)
        values[i] = ldNormalised(i, kLayoutDecoderProduct.parameters[i].defaultPhysical);
    return values;
}

std::vector<float> ldFactoryProgramValues(int program) {
    std::vector<float> values = ldDefaultValues();
    values[kLdLayout] = normalisedOfLayoutChoice(program);
    values[kLdSubwoofer] = factoryLayouts()[program].subwoofer ? 1.0f : 0.0f;
    return values;
}

std::string ldFactoryProgramName(int program) {
    return factoryLayouts()[program].name;
}

LdEngineValues ldEngineValues(const float* v, bool asWritten) {
    if (asWritten) // p = 1 single band, no loudspeaker-distance filter; the recording's NFC stays
        return {0.5f, 0.5f, v[kLdCutOff], 1.0f, v[kLdEncodedDistance], 0.0f};
    return {v[kLdLowFPattern], v[kLdHighFPattern],    v[kLdCutOff],
            v[kLdDistance],    v[kLdEncodedDistance], v[kLdSpatialEQ] * 1.0f};
}

DecoderPlan ldApplySettings(const RigPlan& rig, const std::vector<float>& values) {
    DecoderPlan plan = rig.plan;
    if (!ldSwitchOn(values[kLdCompensation])) {
        plan.delayCompensation = false;
        plan.levelCompensation = false;
    } else if (!rig.asWritten) {
        plan.delayCompensation = true;
        plan.levelCompensation = true;
    }
    plan.subwoofer =
        ldSwitchOn(values[kLdSubwoofer]) && plan.numSpeakers < DecoderPlan::kMaxSpeakers;
    plan.subCrossoverHz = ldPhysical(kLdSubCrossover, values[kLdSubCrossover]);
    return plan;
}

std::vector<std::string> ldOutputLabels(const Layout& layout, bool subwoofer) {
    std::vector<std::string> labels(kLayoutDecoderProduct.numOutputs, "Unused");
    int highest = 0;
    for (const Speaker* s : layout.realSpeakers()) {
        labels[s->outputChannel - 1] = std::to_string(s->outputChannel) + " " + s->name;
        if (s->outputChannel > highest) highest = s->outputChannel;
    }
    if (subwoofer && highest < kLayoutDecoderProduct.numOutputs)
        labels[highest] = std::to_string(highest + 1) + " Sub";
    return labels;
}

LdResolved ldResolve(int choice, const std::string& fileName, const std::string& fileText) {
    LdResolved r;
    if (choice >= 0 && choice < factoryLayoutCount()) {
        r.layout = factoryLayouts()[choice];
    } else if (fileText.empty()) {
        r.layout = factoryLayouts()[0]; // the layout in state before any was loaded
    } else {
        checkLayoutText(fileText, fileName);
        r.layout = parseLayout(fileText, layoutFormatOfName(fileName), fileName);
        if (r.layout.name.empty()) r.layout.name = fileName;
    }
    r.rig = planForLayout(r.layout, fileName.empty() ? r.layout.name : fileName);
    return r;
}

// ---- state chunk ----

namespace {
constexpr std::uint32_t kMaxNameBytes = 4096;
} // namespace

std::vector<char> encodeLdState(const LdState& state) {
    StateChunkWriter out(kLdChunkMagic, kLdChunkVersion, state.values, kLayoutDecoderParameters);
    out.text(state.fileName);
    out.text(state.fileText);
    return out.take();
}

LdState decodeLdState(const void* data, std::size_t size) {
    StateChunkReader r(data, size, kLdChunkMagic, kLdChunkVersion, "LayoutDecoder",
                       kLayoutDecoderParameters);
    LdState state;
    state.values = r.values();
    state.fileName = r.text(kMaxNameBytes, "the file name");
    state.fileText = r.text(static_cast<std::uint32_t>(kMaxLayoutFileBytes), "the layout");
    r.finish();
    if (state.fileText.empty() && layoutChoiceOf(state.values[kLdLayout]) == stateLayoutChoice())
        throw RigError("state chunk: the layout in state is missing");
    return state;
}
