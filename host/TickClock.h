// SPDX-License-Identifier: GPL-3.0-or-later
// The editor's tick clock: milliseconds on CLOCK_MONOTONIC, kept in 64 bits so that it
// only grows while the process lives. Any thread; a few nanoseconds per call.
#pragma once

#include <cstdint>

using TickSource = std::uint64_t (*)();

// Current time in milliseconds.
std::uint64_t tickMilliseconds();

// Replaces the clock for the whole process (tests drive the editor's idle throttle with a
// clock of their own); null restores CLOCK_MONOTONIC.
void setTickSource(TickSource source);
