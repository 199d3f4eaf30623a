// SPDX-License-Identifier: GPL-3.0-or-later
// Literals for the generated Turtle files.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace kiv::lv2ttl {

// The licence of every bundle, as the SPDX list names it.
inline constexpr const char* kLicenceUri = "http://spdx.org/licenses/GPL-3.0-or-later";

// A quoted string literal, with quote, backslash and control characters escaped.
std::string quoted(const char* text);
// A number literal that reads back as exactly this float: nine significant digits, always
// with a decimal point or an exponent (a double or decimal, never an integer literal).
std::string number(float value);
// The @prefix lines for the given prefix names ("lv2", "pset", ...), in that order, and a
// blank line. Every name is one of the vocabularies the bundles use; an unknown one throws.
std::string prefixBlock(std::initializer_list<const char*> names);
// One audio port in a plug-in's port list, with the separating comma.
std::string audioPort(std::uint32_t index, bool input, const std::string& symbol,
                      const std::string& name);

} // namespace kiv::lv2ttl
