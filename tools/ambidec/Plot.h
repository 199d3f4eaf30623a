// SPDX-License-Identifier: GPL-3.0-or-later
// `ambidec plot`: measures the decoder of a program through the plug-in's audio path and
// draws it (DecoderAnalysis, DecoderPlot).
#pragma once

#include "tools/ambidec/CommandLine.h"

#include <ostream>

namespace kiv::ambidec {

// Throws ToolError; no output file is left then.
void plotCommand(const Command& command, std::ostream& report);

} // namespace kiv::ambidec
