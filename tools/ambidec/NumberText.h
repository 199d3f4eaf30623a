// SPDX-License-Identifier: GPL-3.0-or-later
// Strict reading of numbers typed on the command line: the whole text must be the number,
// finite, with no trailing characters.
#pragma once

#include <optional>
#include <string>

namespace kiv::ambidec {

std::optional<double> parseNumber(const std::string& text);
std::optional<long> parseInteger(const std::string& text);

} // namespace kiv::ambidec
