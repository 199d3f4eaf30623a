// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/ProgressBar.h"

#include <unistd.h>

#include <cstdio>

namespace kiv::ambidec {

namespace {
constexpr int kWidth = 40;
}

ProgressBar::ProgressBar(long long total, const char* label)
    : total_(total > 0 ? total : 1), label_(label), enabled_(::isatty(STDERR_FILENO) == 1),
      last_(std::chrono::steady_clock::now()) {}

ProgressBar::~ProgressBar() {
    finish();
}

void ProgressBar::update(long long done) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - last_ < std::chrono::milliseconds(100)) return;
    last_ = now;
    draw(done);
}

void ProgressBar::draw(long long done) {
    if (done > total_) done = total_;
    const int filled = static_cast<int>(done * kWidth / total_);
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    std::fprintf(stderr, "\r%s [%s] %3d%%", label_, bar, static_cast<int>(done * 100 / total_));
    std::fflush(stderr);
    drawn_ = true;
}

void ProgressBar::finish() {
    if (!enabled_ || !drawn_) return;
    std::fprintf(stderr, "\r%*s\r", kWidth + 32, "");
    std::fflush(stderr);
    drawn_ = false;
}

} // namespace kiv::ambidec
