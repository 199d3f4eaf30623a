#include "tools/ambidec/SettingsReport.h"

#include <cstdio>

namespace kiv::ambidec {

void reportProgramAndSettings(std::ostream& report, PluginSession& plugin, int program,
                              const std::vector<AppliedSetting>& applied) {
    report << plugin.name() << ", program " << program << " \"" << plugin.instance().programName()
           << "\"\n";
    for (const AppliedSetting& setting : applied) {
        char line[256];
        std::snprintf(line, sizeof line, "  set %s = %s %s (normalised %.6g)\n",
                      setting.name.c_str(), setting.display.c_str(), setting.label.c_str(),
                      static_cast<double>(setting.value));
        report << line;
    }
}

} // namespace kiv::ambidec
