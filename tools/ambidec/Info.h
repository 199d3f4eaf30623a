// SPDX-License-Identifier: GPL-3.0-or-later
// `ambidec info`: what a bundle tells a host about itself, read through its dispatcher,
// and which output feeds which speaker in a program's layout.
#pragma once

#include <optional>
#include <ostream>
#include <string>

namespace kiv::ambidec {

// With a program (number or name): the speakers of that program's layout instead, each
// with its direction, output number, VST pin label and LV2 port symbol.
// Throws ToolError when the bundle does not load or the program is unknown.
void infoCommand(const std::string& bundle, const std::optional<std::string>& program,
                 std::ostream& report);

} // namespace kiv::ambidec
