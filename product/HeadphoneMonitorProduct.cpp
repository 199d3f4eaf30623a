// SPDX-License-Identifier: GPL-3.0-or-later
#include "product/HeadphoneMonitorProduct.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <sys/stat.h>

#include "hrtf/HrtfError.h"
#include "hrtf/UserHrtfSets.h"
#include "product/IrregularDecList.h"
#include "product/OutputPinNames.h"
#include "product/RegularDecList.h"
#include "product/SpeakerLayout.h"
#include "product/StateChunk.h"
#include "rig/FactoryLayouts.h"
#include "rig/LayoutFile.h"
#include "rig/RigError.h"

// clang-format off
const HeadphoneMonitorProduct kHeadphoneMonitorProduct = {
    kHeadphoneMonitorName,
    kHeadphoneMonitorUri.text,
    "Headphone Monitor for Speaker Feeds",
    "Kivtone",
    1000,
    0x5A48504D, // "ZHPM"
    "Plays a decoder's speaker feeds on headphones: each feed is a virtual loudspeaker at its "
    "speaker's direction, heard through head-related responses from a SOFA file.",
    32,
    2,
    {{"left", "Left"}, {"right", "Right"}},
    {
        {"Layout", "layout", "layout", "Layout", 0.0f,   1.0f,  0.0f},
        {"Level",  "dB",     "level",  "Level",  -24.0f, 12.0f, 0.0f},
        {"Bypass", "On/Off", "bypass", "Bypass", 0.0f,   1.0f,  0.0f},
    },
};
// clang-format on

namespace {

// The decoder's catalogue name of a regular shape, for the layout list.
const char* shapeName(DecShape shape) {
    switch (shape) {
    case QuadSquare:
        return "Square";
    case HexagonWithCF:
        return "Hexagon, speaker ahead";
    case HexagonWithoutCF:
        return "Hexagon, pair ahead";
    case OctagonWithCF:
        return "Octagon, speaker ahead";
    case OctagonWithoutCF:
        return "Octagon, pair ahead";
    case Cube8:
        return "Cube";
    case Octahedron:
        return "Octahedron";
    default:
        return "ITU 5.0 (IrregularDecoder)";
    }
}

MonitorLayout catalogueLayout(DecShape shape) {
    MonitorLayout layout;
    layout.name = shapeName(shape);
    const SpeakerLayout speakers = *speakerLayoutOf(shape);
    for (std::size_t k = 0; k < speakers.speakers.size(); ++k) {
        const char* label = outputPinLabel(shape, static_cast<int>(k));
        layout.feeds.push_back({label ? label : std::to_string(k + 1),
                                speakers.speakers[k].azimuthDeg, speakers.speakers[k].elevationDeg,
                                true});
    }
    return layout;
}

MonitorLayout fromRig(const Layout& rig, const std::string& name) {
    MonitorLayout layout;
    layout.name = name;
    for (const Speaker* s : rig.realSpeakers()) {
        if (static_cast<int>(layout.feeds.size()) < s->outputChannel)
            layout.feeds.resize(s->outputChannel);
        layout.feeds[s->outputChannel - 1] = {s->name, s->azimuthDegrees, s->elevationDegrees,
                                              true};
    }
    return layout;
}

} // namespace

const std::vector<MonitorLayout>& monitorLayouts() {
    static const std::vector<MonitorLayout> all = [] {
        std::vector<MonitorLayout> layouts;
        for (DecShape shape : kRegularDecList) layouts.push_back(catalogueLayout(shape));
        // IrregularDecoder feeds FL, FR, SL, SR and C (silent in its four-speaker decoders).
        layouts.push_back(catalogueLayout(ItuLFOptimisedV1));
        for (const Layout& rig : factoryLayouts()) layouts.push_back(fromRig(rig, rig.name));
        return layouts;
    }();
    return all;
}

int monitorLayoutCount() {
    return static_cast<int>(monitorLayouts().size());
}

int hmLayoutChoiceOf(float normalised) {
    const int count = monitorLayoutCount();
    if (!(normalised > 0.0f)) return 0;
    if (normalised >= 1.0f) return count;
    return static_cast<int>(std::lround(normalised * static_cast<float>(count)));
}

float hmNormalisedOfLayoutChoice(int choice) {
    return static_cast<float>(choice) / static_cast<float>(monitorLayoutCount());
}

int hmLayoutChoiceNamed(const std::string& name) {
    for (int i = 0; i < monitorLayoutCount(); ++i)
        if (monitorLayouts()[i].name == name) return i;
    return -1;
}

int hmLayoutChoiceOfShape(int decoder) {
    for (int i = 0; i < kDecListSize; ++i)
        if (kRegularDecList[i] == decoder) return i;
    for (DecShape shape : kIrregularDecList)
        if (shape == decoder) return kDecListSize; // the ITU 5.0 entry after the seven
    return -1;
}

float hmPhysical(int parameter, float normalised) {
    if (parameter == kHmLayout) return static_cast<float>(hmLayoutChoiceOf(normalised));
    if (parameter == kHmBypass) return normalised >= 0.5f ? 1.0f : 0.0f;
    const MonitorParameter& p = kHeadphoneMonitorProduct.parameters[parameter];
    return p.minimum + normalised * (p.maximum - p.minimum);
}

float hmNormalised(int parameter, float physical) {
    if (!(physical == physical)) physical = 0.0f;
    if (parameter == kHmLayout) {
        const float count = static_cast<float>(monitorLayoutCount());
        const float clamped = physical < 0.0f ? 0.0f : (physical > count ? count : physical);
        return hmNormalisedOfLayoutChoice(static_cast<int>(std::lround(clamped)));
    }
    if (parameter == kHmBypass) return physical >= 0.5f ? 1.0f : 0.0f;
    const MonitorParameter& p = kHeadphoneMonitorProduct.parameters[parameter];
    const float n = (physical - p.minimum) / (p.maximum - p.minimum);
    return n < 0.0f ? 0.0f : (n > 1.0f ? 1.0f : n);
}

std::vector<float> hmDefaultValues() {
    std::vector<float> values(kHeadphoneMonitorParameters);
    for (int i = 0; i < kHeadphoneMonitorParameters; ++i)
        values[i] = hmNormalised(i, kHeadphoneMonitorProduct.parameters[i].defaultPhysical);
    return values;
}

std::string hmDisplayText(int parameter, float normalised, const std::string& stateLayoutName) {
    if (parameter == kHmLayout) {
        const int choice = hmLayoutChoiceOf(normalised);
        if (choice < monitorLayoutCount()) return monitorLayouts()[choice].name;
        return stateLayoutName.empty() ? "Layout in state" : stateLayoutName;
    }
    if (parameter == kHmBypass) return normalised >= 0.5f ? "On" : "Off";
    char number[32];
    std::snprintf(number, sizeof number, "%.1f",
                  static_cast<double>(hmPhysical(parameter, normalised)));
    return number;
}

MonitorLayout hmResolveLayout(int choice, const std::string& fileName,
                              const std::string& fileText) {
    if (choice >= 0 && choice < monitorLayoutCount()) return monitorLayouts()[choice];
    if (fileText.empty()) return monitorLayouts()[0]; // the layout in state before any was loaded
    checkLayoutText(fileText, fileName);
    const Layout rig = parseLayout(fileText, layoutFormatOfName(fileName), fileName);
    return fromRig(rig, rig.name.empty() ? fileName : rig.name);
}

std::shared_ptr<const BinauralPlan> hmPlan(const HrtfSet& set, const MonitorLayout& layout) {
    auto plan = std::make_shared<BinauralPlan>();
    plan->sampleRate = set.sampleRate();
    plan->length = set.length();
    plan->feeds = static_cast<int>(layout.feeds.size());
    if (plan->feeds > BinauralPlan::kMaxFeeds) plan->feeds = BinauralPlan::kMaxFeeds;
    for (int k = 0; k < plan->feeds; ++k) {
        plan->left[k].assign(plan->length, 0.0f);
        plan->right[k].assign(plan->length, 0.0f);
        const MonitorSpeaker& s = layout.feeds[k];
        if (s.present)
            set.responseAt(s.azimuthDeg, s.elevationDeg, plan->left[k].data(),
                           plan->right[k].data());
    }
    return plan;
}

std::string hmHrtfPathOf(const std::string& what) {
    struct stat st {};
    if (what.find('/') != std::string::npos || ::stat(what.c_str(), &st) == 0) return what;
    for (const std::string& path : userHrtfSetPaths()) {
        const std::string file = path.substr(path.find_last_of('/') + 1);
        if (file == what || file == what + ".sofa") return path;
    }
    throw HrtfError(what + ": no such SOFA file or user set");
}

std::shared_ptr<const HrtfSet> hmSharedSet(const std::string& path, double sampleRate) {
    // HrtfSet::open shares a set while someone holds it; holding the last few here keeps
    // them for the next instance too (hosts and tests open one after another).
    constexpr std::size_t kKept = 3;
    static std::mutex lock;
    static std::shared_ptr<const HrtfSet> kept[kKept]; // most recent first
    std::shared_ptr<const HrtfSet> set = HrtfSet::open(path, sampleRate);
    std::lock_guard<std::mutex> guard(lock);
    std::size_t at = 0;
    while (at + 1 < kKept && kept[at] != set) ++at;
    std::rotate(kept, kept + at, kept + at + 1);
    kept[0] = set;
    return set;
}

std::shared_ptr<const HrtfSet> hmOpenSet(const std::string& path, double sampleRate, bool fallBack,
                                         std::string& message) {
    if (path.empty()) return hmSharedSet(HrtfSet::defaultPath(), sampleRate);
    try {
        return hmSharedSet(path, sampleRate);
    } catch (const std::exception& e) {
        if (!fallBack) throw;
        message = std::string(e.what()) + " (the default set is used)";
        return hmSharedSet(HrtfSet::defaultPath(), sampleRate);
    }
}

// ---- state chunk ----

std::vector<char> encodeHmState(const HmState& state) {
    StateChunkWriter out(kHmChunkMagic, kHmChunkVersion, state.values, kHeadphoneMonitorParameters);
    out.text(state.layoutName);
    out.text(state.layoutText);
    out.text(state.hrtfPath);
    return out.take();
}

HmState decodeHmState(const void* data, std::size_t size) {
    StateChunkReader r(data, size, kHmChunkMagic, kHmChunkVersion, "HeadphoneMonitor",
                       kHeadphoneMonitorParameters);
    HmState state;
    state.values = r.values();
    state.layoutName = r.text(kHmMaxPathBytes, "the layout's name");
    state.layoutText =
        r.text(static_cast<std::uint32_t>(kMaxLayoutFileBytes), "the layout's content");
    state.hrtfPath = r.text(kHmMaxPathBytes, "the set's path");
    if (state.hrtfPath.find('\0') != std::string::npos)
        throw RigError("state chunk: the set's path holds a NUL byte");
    r.finish();
    if (state.layoutText.empty() &&
        hmLayoutChoiceOf(state.values[kHmLayout]) == hmStateLayoutChoice())
        throw RigError("state chunk: the layout in state is missing");
    return state;
}
