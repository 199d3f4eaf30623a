// SPDX-License-Identifier: GPL-3.0-or-later
// The lines every command prints about what it set up: the program in use and, for every
// --set, the display text that the plug-in now shows.
#pragma once

#include "tools/ambidec/PluginSession.h"

#include <ostream>
#include <vector>

namespace kiv::ambidec {

// A parameter's display text with its unit label after it where that reads well: after a
// number ("1200 Hz"), never after a text ("None", a decoder's or spatial-EQ mode's name).
std::string displayWithLabel(const std::string& display, const std::string& label);

void reportProgramAndSettings(std::ostream& report, PluginSession& plugin, int program,
                              const std::vector<AppliedSetting>& applied);
// The "  set NAME = DISPLAY (normalised V)" lines alone.
void reportSettings(std::ostream& report, const std::vector<AppliedSetting>& applied);

} // namespace kiv::ambidec
