// SPDX-License-Identifier: GPL-3.0-or-later
// What rig/ throws when a layout cannot be read or used: one line for a person, naming the
// file, the line or JSON key, and what is wrong ("rig.ambdec:12: row 3 has 2 values, the
// chan_mask asks for 4").
#pragma once

#include <stdexcept>
#include <string>

class RigError : public std::runtime_error {
public:
    explicit RigError(const std::string& line) : std::runtime_error(line) {}
};
