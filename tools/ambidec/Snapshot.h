// SPDX-License-Identifier: GPL-3.0-or-later
// `ambidec snapshot`: asks the plug-in to render its editor window offscreen into a PNG
// (our vendor-specific request kKivSnapshot).
#pragma once

#include "tools/ambidec/CommandLine.h"

#include <ostream>

namespace kiv::ambidec {

// Throws ToolError, for instance "<bundle>: the plug-in cannot render its editor
// offscreen" when the plug-in answers 0; no output file is left then.
void snapshotCommand(const Command& command, std::ostream& report);

} // namespace kiv::ambidec
