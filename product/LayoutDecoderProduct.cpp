// SPDX-License-Identifier: GPL-3.0-or-later
#include "product/LayoutDecoderProduct.h"

#include <cmath>
#include <cstdio>
#include <cstring>

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

void putU32(std::vector<char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

struct Reader {
    const unsigned char* p;
    std::size_t left;
    std::uint32_t u32(const char* what) {
        if (left < 4) throw RigError(std::string("state chunk: truncated at ") + what);
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= static_cast<std::uint32_t>(p[i]) << (8 * i);
        p += 4;
        left -= 4;
        return v;
    }
    std::string bytes(std::uint32_t n, const char* what) {
        if (left < n) throw RigError(std::string("state chunk: truncated in ") + what);
        std::string s(reinterpret_cast<const char*>(p), n);
        p += n;
        left -= n;
        return s;
    }
};

constexpr std::uint32_t kMaxNameBytes = 4096;

} // namespace

std::vector<char> encodeLdState(const LdState& state) {
    std::vector<char> out;
    putU32(out, kLdChunkMagic);
    putU32(out, kLdChunkVersion);
    for (int i = 0; i < kLayoutDecoderParameters; ++i) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &state.values[i], 4);
        putU32(out, bits);
    }
    putU32(out, static_cast<std::uint32_t>(state.fileName.size()));
    out.insert(out.end(), state.fileName.begin(), state.fileName.end());
    putU32(out, static_cast<std::uint32_t>(state.fileText.size()));
    out.insert(out.end(), state.fileText.begin(), state.fileText.end());
    return out;
}

LdState decodeLdState(const void* data, std::size_t size) {
    if (!data) throw RigError("state chunk: no data");
    Reader r{static_cast<const unsigned char*>(data), size};
    if (r.u32("its magic") != kLdChunkMagic)
        throw RigError("state chunk: not a LayoutDecoder state");
    const std::uint32_t version = r.u32("its version");
    if (version != kLdChunkVersion)
        throw RigError("state chunk: version " + std::to_string(version) + " is not known");
    LdState state;
    state.values.resize(kLayoutDecoderParameters);
    for (int i = 0; i < kLayoutDecoderParameters; ++i) {
        const std::uint32_t bits = r.u32("the parameters");
        float v;
        std::memcpy(&v, &bits, 4);
        if (!(v >= 0.0f && v <= 1.0f))
            throw RigError("state chunk: parameter " + std::to_string(i + 1) + " is not in 0 to 1");
        state.values[i] = v;
    }
    const std::uint32_t nameBytes = r.u32("the file name");
    if (nameBytes > kMaxNameBytes) throw RigError("state chunk: the file name is too long");
    state.fileName = r.bytes(nameBytes, "the file name");
    const std::uint32_t textBytes = r.u32("the layout");
    if (textBytes > static_cast<std::uint32_t>(kMaxLayoutFileBytes))
        throw RigError("state chunk: the layout is larger than a layout file may be");
    state.fileText = r.bytes(textBytes, "the layout");
    if (r.left != 0) throw RigError("state chunk: " + std::to_string(r.left) + " bytes too many");
    if (state.fileText.empty() && layoutChoiceOf(state.values[kLdLayout]) == stateLayoutChoice())
        throw RigError("state chunk: the layout in state is missing");
    return state;
}
