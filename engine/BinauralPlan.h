// SPDX-License-Identifier: GPL-3.0-or-later
// What the headphone monitor convolves: one response pair (left ear, right ear) per speaker
// feed. Plain data, built off the audio thread and given to HeadphoneMonitorEngine.
#pragma once

#include <vector>

struct BinauralPlan {
    static constexpr int kMaxFeeds = 32;
    double sampleRate = 0;
    int feeds = 0;                                        // speakers of the layout, <= kMaxFeeds
    int length = 0;                                       // taps of every response
    std::vector<float> left[kMaxFeeds], right[kMaxFeeds]; // each `length` taps
};
