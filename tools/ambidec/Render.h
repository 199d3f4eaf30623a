// SPDX-License-Identifier: GPL-3.0-or-later
// `ambidec render`: decodes a B-format file through the plug-in's processReplacing, block
// by block at the file's sample rate, into one output channel per plug-in output.
#pragma once

#include "tools/ambidec/CommandLine.h"

#include <ostream>

namespace kiv::ambidec {

// Prints the applied settings and the summary (duration, peak per output, time taken,
// real-time factor) to report. Throws ToolError; no output file is left then.
void renderCommand(const Command& command, std::ostream& report);

} // namespace kiv::ambidec
