// SPDX-License-Identifier: GPL-3.0-or-later
#include "host/TickClock.h"

#include <ctime>

namespace {

std::uint64_t monotonicMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

TickSource currentSource = &monotonicMilliseconds;

} // namespace

std::uint64_t tickMilliseconds() {
    return currentSource();
}

void setTickSource(TickSource source) {
    currentSource = source ? source : &monotonicMilliseconds;
}
