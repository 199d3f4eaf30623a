// SPDX-License-Identifier: GPL-3.0-or-later
// `ambidec render` into two ears: a file of speaker feeds through the HeadphoneMonitor
// bundle (as many channels as its layout has speakers, or 32), or with --headphones a
// B-format file through a decoder and the HeadphoneMonitor bundle beside it in one go. The
// monitor's latency is taken out: the stereo file lines up with the input, frame for frame.
#pragma once

#include <ostream>

#include "tools/ambidec/CommandLine.h"
#include "tools/ambidec/PluginSession.h"

namespace kiv::ambidec {

// Whether a session's plug-in is the monitor.
bool isHeadphoneMonitor(PluginSession& plugin);

// Renders as above; `first` is the bundle the command names (the monitor or a decoder).
// Throws ToolError; no output file is left then.
void renderHeadphones(const Command& command, PluginSession& first, std::ostream& report);

} // namespace kiv::ambidec
