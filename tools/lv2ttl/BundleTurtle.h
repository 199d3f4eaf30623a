// SPDX-License-Identifier: GPL-3.0-or-later
// The three Turtle files of a product's LV2 bundle, made from its description: manifest.ttl
// (plug-in, binaries, UI, presets), <Name>.ttl (the plug-in: ports, ranges, units, scale
// points, features) and presets.ttl (the factory programs).
#pragma once

#include <stdexcept>
#include <string>

#include "product/ProductDescription.h"

namespace kiv::lv2ttl {

std::string manifestTtl(const ProductDescription& product);
std::string pluginTtl(const ProductDescription& product);
// Throws std::runtime_error when a stored value has no physical value that maps back to it.
std::string presetsTtl(const ProductDescription& product);

} // namespace kiv::lv2ttl
