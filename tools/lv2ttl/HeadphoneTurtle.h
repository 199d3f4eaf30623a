// SPDX-License-Identifier: GPL-3.0-or-later
// HeadphoneMonitor's Turtle files, from its product description and LV2 ports.
#pragma once

#include <string>

namespace kiv::lv2ttl {

std::string headphoneManifestTtl();
std::string headphonePluginTtl();

} // namespace kiv::lv2ttl
