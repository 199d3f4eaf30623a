// SPDX-License-Identifier: GPL-3.0-or-later
#include "tools/ambidec/SettingsReport.h"

#include "tools/ambidec/NumberText.h"

#include <cstdio>

namespace kiv::ambidec {

std::string displayWithLabel(const std::string& display, const std::string& label) {
    const std::string text = trimmedText(display);
    const std::string unit = trimmedText(label);
    // "1200 Hz", "2.00 Metres"; but "None", "No NFC", "Octagon with CF", "Kiv EQ" alone.
    if (unit.empty() || !parseNumber(text)) return text;
    return text + " " + unit;
}

void reportProgramAndSettings(std::ostream& report, PluginSession& plugin, int program,
                              const std::vector<AppliedSetting>& applied) {
    report << plugin.name() << ", program " << program << " \"" << plugin.instance().programName()
           << "\"\n";
    reportSettings(report, applied);
}

void reportSettings(std::ostream& report, const std::vector<AppliedSetting>& applied) {
    for (const AppliedSetting& setting : applied) {
        char line[256];
        std::snprintf(line, sizeof line, "  set %s = %s (normalised %.6g)\n", setting.name.c_str(),
                      displayWithLabel(setting.display, setting.label).c_str(),
                      static_cast<double>(setting.value));
        report << line;
    }
}

} // namespace kiv::ambidec
