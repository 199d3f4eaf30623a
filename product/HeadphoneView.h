// SPDX-License-Identifier: GPL-3.0-or-later
// What HeadphoneMonitor's editor shows, as one fixed-size record: the layout in force (its
// name, the file it came from, and each heard feed's virtual loudspeaker with its direction
// and input number), the set of responses (its name, its file's own sample rate and the rate
// it plays at) and the last line the user is told (a refused set or layout, a set gone on
// restore). Plain bytes with no pointer and no padding, so that it can be copied where
// nothing may be allocated and sent whole to a UI in another process. Made off the audio
// thread; read on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

class HrtfSet;
struct MonitorLayout;

struct HeadphoneView {
    static constexpr int kMaxFeeds = 32;
    static constexpr int kNameBytes = 48;
    static constexpr int kSpeakerNameBytes = 8;
    static constexpr int kMessageBytes = 160;

    struct Row {
        float azimuthDegrees;   // anticlockwise from ahead
        float elevationDegrees; // up positive
        std::int32_t input;     // 1 to 32; 0: the feed is not heard
        char name[kSpeakerNameBytes];
    };

    std::uint32_t generation = 0;  // grows with every change, so that a reader redraws once
    std::int32_t count = 0;        // rows: feeds 1 to count
    std::int32_t layoutChoice = 0; // monitorLayouts() index; monitorLayoutCount(): a file
    std::int32_t defaultSet = 1;   // 1: the default set plays
    float setFileRateHz = 0.0f;    // the SOFA file's own rate
    float runningRateHz = 0.0f;    // the rate its responses were resampled to
    char layoutName[kNameBytes] = {};
    char layoutFile[kNameBytes] = {}; // the layout file's name; "" for a layout of the list
    char setName[kNameBytes] = {};    // "default", or the file's name without ".sofa"
    char setFile[kNameBytes] = {};    // the set's file name; "" for the default set
    char message[kMessageBytes] = {};
    Row rows[kMaxFeeds] = {};
};
static_assert(std::is_trivially_copyable<HeadphoneView>::value, "sent as plain bytes");
// Sent as bytes: no padding anywhere, so that no byte is left undefined.
static_assert(sizeof(HeadphoneView) == 6 * 4 + 4 * HeadphoneView::kNameBytes +
                                           HeadphoneView::kMessageBytes +
                                           HeadphoneView::kMaxFeeds * sizeof(HeadphoneView::Row),
              "no padding");
static_assert(sizeof(HeadphoneView::Row) == 12 + HeadphoneView::kSpeakerNameBytes, "no padding");

// The view of `layout` played through `set` (null: none could be opened) at runningRateHz;
// defaultSet says that the set is the default one. The generation is left to the caller.
HeadphoneView makeHeadphoneView(const MonitorLayout& layout, int layoutChoice,
                                const std::string& layoutFile, const HrtfSet* set, bool defaultSet,
                                double runningRateHz, const std::string& message);

// Whatever came over the wire is shown as text: every field terminated, the count in range.
void sanitiseHeadphoneView(HeadphoneView& view);
