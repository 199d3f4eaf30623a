// SPDX-License-Identifier: GPL-3.0-or-later
// ambidec's --layout for LayoutDecoder: the layout loaded into the plug-in, how many of its
// outputs a rendered file keeps, and what info prints of the rig.
#pragma once

#include <ostream>
#include <string>

#include "tools/ambidec/PluginSession.h"

namespace kiv::ambidec {

// Loads the layout into the plug-in (its own load request); throws ToolError (status 2) with
// the plug-in's line when the plug-in is not LayoutDecoder or refuses the layout.
void loadLayout(PluginSession& plugin, const std::string& layout);

// The outputs a file rendered with the layout keeps: its speakers' outputs, and the
// subwoofer's when the plug-in's subwoofer parameter is on.
int layoutOutputCount(PluginSession& plugin, const std::string& layout);

// The speakers, the compensation per speaker at `rateHz` and the LF and HF matrices.
void printLayout(const std::string& layout, double rateHz, std::ostream& out);

} // namespace kiv::ambidec
