// SPDX-License-Identifier: GPL-3.0-or-later
// A one-line progress bar on standard error, redrawn at most ten times a second, and only
// while standard error is a terminal.
#pragma once

#include <chrono>

namespace kiv::ambidec {

class ProgressBar {
public:
    // total: the amount that means done (frames, steps); label: what is counted.
    ProgressBar(long long total, const char* label);
    ~ProgressBar();
    void update(long long done);
    // Clears the line.
    void finish();

private:
    void draw(long long done);

    long long total_;
    const char* label_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point last_;
};

} // namespace kiv::ambidec
