// SPDX-License-Identifier: GPL-3.0-or-later
// The physical port value that stands for a stored normalised value.
#pragma once

#include "product/ParameterTable.h"

namespace kiv::lv2ttl {

// A physical value p with normalisedFromPhysical(row, p) == normalised exactly: the engine's
// mapping of the value when that maps back, else the nearest float to it that does. So a
// preset or default applied through the LV2 face gives the engine the program's own
// normalised value. Sets exact to false when no float within a few steps maps back.
float physicalFor(const ParameterRow& row, float normalised, bool& exact);

} // namespace kiv::lv2ttl
