// SPDX-License-Identifier: GPL-3.0-or-later
// Parameter values as a user types them: a normalised value (0 to 1) or the physical value
// with the unit the editor shows, turned into the normalised value the plug-in takes.
// The mappings are those of both decoder plug-ins: ratio = 2 x value, cut-off =
// 50 + 1150 x value Hz, distance = 0.5 + 7.5 x value metres (value 1 = off), layout slot k
// of n = k / (n - 1), spatial-EQ modes at 0, 0.5 and 1.
#pragma once

#include <string>
#include <vector>

namespace kiv::ambidec {

enum class ParameterUnit {
    Ratio,     // patterns: a plain number is the ratio, 0 to 2
    Hertz,     // cut-off: "500Hz", "0.5kHz", 50 to 1200 Hz
    Metres,    // distances: "2.5m", 0.5 to 8 m; "off", "none", "No NFC"
    Layout,    // a decoder's display name
    SpatialEq, // "No-Use LF", "Kiv EQ", "Mavo EQ" (or single, crossover, shelf)
};

// The unit of parameter 0 to 6 of the decoder plug-ins.
ParameterUnit unitOfParameter(int index);

// The parameter that key names: its number, its symbol (as LV2 hosts show it, "cutoff"),
// or its name, comparing letters and digits only, without regard to case
// ("EncodedSpeakerDistanceNFC"). names are the plug-in's parameter names, symbols those of
// the product description (empty when not known). Throws ToolError naming the forms that
// would work.
int findParameter(const std::string& key, const std::vector<std::string>& names,
                  const std::vector<std::string>& symbols = {});

// The decoders' parameter symbols, in parameter order (product/ParameterTable.h).
std::vector<std::string> parameterSymbols();

// A name with everything but letters and digits removed: "EncodedSpeakerDistanceNFC".
std::string shellSafeName(const std::string& name);

// The normalised value that text stands for. parameterName appears in error messages;
// layoutNames are the display names of the decoder slots in slot order (Layout only); a
// layout is named whole or by words that only one name has ("cube", "octagon with cf").
// Throws ToolError for text that is no value of this unit or lies out of range.
float parseParameterValue(ParameterUnit unit, const std::string& text,
                          const std::string& parameterName,
                          const std::vector<std::string>& layoutNames = {});

// The value as the editor shows it: "1.33", "380 Hz", "2.00 m" or "off", the spatial-EQ
// mode's name. Empty for the layout, whose text only the plug-in knows.
std::string describeParameterValue(int index, float normalised);

// Lower case with blanks, hyphens and underscores removed: how names are compared.
std::string foldName(const std::string& text);

} // namespace kiv::ambidec
