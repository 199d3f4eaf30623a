// SPDX-License-Identifier: GPL-3.0-or-later
// HeadphoneMonitor as data: up to 32 speaker feeds, each placed as a virtual loudspeaker at
// its speaker's direction and rendered through head-related responses to two ears. What
// every face reads: names, the three parameters, the layouts it offers, how a layout and a
// set of responses become the engine's plan, and the versioned state chunk.
//
// The layouts: RegularDecoder's seven, IrregularDecoder's ITU 5.0 and LayoutDecoder's
// factory layouts, in that order, then "the layout in state" (a file the user loaded; its
// content travels in the state like LayoutDecoder's). Feed k belongs to the speaker on the
// decoder's output k + 1; a feed without a speaker (a subwoofer, a gap) is not heard.
//
// The set of responses: the default SOFA file, a user's set from $XDG_CONFIG_HOME/kivtone/
// hrtf/ or any SOFA file. The state keeps its path only (sets are megabytes); a set that is
// gone when the state comes back gives way to the default set, with a message.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/BinauralPlan.h"
#include "hrtf/HrtfSet.h"
#include "product/ProductDescription.h"
#include "product/ProductUri.h"

inline constexpr char kHeadphoneMonitorName[] = "HeadphoneMonitor";
inline constexpr ProductUri kHeadphoneMonitorUri = makeProductUri(kHeadphoneMonitorName);

enum MonitorParameterIndex : int {
    kHmLayout = 0,
    kHmLevel,
    kHmBypass,
    kHeadphoneMonitorParameters
};

// physical = minimum + normalised x (maximum - minimum); the layout and bypass are whole
// numbers.
struct MonitorParameter {
    const char* name;      // host name
    const char* label;     // unit label
    const char* symbol;    // LV2 symbol
    const char* shortName; // LV2 name
    float minimum;
    float maximum;
    float defaultPhysical;
};

struct HeadphoneMonitorProduct {
    const char* name;
    const char* uri;
    const char* productString;
    const char* vendor;
    std::int32_t vendorVersion;
    std::int32_t uniqueID;
    const char* summary;
    int numInputs;
    int numOutputs;
    PortDescription outputs[2];
    MonitorParameter parameters[kHeadphoneMonitorParameters];
};

extern const HeadphoneMonitorProduct kHeadphoneMonitorProduct;

// One feed's loudspeaker. Degrees, azimuth anticlockwise from ahead, elevation up.
struct MonitorSpeaker {
    std::string name;
    double azimuthDeg = 0.0;
    double elevationDeg = 0.0;
    bool present = false; // false: the feed is not heard
};

struct MonitorLayout {
    std::string name;
    std::vector<MonitorSpeaker> feeds; // feed k: output k + 1 of the decoder
};

// The offered layouts; the choice monitorLayoutCount() is the layout in state.
const std::vector<MonitorLayout>& monitorLayouts();
int monitorLayoutCount();
inline int hmStateLayoutChoice() {
    return monitorLayoutCount();
}
int hmLayoutChoiceOf(float normalised);
float hmNormalisedOfLayoutChoice(int choice);
// The catalogue choice of a layout name ("Cube"), or -1.
int hmLayoutChoiceNamed(const std::string& name);
// The choice of the layout a RegularDecoder or IrregularDecoder decoder drives, or -1.
int hmLayoutChoiceOfShape(int decoder);

float hmPhysical(int parameter, float normalised);
float hmNormalised(int parameter, float physical); // clamped to 0 to 1
std::vector<float> hmDefaultValues();
// What a host shows for a value: the layout's name (stateLayoutName, or "Layout in state"
// without one, for the layout in state), "On"/"Off", the level in dB to a tenth.
std::string hmDisplayText(int parameter, float normalised, const std::string& stateLayoutName);

// The layout of a choice, or with hmStateLayoutChoice() that of the file content (the first
// layout while there is none). Off the audio thread; throws RigError naming the file.
MonitorLayout hmResolveLayout(int choice, const std::string& fileName, const std::string& fileText);

// One response pair per feed: the set's interpolated response at each speaker's direction.
// Off the audio thread.
std::shared_ptr<const BinauralPlan> hmPlan(const HrtfSet& set, const MonitorLayout& layout);

// A set by what a user typed: a path (holding a '/' or naming an existing file), else the
// name of a user set with or without ".sofa". Throws HrtfError when there is none.
std::string hmHrtfPathOf(const std::string& what);

// The set at `path` resampled to sampleRate (HrtfSet::open, which shares an open set); the
// last few stay held for the process, so that new instances and restored sessions start at
// once. Throws HrtfError. Not on the audio thread.
std::shared_ptr<const HrtfSet> hmSharedSet(const std::string& path, double sampleRate);

// The set at `path` ("" for the default), through hmSharedSet. With fallBack, a set that cannot be
// opened gives way to the default set and `message` says why; without, HrtfError is thrown.
std::shared_ptr<const HrtfSet> hmOpenSet(const std::string& path, double sampleRate, bool fallBack,
                                         std::string& message);

// ---- the state chunk ----
// "KHMS", version, the three normalised values (float32), the layout file's name and
// content, the set's path ("" for the default), each a 32-bit length and its bytes.
// Little-endian, no padding, the exact length of its parts.
inline constexpr std::uint32_t kHmChunkMagic = 0x534D484B; // "KHMS" read little-endian
inline constexpr std::uint32_t kHmChunkVersion = 1;
inline constexpr std::uint32_t kHmMaxPathBytes = 1024;

struct HmState {
    std::vector<float> values; // kHeadphoneMonitorParameters
    std::string layoutName;    // tells the format by its extension
    std::string layoutText;    // empty: a layout of the list
    std::string hrtfPath;      // empty: the default set
};

std::vector<char> encodeHmState(const HmState& state);
// Throws RigError naming what is wrong; the layout content is not parsed here.
HmState decodeHmState(const void* data, std::size_t size);
