// SPDX-License-Identifier: GPL-3.0-or-later
// The B-format converter's LV2 Turtle files, from its product description: manifest.ttl,
// the plug-in with its ports (each port's comment gives its meaning in both directions) and
// a preset per direction.
#pragma once

#include <string>

namespace kiv::lv2ttl {

std::string converterManifestTtl();
std::string converterPluginTtl();
std::string converterPresetsTtl();

} // namespace kiv::lv2ttl
