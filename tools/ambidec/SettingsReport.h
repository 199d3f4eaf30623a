// The lines every command prints about what it set up: the program in use and, for every
// --set, the display text that the plug-in now shows.
#pragma once

#include "tools/ambidec/PluginSession.h"

#include <ostream>
#include <vector>

namespace kiv::ambidec {

void reportProgramAndSettings(std::ostream& report, PluginSession& plugin, int program,
                              const std::vector<AppliedSetting>& applied);

} // namespace kiv::ambidec
