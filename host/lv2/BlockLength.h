// SPDX-License-Identifier: GPL-3.0-or-later
// The longest block a host will hand to run, from the options it passes at instantiation.
#pragma once

#include <lv2/core/lv2.h>

namespace kiv::lv2 {

// Frames for the engine's work buffers when the host says nothing about block lengths.
constexpr int kDefaultBlockLength = 4096;

// bufsz:maxBlockLength, else bufsz:nominalBlockLength, from the instance options (an
// atom:Int each, read through the host's urid:map); kDefaultBlockLength when the host gives
// neither, or a length that is not positive. Only a work buffer size: run takes blocks of
// any length.
int blockLengthFromFeatures(const LV2_Feature* const* features);

} // namespace kiv::lv2
