// SPDX-License-Identifier: GPL-3.0-or-later
// `ambidec info`: what a bundle tells a host about itself, read through its dispatcher.
#pragma once

#include <ostream>
#include <string>

namespace kiv::ambidec {

// Throws ToolError when the bundle does not load.
void infoCommand(const std::string& bundle, std::ostream& report);

} // namespace kiv::ambidec
