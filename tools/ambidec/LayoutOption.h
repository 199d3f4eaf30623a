// SPDX-License-Identifier: GPL-3.0-or-later
// ambidec's --layout for LayoutDecoder: the layout loaded into the plug-in, how many of its
// outputs a rendered file keeps, and what info prints of the rig.
#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "rig/Layout.h"
#include "tools/ambidec/PluginSession.h"
#include "tools/ambidec/SpeakerLayout.h"

namespace kiv::ambidec {

// Loads the layout into the plug-in (its own load request); throws ToolError (status 2) with
// the plug-in's line when the plug-in is not LayoutDecoder or refuses the layout.
void loadLayout(PluginSession& plugin, const std::string& layout);

// The layout the plug-in decodes to: the one given to --layout, else the factory layout its
// layout parameter chooses. Throws ToolError (status 2) for a layout that cannot be read.
Layout layoutInForce(PluginSession& plugin, const std::optional<std::string>& layout);

// The outputs a file rendered with the layout keeps: its speakers' outputs, and the
// subwoofer's when the plug-in's subwoofer parameter is on.
int layoutOutputCount(PluginSession& plugin, const Layout& layout);

// The real speakers of a layout in output order, as the plots take them; their distances
// in the same order.
SpeakerLayout speakerLayoutOfRig(const Layout& layout);
std::vector<double> speakerDistancesOfRig(const Layout& layout);

// The speakers, the compensation per speaker at `rateHz` and the LF and HF matrices.
void printLayout(const std::string& layout, double rateHz, std::ostream& out);

} // namespace kiv::ambidec
