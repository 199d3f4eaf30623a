// SPDX-License-Identifier: GPL-3.0-or-later
// What LayoutDecoder's editor shows of the layout in force, as one fixed-size record: the
// layout's name, the one line the user is told (a refused layout, a redesigned preset, the
// directions left uncovered), and each output's speaker with its direction and what distance
// compensation does to it (delay in ms, level in dB) at the running rate. Plain bytes with no
// pointer, so that it can be copied where nothing may be allocated and sent whole to a UI in
// another process. Made off the audio thread; read on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "engine/DecoderPlan.h"
#include "rig/Layout.h"

struct LayoutView {
    static constexpr int kNameBytes = 48;
    static constexpr int kSpeakerNameBytes = 8;
    static constexpr int kMessageBytes = 160;

    struct Row {
        float azimuthDegrees;
        float elevationDegrees;
        float delayMs;       // 0 without delay compensation
        float levelDb;       // 0 without level compensation
        std::int32_t output; // 1 to 32; 0: a gap in the file's outputs
        char name[kSpeakerNameBytes];
    };

    std::uint32_t generation = 0;     // grows with every change, so that a reader redraws once
    std::int32_t count = 0;           // rows: outputs 1 to count
    std::int32_t subwooferOutput = 0; // 0: bass management off
    std::int32_t asWritten = 0;       // a preset decoded as written: patterns, cut-off, speaker
                                      // distance and spatial EQ do nothing
    char name[kNameBytes] = {};
    char message[kMessageBytes] = {};
    Row rows[DecoderPlan::kMaxSpeakers] = {};
};
static_assert(std::is_trivially_copyable<LayoutView>::value, "sent as plain bytes");

// The view of a layout decoded by plan at sampleRateHz; the message is the plan's notice or
// its uncovered directions. The generation is left to the caller.
LayoutView makeLayoutView(const Layout& layout, bool asWritten, const DecoderPlan& plan,
                          float sampleRateHz, const std::string& message);

// Copies text into a fixed field, cut at a whole UTF-8 character and always terminated.
void setViewText(char* field, int bytes, const std::string& text);
