// SPDX-License-Identifier: GPL-3.0-or-later
// What hrtf/ throws when a set of head-related responses cannot be used: one line for a
// person, "<file>: <what is wrong>".
#pragma once

#include <stdexcept>
#include <string>

struct HrtfError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
