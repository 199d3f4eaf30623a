// SPDX-License-Identifier: GPL-3.0-or-later
// LayoutDecoder's Turtle files, from its product description and LV2 ports.
#pragma once

#include <string>

namespace kiv::lv2ttl {

std::string layoutManifestTtl();
std::string layoutPluginTtl();
std::string layoutPresetsTtl();

} // namespace kiv::lv2ttl
